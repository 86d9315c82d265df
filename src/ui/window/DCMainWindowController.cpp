#include "DCMainWindowController.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "CameraControlsBinder.h"
#include "DCAttachController.h"
#include "DCMainWindow.h"
#include "DCSnapshotWindowController.h"
#include "FullScreenWindow.h"
#include "PresentationScreens.h"
#include "WindowPalette.h"
#include "core/DCLog.h"
#include "devices/DCCamerasController.h"
#include "ui/controls/DCButtonView.h"
#include "ui/controls/Icons.h"
#include "ui/evernote/DCEvernoteController.h"
#include "ui/evernote/DCEvernoteView.h"
#include "ui/model/CameraToolbarModel.h"
#include "ui/model/MainWindowGeometry.h"
#include "ui/model/MainWindowReactions.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/view/DCCameraView.h"
#include "ui/view/DCCaptureView.h"
#include "ui/view/DCPreviewImageView.h"

namespace {

using ModeButton = MainWindowModel::ModeButton;

const QString kGeometryKey = QStringLiteral("MainWindow/geometry");
const QString kClosedInReviewKey = QStringLiteral("MainWindow/closedInReview");

struct ModeButtonLook {
    ModeButton button;
    const char *image; // "<image>-Down" normally, "<image>-Up" under the pointer and for the current mode
    const char *name;
};
const ModeButtonLook kModeButtons[] = {
    {ModeButton::Camera, "Camera", QT_TRANSLATE_NOOP("DCMainWindowController", "Camera")},
    {ModeButton::Project, "Full-Screen", QT_TRANSLATE_NOOP("DCMainWindowController", "Full Screen")},
    {ModeButton::Review, "Review", QT_TRANSLATE_NOOP("DCMainWindowController", "Review")},
    {ModeButton::Evernote, "Evernote", QT_TRANSLATE_NOOP("DCMainWindowController", "Evernote")}};

} // namespace

DCMainWindowController::DCMainWindowController(MainWindowServices services, QObject *parent)
    : QObject(parent), services_(std::move(services)) {
    makeModels();
    buildWindow();
    connectModels();
    reactions_->windowDidLoad();
    // The window starts with the current camera's title and controls, as a camera change would give.
    reactions_->cameraDidChange(services_.cameras.currentCamera());
}

DCMainWindowController::~DCMainWindowController() {
    if (window_) saveWindowState();
    // The picture stops showing frames before the capture controller (owned by the core) goes.
    if (captureView_) captureView_->showFramesOf(nullptr);
}

void DCMainWindowController::makeModels() {
    library_ = std::make_unique<PhotoLibraryModel>();
    toolbarModel_ = std::make_unique<CameraToolbarModel>(
        CameraToolbarModel::Dependencies{&services_.settings, &services_.capture, {}, {}});
    model_ = std::make_unique<MainWindowModel>(
        MainWindowModel::Dependencies{toolbarModel_.get(), library_.get(), &services_.capture, {}, {}});
    MainWindowReactions::Dependencies reactions;
    reactions.window = model_.get();
    reactions.toolbar = toolbarModel_.get();
    reactions.library = library_.get();
    reactions.settings = &services_.settings;
    reactions.capture = &services_.capture;
    reactions_ = std::make_unique<MainWindowReactions>(reactions);
}

QMainWindow *DCMainWindowController::window() const {
    return window_.get();
}

QWidget *DCMainWindowController::fullScreenWindow() const {
    return fullWindow_.get();
}

int DCMainWindowController::mode() const {
    return static_cast<int>(model_->mode());
}

void DCMainWindowController::buildWindow() {
    window_ = std::make_unique<DCMainWindow>();
    window_->setWindowTitle(tr("Korva Lectern"));
    window_->setWindowIcon(Icons::icon(QStringLiteral("AppIcon")));
    QApplication::setPalette(WindowPalette::dark());
    WindowPalette::applyDark(*window_);

    auto *central = new QWidget(window_.get());
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    modeChooser_ = buildModeChooser(central);
    row->addWidget(modeChooser_);
    auto *column = new QVBoxLayout;
    column->setSpacing(0);
    row->addLayout(column, 1);

    views_ = new QStackedWidget(central);
    cameraView_ = new DCCameraView(views_);
    captureView_ = new DCCaptureView(cameraView_);
    captureView_->showFramesOf(&services_.capture);
    // Once per run: when start-up ends for the user (measured by the start-up benchmark).
    connect(
        captureView_, &DCCaptureView::pictureShown, this, [] { DCLog("First picture on screen"); },
        Qt::SingleShotConnection);
    previewView_ = new DCPreviewImageView(cameraView_);
    cameraView_->setContentView(captureView_);
    review_ = new ReviewModeController({window_.get(), *library_, *model_}, this);
    connect(review_, &ReviewModeController::uploadQueueAppendRequested, this,
            &DCMainWindowController::uploadQueueAppendRequested);
    QWidget *albumView = review_->albumView();
    buildEvernoteMode();
    for (QWidget *view : {static_cast<QWidget *>(cameraView_), albumView, evernoteView_})
        views_->addWidget(view);
    column->addWidget(views_, 1);

    statusField_ = new QLabel(central);
    statusField_->setFixedHeight(MainWindowGeometry::kStatusStripHeight);
    statusField_->setContentsMargins(8, 0, 8, 0);
    column->addWidget(statusField_);
    window_->setCentralWidget(central);

    buildCameraToolbar();
    buildReviewToolbar();
    screens_ = new PresentationScreens([this] { return window_->screen(); }, this);
    connect(screens_, &PresentationScreens::moveRequested, this, [this](QScreen *screen) {
        if (!fullWindow_) return;
        fullWindow_->presentOn(screen);
        screens_->setShowing(screen);
    });
    connect(window_.get(), &DCMainWindow::doubleClicked, model_.get(),
            &MainWindowModel::mainWindowDoubleClicked);
    connect(window_.get(), &DCMainWindow::keyPressed, this, &DCMainWindowController::keyPressed);
    connect(window_.get(), &DCMainWindow::closing, this, &DCMainWindowController::windowClosing);
}

void DCMainWindowController::buildEvernoteMode() {
    DCEvernoteController::Host host;
    host.mainWindow = window_.get();
    host.window = model_.get();
    host.service = services_.evernote;
    host.cameraPresent = [this] { return services_.cameras.currentCamera() != nullptr; };
    host.openSnapshotWindow = [this] { openSnapshotWindow(); };
    host.openFileSelector = [this] { openEvernoteFileSelector(); };
    evernoteController_ = new DCEvernoteController(std::move(host), views_, this);
    evernoteView_ = evernoteController_->view();
}

void DCMainWindowController::addReviewingItemsToEvernoteQueue() {
    review_->addReviewingItemsToEvernoteQueue();
}

// The mode chooser stands along the window's left edge: a desktop may not let a program place a
// window of its own beside it.
QWidget *DCMainWindowController::buildModeChooser(QWidget *parent) {
    auto *chooser = new QWidget(parent);
    auto *buttons = new QVBoxLayout(chooser);
    buttons->setContentsMargins(6, 12, 6, 12);
    buttons->setSpacing(10);
    for (const ModeButtonLook &look : kModeButtons) {
        auto *button = new DCButtonView(chooser);
        button->setExitImage(QString::fromLatin1(look.image) + QStringLiteral("-Down"));
        button->setEnterImage(QString::fromLatin1(look.image) + QStringLiteral("-Up"));
        button->setAccessibleName(tr(look.name));
        button->setToolTip(tr(look.name));
        button->setVisible(!MainWindowModel::isModeButtonHidden(look.button));
        connect(button, &DCButtonView::clicked, model_.get(),
                [this, which = look.button] { model_->changeMode(which); });
        modeButtons_[look.button] = button;
        buttons->addWidget(button, 0, Qt::AlignHCenter);
    }
    buttons->addStretch(1);
    return chooser;
}

void DCMainWindowController::buildCameraToolbar() {
    cameraModeToolbar_ = window_->addToolBar(tr("Camera"));
    cameraModeToolbar_->setObjectName(QStringLiteral("cameraModeToolbar"));
    cameraModeToolbar_->setMovable(false);
    cameraControls_ =
        new CameraControlsBinder(*toolbarModel_, ToolbarControlSets::Set::Toolbar, *cameraModeToolbar_);
    cameraModeToolbar_->addSeparator();
    auto *shutter = new DCButtonView(cameraModeToolbar_);
    shutter->setExitImage(QStringLiteral("Snapshot-Down"));
    shutter->setEnterImage(QStringLiteral("Snapshot-Up"));
    shutter->setObjectName(QStringLiteral("snapshot"));
    shutter->setAccessibleName(tr("Take a Photo"));
    shutter->setToolTip(tr("Take a Photo (Return)"));
    connect(shutter, &DCButtonView::clicked, this, &DCMainWindowController::snapshot);
    cameraModeToolbar_->addWidget(shutter);
}

// Review mode's toolbar; its controls are review mode's own.
void DCMainWindowController::buildReviewToolbar() {
    reviewModeToolbar_ = window_->addToolBar(tr("Review"));
    reviewModeToolbar_->setObjectName(QStringLiteral("reviewModeToolbar"));
    reviewModeToolbar_->setMovable(false);
    review_->populateToolbar(*reviewModeToolbar_);
    reviewModeToolbar_->hide();
}

void DCMainWindowController::connectModels() {
    MainWindowModel *model = model_.get();
    connect(model, &MainWindowModel::titleChanged, window_.get(), &QWidget::setWindowTitle);
    connect(model, &MainWindowModel::currentViewChanged, this, &DCMainWindowController::showView);
    connect(model, &MainWindowModel::toolbarChanged, this, &DCMainWindowController::showToolbar);
    connect(model, &MainWindowModel::statusStripVisibleChanged, statusField_, &QWidget::setVisible);
    connect(model, &MainWindowModel::modeChanged, this, &DCMainWindowController::applyMode);
    connect(model, &MainWindowModel::fullScreenRequested, this, &DCMainWindowController::setFullScreen);
    connect(model, &MainWindowModel::modeButtonsChanged, this, &DCMainWindowController::updateModeButtons);
    connect(model, &MainWindowModel::titleChanged, this, &DCMainWindowController::updateStatus);
    InstantPreview &preview = reactions_->instantPreview();
    connect(&preview, &InstantPreview::previewShown, this, [this](FramePointer image) {
        previewView_->setImage(std::move(image));
        showPreview(true);
    });
    connect(&preview, &InstantPreview::previewEnded, this, [this] { showPreview(false); });
    connect(reactions_.get(), &MainWindowReactions::attentionRequested, window_.get(),
            [this] { QApplication::alert(window_.get()); });
    // The Evernote view gets a fresh note title each time it shows; the photo taken in the snapshot
    // sheet joins its queue.
    connect(model, &MainWindowModel::currentViewChanged, evernoteController_,
            [this](MainWindowModel::View view) {
                if (view == MainWindowModel::View::Evernote) evernoteController_->viewWillAppear();
            });
    connect(model, &MainWindowModel::selectAllUploadsRequested, evernoteController_,
            &DCEvernoteController::selectAll);
    connect(model, &MainWindowModel::titleChanged, evernoteController_,
            &DCEvernoteController::updateSnapshotButton);
    connect(reactions_.get(), &MainWindowReactions::uploadQueueAppendRequested, evernoteController_,
            [this](int row) {
                if (const FileItem *item = library_->itemAt(row))
                    evernoteController_->addFileItemToQueue(std::make_unique<FileItem>(*item));
            });
    // Photos chosen in the open panel or sent from review mode.
    connect(this, &DCMainWindowController::uploadQueueAppendRequested, evernoteController_,
            [this](const ReviewModeController::FileItems &items) {
                std::vector<std::unique_ptr<FileItem>> copies;
                for (const std::shared_ptr<FileItem> &item : items)
                    copies.push_back(std::make_unique<FileItem>(*item));
                evernoteController_->addFileItemsToQueue(std::move(copies));
            });
    updateModeButtons();
}

// The overlay lives on the camera view, so it follows the picture into the full-screen window and back.
void DCMainWindowController::initAttachController() {
    if (attachController_) return;
    attachController_ = std::make_unique<DCAttachController>(cameraView_, toolbarModel_.get());
    attachController_->model().follow(*model_, *reactions_, *toolbarModel_);
}

void DCMainWindowController::setMode(int mode) {
    if (mode < 0 || mode > static_cast<int>(WindowMode::Evernote)) return;
    model_->setMode(static_cast<WindowMode>(mode));
}

// The window takes the size the mode asks for: the picture 4:3 above its strip, the left and top edges
// kept, nothing below the screen's visible area. The mode chooser's width comes on top.
void DCMainWindowController::applyMode(WindowMode mode) {
    if (mode == WindowMode::FullScreen || !window_->isVisible()) return;
    QToolBar *toolbar = model_->toolbar() == MainWindowModel::Toolbar::ReviewMode   ? reviewModeToolbar_
                        : model_->toolbar() == MainWindowModel::Toolbar::CameraMode ? cameraModeToolbar_
                                                                                    : nullptr;
    const QRect frame = window_->frameGeometry();
    // What the frame adds around the window (title bar, borders), and the window around its central area.
    const QSize decoration = frame.size() - window_->size();
    MainWindowGeometry::Metrics metrics;
    metrics.toolbarHeight = toolbar ? toolbar->sizeHint().height() : 0;
    metrics.titleBarHeight = frame.height() - window_->centralWidget()->height() - metrics.toolbarHeight;
    metrics.visibleFrame = window_->screen() ? window_->screen()->availableGeometry() : frame;
    MainWindowGeometry::ModeFrame next;
    if (mode == WindowMode::Camera)
        next = MainWindowGeometry::cameraMode(frame, views_->width(), metrics);
    else if (mode == WindowMode::Review)
        next = MainWindowGeometry::reviewMode(frame, views_->width(), metrics);
    else
        return;
    const QSize chooser(modeChooser_->sizeHint().width(), 0);
    window_->setMinimumSize(next.minimumSize + chooser - decoration);
    window_->resize(next.frame.size() + chooser - decoration);
    window_->move(next.frame.topLeft());
}

void DCMainWindowController::showView(MainWindowModel::View view) {
    switch (view) {
    case MainWindowModel::View::Camera:
        views_->setCurrentWidget(cameraView_);
        return;
    case MainWindowModel::View::Album:
        views_->setCurrentWidget(review_->albumView());
        return;
    case MainWindowModel::View::Evernote:
        views_->setCurrentWidget(evernoteView_);
        return;
    case MainWindowModel::View::None:
        return;
    }
}

void DCMainWindowController::showToolbar(MainWindowModel::Toolbar toolbar) {
    cameraModeToolbar_->setVisible(toolbar == MainWindowModel::Toolbar::CameraMode);
    reviewModeToolbar_->setVisible(toolbar == MainWindowModel::Toolbar::ReviewMode);
}

void DCMainWindowController::updateModeButtons() {
    for (const auto &[which, button] : modeButtons_) {
        button->setIsUp(model_->upButton() == which);
        button->setEnabled(model_->isModeButtonEnabled(which));
    }
}

void DCMainWindowController::updateStatus() {
    const DCCameraPtr camera = services_.cameras.currentCamera();
    QString text = camera ? camera->model() : tr("No camera");
    if (camera && services_.demoStandsIn && services_.demoStandsIn())
        text = tr("No camera is attached: showing the simulated %1").arg(camera->shortModel());
    statusField_->setText(text);
}

// The live picture gives way to the still of the instant preview and comes back after it.
void DCMainWindowController::showPreview(bool show) {
    cameraView_->setContentView(show ? static_cast<QWidget *>(previewView_) : captureView_);
}

void DCMainWindowController::setFullScreen(bool fullScreen) {
    if (fullScreen == static_cast<bool>(fullWindow_)) return;
    if (fullScreen) {
        fullWindow_ = std::make_unique<FullScreenWindow>(screens_->target());
        screens_->setShowing(fullWindow_->presentationScreen());
        connect(fullWindow_.get(), &FullScreenWindow::exitRequested, model_.get(),
                &MainWindowModel::fullScreenWindowWantsExit);
        connect(fullWindow_.get(), &FullScreenWindow::activeChanged, model_.get(),
                &MainWindowModel::setFullScreenWindowActive);
        fullWindow_->takePicture(cameraView_);
        window_->hide();
        fullWindow_->present();
        return;
    }
    // The camera view comes back into the main window, which shows again.
    views_->insertWidget(0, cameraView_);
    views_->setCurrentWidget(cameraView_);
    screens_->setShowing(nullptr);
    fullWindow_.reset();
    window_->show();
    window_->activateWindow();
}

void DCMainWindowController::showWindow() {
    model_->showWindow();
    if (fullWindow_) {
        fullWindow_->present();
        return;
    }
    const bool firstShow = !shownBefore_;
    shownBefore_ = true;
    if (firstShow) restoreWindowState();
    window_->show();
    window_->raise();
    window_->activateWindow();
    if (!model_->isLaunched()) model_->applicationDidFinishLaunching();
    // A window closed in review mode at the end of the last run comes back in review mode.
    if (firstShow && QSettings().value(kClosedInReviewKey).toBool()) model_->setMode(WindowMode::Review);
}

void DCMainWindowController::enterFullScreenMode() {
    model_->setMode(WindowMode::FullScreen);
}

void DCMainWindowController::exitFullScreenMode() {
    if (model_->isFullScreen()) model_->changeMode(ModeButton::None);
}

void DCMainWindowController::appEscapeFromFullScreen() {
    model_->fullScreenWindowWantsExit();
}

// Copying a photo comes with review mode.
void DCMainWindowController::copy() {
    model_->perform(MainWindowModel::KeyCommand::CopyPhoto);
}

void DCMainWindowController::snapshot() {
    model_->perform(MainWindowModel::KeyCommand::Enter);
}

void DCMainWindowController::openSnapshotWindow() {
    if (!snapshotSheet_) {
        // Only the picture goes into the sheet: the overlay's floaters stay with the camera view.
        const auto pictureReturned = [this] {
            cameraView_->setContentView(captureView_);
            showPreview(reactions_->instantPreview().isShowing());
        };
        snapshotSheet_ =
            new DCSnapshotWindowController({window_.get(), captureView_, pictureReturned, *model_,
                                            *toolbarModel_, *reactions_, services_.capture},
                                           this);
    }
    snapshotSheet_->open();
}

void DCMainWindowController::openEvernoteFileSelector() {
    review_->openEvernoteFileSelector();
}

void DCMainWindowController::keyPressed(int key, Qt::KeyboardModifiers modifiers, bool *handled) {
    const MainWindowModel::KeyCommand command = MainWindowModel::commandForKey(key, modifiers);
    *handled = command != MainWindowModel::KeyCommand::None && model_->perform(command);
}

void DCMainWindowController::windowClosing() {
    model_->windowShouldClose();
    saveWindowState();
}

void DCMainWindowController::restoreWindowState() {
    QSettings settings;
    const QByteArray geometry = settings.value(kGeometryKey).toByteArray();
    if (geometry.isEmpty() || !window_->restoreGeometry(geometry))
        window_->resize(640 + modeChooser_->sizeHint().width(), 580);
}

// Closing in review mode reopens in review mode, also at the next start.
void DCMainWindowController::saveWindowState() {
    QSettings settings;
    if (!fullWindow_) settings.setValue(kGeometryKey, window_->saveGeometry());
    settings.setValue(kClosedInReviewKey, model_->closePriv());
}
