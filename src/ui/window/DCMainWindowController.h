#pragma once

#include <functional>
#include <map>
#include <memory>

#include <QObject>

#include "ui/model/MainWindowModel.h"
#include "ui/review/ReviewModeController.h"

class CameraControlsBinder;
class DCAttachController;
class CameraToolbarModel;
class DCActionController;
class DCButtonView;
class DCCamSettingController;
class DCCameraView;
class DCCamerasController;
class DCCaptureView;
class DCCaptureViewController;
class DCEvernoteController;
class EvernoteService;
class DCMainWindow;
class DCPreviewImageView;
class DCSnapshotWindowController;
class FullScreenWindow;
class MainWindowReactions;
class PhotoLibraryModel;
class PresentationScreens;
class QLabel;
class QMainWindow;
class QStackedWidget;
class QToolBar;
class QWidget;

// What the main window works with; the application core makes all of it before the window.
struct MainWindowServices {
    DCCamerasController &cameras;
    DCCamSettingController &settings;
    DCCaptureViewController &capture;
    DCActionController *actions = nullptr;
    // True while a simulated camera stands in because none is attached.
    std::function<bool()> demoStandsIn;
    // The Evernote account; none: Evernote mode only says that there is no upload.
    EvernoteService *evernote = nullptr;
};

// Owns the main window and shows what its models decide: camera, full screen, review and Evernote
// modes, the toolbars, the status strip, the mode chooser and the live picture. The rules live in the
// widget-free models (MainWindowModel, CameraToolbarModel, MainWindowReactions, PhotoLibraryModel); this
// class only builds the widgets, mirrors the models' state and hands the user's actions to them.
//
// Main thread only.
class DCMainWindowController : public QObject {
    Q_OBJECT
public:
    explicit DCMainWindowController(MainWindowServices services, QObject *parent = nullptr);
    ~DCMainWindowController() override;

    QMainWindow *window() const;
    int mode() const;

    void initAttachController();
    void setMode(int mode);
    void showWindow();
    void enterFullScreenMode();
    void exitFullScreenMode();
    void copy();
    // Escape as a hot key: leaves full screen while the full-screen window has the keyboard.
    Q_SLOT void appEscapeFromFullScreen();
    // The photo from the camera toolbar's snapshot button.
    void snapshot();
    // The sheet with the live picture whose photo goes to the upload queue.
    void openSnapshotWindow();
    DCSnapshotWindowController *snapshotWindowController() const { return snapshotSheet_; }
    // Review mode's "add to queue": the selected photos go to the upload queue, and Evernote mode shows.
    void addReviewingItemsToEvernoteQueue();
    DCEvernoteController *evernoteController() const { return evernoteController_; }
    // Review mode: the album and the actions on its photos.
    ReviewModeController &review() const { return *review_; }
    // The upload queue's open panel, a sheet on the main window.
    void openEvernoteFileSelector();

Q_SIGNALS:
    // Photos for the upload queue: chosen in the open panel or sent from review mode.
    void uploadQueueAppendRequested(const ReviewModeController::FileItems &items);

public:
    // For tests and the screenshot tour.
    MainWindowModel &model() { return *model_; }
    CameraToolbarModel &toolbarModel() { return *toolbarModel_; }
    PhotoLibraryModel &library() { return *library_; }
    QToolBar *cameraModeToolbar() const { return cameraModeToolbar_; }
    // The screen full screen goes to, and its "Present on" menu.
    PresentationScreens &presentationScreens() const { return *screens_; }
    QWidget *fullScreenWindow() const;
    DCCaptureView *captureView() const { return captureView_; }
    // The overlay over the picture; none before initAttachController().
    DCAttachController *attachController() const { return attachController_.get(); }

private:
    void makeModels();
    void buildWindow();
    QWidget *buildModeChooser(QWidget *parent);
    void buildCameraToolbar();
    void buildReviewToolbar();
    void connectModels();
    void buildEvernoteMode();
    void applyMode(WindowMode mode);
    void showView(MainWindowModel::View view);
    void showToolbar(MainWindowModel::Toolbar toolbar);
    void updateModeButtons();
    void updateStatus();
    void setFullScreen(bool fullScreen);
    void showPreview(bool show);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers, bool *handled);
    void windowClosing();
    void restoreWindowState();
    void saveWindowState();

    MainWindowServices services_;
    // In the order they depend on one another; destroyed in reverse.
    std::unique_ptr<PhotoLibraryModel> library_;
    std::unique_ptr<CameraToolbarModel> toolbarModel_;
    std::unique_ptr<MainWindowModel> model_;
    std::unique_ptr<MainWindowReactions> reactions_;

    std::unique_ptr<DCMainWindow> window_;
    std::unique_ptr<FullScreenWindow> fullWindow_;
    QStackedWidget *views_ = nullptr;
    DCCameraView *cameraView_ = nullptr;
    DCCaptureView *captureView_ = nullptr;
    DCPreviewImageView *previewView_ = nullptr;
    ReviewModeController *review_ = nullptr;
    QWidget *evernoteView_ = nullptr;
    DCEvernoteController *evernoteController_ = nullptr;
    QWidget *modeChooser_ = nullptr;
    std::map<MainWindowModel::ModeButton, DCButtonView *> modeButtons_;
    QLabel *statusField_ = nullptr;
    QToolBar *cameraModeToolbar_ = nullptr;
    QToolBar *reviewModeToolbar_ = nullptr;
    CameraControlsBinder *cameraControls_ = nullptr;
    PresentationScreens *screens_ = nullptr;
    DCSnapshotWindowController *snapshotSheet_ = nullptr;
    bool shownBefore_ = false;
    // Last: the overlay goes first, its floaters with it.
    std::unique_ptr<DCAttachController> attachController_;
};
