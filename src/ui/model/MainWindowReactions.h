#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QString>
#include <QVariantMap>

#include "devices/DCCamera.h"
#include "ui/model/InstantPreview.h"
#include "ui/model/MainThreadObservers.h"
#include "ui/model/ModelSchedule.h"

class CameraToolbarModel;
class DCCamSettingController;
class DCCaptureViewController;
class MainWindowModel;
class PhotoLibraryModel;
class UserDefaults;

// How the main window answers the rest of the program: the pause after a snapshot, automatic focus after
// changes, a new current camera (title, controls, focus functions, its settings), new photos, the photo
// library's folder, and the relays of the full-screen overlay and of the camera's programmable button.
// What the overlay and the snapshot window have to do arrives as signals.
//
// Main thread; the notifications are handed to it (a camera change and a new library folder make their
// poster wait until they are handled).
class MainWindowReactions : public QObject {
    Q_OBJECT
public:
    struct Dependencies {
        MainWindowModel *window = nullptr;          // required
        CameraToolbarModel *toolbar = nullptr;      // required
        PhotoLibraryModel *library = nullptr;       // required
        DCCamSettingController *settings = nullptr; // required
        DCCaptureViewController *capture = nullptr; // null: no live picture
        UserDefaults *defaults = nullptr;           // null: the standard user defaults
        std::function<DCCameraPtr()> currentCamera; // null: the shared camera controller's
        ModelSchedule::Function schedule;           // null: the main event loop
    };

    static constexpr std::chrono::milliseconds kAutoFocusDelay{1000};
    static constexpr std::chrono::milliseconds kImageAdjustmentsDelay{1000};

    explicit MainWindowReactions(Dependencies dependencies, QObject *parent = nullptr);
    ~MainWindowReactions() override;

    InstantPreview &instantPreview() { return preview_; }
    QString baseDir() const { return baseDir_; }
    void setBaseDir(const QString &folder) { baseDir_ = folder; }
    // The snapshot window is open: a new photo closes it and goes to the upload queue.
    void setSnapshotWindowVisible(bool visible) { snapshotWindowVisible_ = visible; }

    // The window is made: the instant-preview setting, the library folder and its photos.
    void windowDidLoad();
    // The photos arrive after this returns; the first is selected when they are all there.
    void loadData();
    // Any thread: a focus run one second from now, on the main thread.
    void doAutoFocusInMainThread();
    void doAutoFocus();
    void cameraDidChange(const DCCameraPtr &newCamera);
    // A photo was written; `dictionary` holds its "FileURLKey".
    void fileDidCreate(const QVariantMap &dictionary);

Q_SIGNALS:
    // The overlay's focus indicator and focus button are hidden (cameras without focus functions).
    void focusFunctionsHiddenChanged(bool hidden);
    // The overlay's focus ring: 0 no automatic focus, 1 single-shot, 2 continuous.
    void focusModeChanged(int mode);
    // The overlay's countdown: seconds left, -1 when none runs.
    void timerTickChanged(int seconds);
    void overlayEndFocusRequested();
    void snapshotWindowCloseRequested();
    // A photo arrived: ask for the user's attention (informational).
    void attentionRequested();
    // The photo at `row` of the library goes to the upload queue.
    void uploadQueueAppendRequested(int row);

private:
    void registerObservers();
    void relayOverlayChoices();
    void applyCameraSettings(const DCCameraPtr &camera);
    void applyControlTable(const DCCameraPtr &camera);
    void photoLibraryLocationDidChange(const QVariantMap &userInfo);
    void cameraFrequencyDidChange(const QVariantMap &userInfo);
    void restartCaptureView();
    DCCameraPtr camera() const { return deps_.currentCamera(); }

    Dependencies deps_;
    MainWindowModel &window_;
    CameraToolbarModel &toolbar_;
    PhotoLibraryModel &library_;
    DCCamSettingController &settings_;
    UserDefaults &defaults_;
    InstantPreview preview_;
    QString baseDir_;
    bool snapshotWindowVisible_ = false;
    MainThreadObservers observers_;
};
