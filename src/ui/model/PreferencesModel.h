#pragma once

#include <array>
#include <functional>
#include <optional>

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "devices/DCCamera.h"
#include "ui/model/MainThreadObservers.h"

class DCCamSettingController;
class UserDefaults;

// The preferences window's rules: which panes its toolbar offers and which one shows, the camera
// picker and the picture sliders of the current camera, the stored choices as the controls show them,
// and what each of the user's changes writes into the user defaults and announces. The camera itself
// changes only through the settings store and the camera controller; everything else reaches the rest
// of the program as a notification carrying the defaults key and the new value.
//
// A stored value that is of the wrong type or out of range is shown as the control's default and left
// in the store (logged) until the user changes that control.
//
// Main thread only.
class PreferencesModel : public QObject {
    Q_OBJECT
public:
    enum class Pane { General, ImageAdjustment, System };
    enum class Picture { Brightness, Contrast, Gamma, Hue, Saturation, Sharpness };
    static constexpr int kPictureCount = 6;

    struct Slider {
        bool enabled = false;
        int minimum = 0;
        int maximum = 0;
        int value = 0;
    };

    struct Dependencies {
        std::function<QList<DCCameraPtr>()> availableCameras;
        std::function<DCCameraPtr()> currentCamera;
        std::function<void(DCCameraPtr)> setCurrentCamera;
        DCCamSettingController *settings = nullptr; // required
        UserDefaults *defaults = nullptr;           // required
        // The address the picture is served at; empty while nothing is served.
        std::function<QString()> serverAddress;
    };

    static QString identifier(Pane pane);
    // The localised description of a programmable-button function; empty for an unknown index.
    static QString functionDescription(int index);
    // Why `folder` cannot hold the photo library, or empty when it can.
    static QString libraryFolderProblem(const QString &folder);

    explicit PreferencesModel(Dependencies dependencies, QObject *parent = nullptr);

    // The window opens: the saved pane, the camera list, the stored folder and prefix, the server's
    // address and the panes the current camera admits.
    void loadDefaults();

    // Toolbar.
    QList<Pane> panes() const;
    Pane shownPane() const { return shownPane_; }
    // The user's click: shows the pane and remembers it for the next opening.
    void changePreferenceView(Pane pane);
    bool frequencyEnabled() const { return frequencyEnabled_; }

    // Camera picker and picture sliders.
    QStringList cameraItems() const { return cameraItems_; }
    int selectedCamera() const { return selectedCamera_; }
    bool camerasEnabled() const { return camerasEnabled_; }
    Slider slider(Picture picture) const { return sliders_[static_cast<int>(picture)]; }

    // Texts.
    QString libraryPath() const { return libraryPath_; }
    QString prefix() const { return prefix_; }
    QString serverAddress() const { return serverAddress_; }
    QString firmwareText() const;

    // The stored choices as the controls show them.
    bool focusSoundEffect() const;
    bool snapshotSoundEffect() const;
    bool videoStreamer() const;
    int frequency() const;
    int instantPreview() const;
    int keepCameraSet() const;
    int photoNameFormat() const;
    int programKeyFunction() const;

    // The user's changes.
    void selectCamera(int index);
    void setPicture(Picture picture, int value);
    void setDefaultImageAdjustment();
    void toggleFocusSoundEffect(bool on);
    void toggleSnapshotSoundEffect(bool on);
    void toggleVideoStreamer(bool on);
    void setFrequency(int column);
    void setInstantTimer(int column);
    void setKeepCameraSet(int column);
    // Empty when the folder became the library's; otherwise the message to show, and nothing changed.
    QString setPhotoLibraryLocation(const QString &folder);
    // `format` from the format choice; none keeps the stored one (the prefix field's own changes).
    // The same format and prefix as last time announce nothing again.
    void setPhotoNameFormat(std::optional<int> format, const QString &prefix);
    void setFunction(int index);

Q_SIGNALS:
    void camerasChanged(); // camera items, selection, sliders
    void panesChanged();   // toolbar items, shown pane, frequency switch
    void serverAddressChanged();
    void libraryPathChanged();

private:
    struct WhiteBalance {
        bool enabled = false;
        int minimum = 0;
        int maximum = 0;
        int value = 0;
        bool automatic = false;
    };

    void adjustControls();
    void setImageAdjustmentUI(DCCamera &camera);
    void cameraDidChange(const DCCameraPtr &camera);
    void updateServerAddress();
    void applyPicture(Picture picture, int value);
    // Writes a bound control's value and keeps the file in step.
    void store(const QString &key, const QVariant &value);
    void post(const QString &name, const QVariantMap &userInfo);
    // The stored choice under `key`, if it is one of `count` columns; otherwise `fallback`, logged.
    int storedChoice(const QString &key, int count, int fallback) const;
    bool storedSwitch(const QString &key, bool fallback) const;
    QString storedText(const QString &key) const;

    Dependencies deps_;
    DCCamSettingController &settings_;
    UserDefaults &defaults_;

    Pane shownPane_ = Pane::General;
    bool imagePaneOffered_ = true;
    bool frequencyEnabled_ = true;
    QStringList cameraItems_;
    int selectedCamera_ = -1;
    bool camerasEnabled_ = false;
    std::array<Slider, kPictureCount> sliders_{};
    WhiteBalance whiteBalance_;
    QString libraryPath_;
    QString prefix_;
    QString serverAddress_;
    std::optional<std::pair<int, QString>> announcedNameFormat_;
    MainThreadObservers observers_;
};
