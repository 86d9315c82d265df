#include "ui/model/MainWindowModel.h"

#include <QPointer>

#include "capture/DCCaptureViewController.h"
#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCCamerasController.h"
#include "ui/model/CameraToolbarModel.h"
#include "ui/model/CameraToolbarValues.h"
#include "ui/model/PhotoLibraryModel.h"

MainWindowModel::MainWindowModel(Dependencies dependencies, QObject *parent)
    : QObject(parent), deps_(std::move(dependencies)) {
    if (!deps_.currentCamera) deps_.currentCamera = [] { return DCCamerasController::sharedCurrentCamera(); };
    if (!deps_.schedule) deps_.schedule = ModelSchedule::onMainLoop(this);
}

// --- Modes ---

void MainWindowModel::setMode(WindowMode mode) {
    DCLog("set mode to %d", static_cast<int>(mode));
    if (mode == mode_) return;
    switch (mode) {
    case WindowMode::Camera:
        enterCameraMode();
        break;
    case WindowMode::FullScreen:
        enterFullScreen();
        break;
    case WindowMode::Review:
        enterReviewMode();
        break;
    case WindowMode::Evernote:
        enterEvernoteMode();
        break;
    case WindowMode::Unset:
        break;
    }
    mode_ = mode;
    Q_EMIT modeChanged(mode);
    // The button marked up names the current mode, however the mode was reached (a menu, a key, a
    // double click, reopening the window), not only through the buttons.
    if (buttonOf(mode) != upButton_ && mode != WindowMode::Unset) {
        upButton_ = buttonOf(mode);
        Q_EMIT modeButtonsChanged();
    }
}

void MainWindowModel::enterCameraMode() {
    if (const DCCameraPtr camera = deps_.currentCamera()) setTitleForCamera(camera);
    setupToolbar(static_cast<int>(WindowMode::Camera));
    exitFullScreenMode();
    setStatusStripVisible(true);
    setCurrentView(View::Camera);
    if (launched_) Q_EMIT overlayVisibleChanged(true);
}

void MainWindowModel::enterFullScreen() {
    // The full-screen window takes the camera view, which only camera mode has in place.
    if (mode_ != WindowMode::Camera) setMode(WindowMode::Camera);
    const int zoomItem = deps_.toolbar->controls()
                             .state(ToolbarControlSets::Set::Overlay, ToolbarControlSets::Control::Zoom)
                             .selectedIndex;
    if (deps_.capture) deps_.capture->setZoom(CameraToolbarValues::zoomFactorOfItem(zoomItem));
    enterFullScreenMode();
}

void MainWindowModel::enterReviewMode() {
    setTitle(tr("Korva Lectern"));
    setupToolbar(static_cast<int>(WindowMode::Review));
    exitFullScreenMode();
    Q_EMIT overlayVisibleChanged(false);
    setCurrentView(View::Album);
    setStatusStripVisible(false);
    if (fileCreated_) {
        deps_.library->selectLast();
        fileCreated_ = false;
    }
    deps_.library->scrollToSelection();
    Q_EMIT reviewModeEntered();
}

void MainWindowModel::enterEvernoteMode() {
    setupToolbar(static_cast<int>(WindowMode::Evernote));
    exitFullScreenMode();
    Q_EMIT overlayVisibleChanged(false);
    setCurrentView(View::Evernote);
    setStatusStripVisible(false);
}

void MainWindowModel::changeMode(ModeButton sender) {
    // Any other sender (none included) is the camera button.
    const ModeButton up = sender == ModeButton::None ? ModeButton::Camera : sender;
    const WindowMode mode = up == ModeButton::Project    ? WindowMode::FullScreen
                            : up == ModeButton::Review   ? WindowMode::Review
                            : up == ModeButton::Evernote ? WindowMode::Evernote
                                                         : WindowMode::Camera;
    setMode(mode);
    upButton_ = up;
    Q_EMIT modeButtonsChanged();
}

void MainWindowModel::enterFullScreenMode() {
    if (fullScreen_) return;
    fullScreen_ = true;
    Q_EMIT fullScreenRequested(true);
}

void MainWindowModel::exitFullScreenMode() {
    if (!fullScreen_) return;
    fullScreen_ = false;
    fullScreenWindowActive_ = false;
    Q_EMIT fullScreenRequested(false);
}

MainWindowModel::ModeButton MainWindowModel::buttonOf(WindowMode mode) {
    switch (mode) {
    case WindowMode::Camera:
        return ModeButton::Camera;
    case WindowMode::FullScreen:
        return ModeButton::Project;
    case WindowMode::Review:
        return ModeButton::Review;
    case WindowMode::Evernote:
        return ModeButton::Evernote;
    case WindowMode::Unset:
        break;
    }
    return ModeButton::None;
}

bool MainWindowModel::isModeButtonEnabled(ModeButton button) const {
    return !modesLocked_ || button == buttonOf(mode_);
}

void MainWindowModel::lockMode() {
    modesLocked_ = true;
    Q_EMIT modeButtonsChanged();
}

void MainWindowModel::unlockMode() {
    modesLocked_ = false;
    Q_EMIT modeButtonsChanged();
}

void MainWindowModel::setupToolbar(int mode) {
    const Toolbar toolbar = mode == static_cast<int>(WindowMode::Camera)   ? Toolbar::CameraMode
                            : mode == static_cast<int>(WindowMode::Review) ? Toolbar::ReviewMode
                                                                           : Toolbar::None;
    if (toolbar == toolbar_) return;
    toolbar_ = toolbar;
    Q_EMIT toolbarChanged(toolbar);
}

void MainWindowModel::setCurrentView(View view) {
    if (view == currentView_) return;
    currentView_ = view;
    Q_EMIT currentViewChanged(view);
}

void MainWindowModel::setStatusStripVisible(bool visible) {
    if (visible == statusStripVisible_) return;
    statusStripVisible_ = visible;
    Q_EMIT statusStripVisibleChanged(visible);
}

void MainWindowModel::setTitle(const QString &title) {
    if (title == title_) return;
    title_ = title;
    Q_EMIT titleChanged(title);
}

void MainWindowModel::setTitleForCamera(const DCCameraPtr &camera) {
    setTitle(camera ? tr("Korva Lectern - %1").arg(camera->shortModel()) : tr("Korva Lectern"));
}

// --- Window life ---

void MainWindowModel::applicationDidFinishLaunching() {
    deps_.schedule(kLaunchDelay, [self = QPointer<MainWindowModel>(this)] {
        if (self) self->prepareForModeWindow();
    });
}

void MainWindowModel::prepareForModeWindow() {
    launched_ = true;
    Q_EMIT launched();
}

void MainWindowModel::showWindow() {
    if (!closePriv_) return;
    setMode(WindowMode::Review);
    closePriv_ = false;
}

bool MainWindowModel::windowShouldClose() {
    // A closed window comes back as it was left; camera mode keeps the picture running meanwhile.
    closePriv_ = mode_ == WindowMode::Review;
    if (closePriv_) setMode(WindowMode::Camera);
    return true;
}

// --- Keys and clicks ---

bool MainWindowModel::perform(KeyCommand command) {
    const bool album = currentView_ == View::Album;
    switch (command) {
    case KeyCommand::Enter:
        if (mode_ != WindowMode::Camera && mode_ != WindowMode::FullScreen) return false;
        DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCNotificationSnapshot);
        return true;
    case KeyCommand::Delete:
        if (album) Q_EMIT deletePhotoRequested();
        return album;
    case KeyCommand::CopyPhoto:
        if (album) Q_EMIT copyPhotoRequested();
        return album;
    case KeyCommand::SelectAll:
        if (album) deps_.library->selectAll();
        if (currentView_ == View::Evernote) Q_EMIT selectAllUploadsRequested();
        return album || currentView_ == View::Evernote;
    case KeyCommand::ZoomIn:
    case KeyCommand::ZoomOut:
        if (album) Q_EMIT photoZoomStepRequested(command == KeyCommand::ZoomIn ? 1 : -1);
        return album;
    case KeyCommand::SelectPrevious:
        return album && deps_.library->selectPrevious();
    case KeyCommand::SelectNext:
        return album && deps_.library->selectNext();
    case KeyCommand::None:
        break;
    }
    return false;
}

void MainWindowModel::mainWindowDoubleClicked() {
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCNotificationMainWindowDoubleClicked);
}

void MainWindowModel::fullScreenWindowWantsExit() {
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCNotificationAppExitFullScreen);
}
