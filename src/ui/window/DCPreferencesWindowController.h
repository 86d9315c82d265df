#pragma once

#include <array>
#include <functional>
#include <memory>

#include <QMainWindow>

#include "ui/model/PreferencesModel.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolBar;

// The preferences window: three panes (General, Image Adjustment, System) chosen from its toolbar. It
// mirrors PreferencesModel, which holds the rules, and hands the user's changes to it. Made once and
// kept; each showing rereads the stored choices, the cameras and the versions.
//
// Main thread only.
class DCPreferencesWindowController : public QMainWindow {
    Q_OBJECT
public:
    // Answers the folder the user chose starting from `start`, or empty when they cancelled.
    using FolderChooser = std::function<QString(QWidget *parent, const QString &start)>;

    DCPreferencesWindowController(PreferencesModel::Dependencies dependencies, QWidget *parent = nullptr);
    ~DCPreferencesWindowController() override;

    void showWindow();

    PreferencesModel &model() { return *model_; }
    QToolBar *windowToolbar() const { return toolbar_; }
    // Tests and the screenshot tour answer the folder dialog themselves.
    void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildGeneralPane();
    QWidget *buildImagePane();
    QWidget *buildSystemPane();
    void buildToolbar();
    void mirrorPanes();
    void focusPane();
    void mirrorCameras();
    void mirrorChoices();
    void loadVersion();
    void showServerAddress();
    void setPhotoLibraryLocation();
    void applyPrefix();
    void setFunction(int index);
    void checkUpdate();

    std::unique_ptr<PreferencesModel> model_;
    FolderChooser chooseFolder_;

    QToolBar *toolbar_ = nullptr;
    std::array<QAction *, 3> paneActions_{};
    std::array<QWidget *, 3> panes_{};

    QComboBox *videoDevices_ = nullptr;
    std::array<QSlider *, PreferencesModel::kPictureCount> sliders_{};
    QLineEdit *pathField_ = nullptr;
    QLineEdit *prefixField_ = nullptr;
    QButtonGroup *nameFormat_ = nullptr;
    QCheckBox *focusSound_ = nullptr;
    QCheckBox *snapshotSound_ = nullptr;
    QButtonGroup *instantPreview_ = nullptr;
    QComboBox *function_ = nullptr;
    QLabel *descriptField_ = nullptr;
    QCheckBox *videoStreamer_ = nullptr;
    QLabel *videoStreamServerURL_ = nullptr;
    QButtonGroup *frequencySwitch_ = nullptr;
    QButtonGroup *keepCameraSet_ = nullptr;
    QLabel *firmwareVersion_ = nullptr;
    QLabel *softwareVersion_ = nullptr;
    QPushButton *checkUpdate_ = nullptr;
};
