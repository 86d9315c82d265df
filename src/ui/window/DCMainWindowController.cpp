#include "DCMainWindowController.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "DCMainWindow.h"
#include "core/DCLog.h"
#include "devices/DCCamerasController.h"

namespace {

constexpr int kStatusStripHeight = 20;

QWidget *blackView(QWidget *parent) {
    auto *view = new QWidget(parent);
    view->setAutoFillBackground(true);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, Qt::black);
    view->setPalette(palette);
    return view;
}

} // namespace

DCMainWindowController::DCMainWindowController(MainWindowServices services, QObject *parent)
    : QObject(parent), services_(std::move(services)) {
    buildWindow();
}

DCMainWindowController::~DCMainWindowController() {
    if (window_) saveGeometry();
}

QMainWindow *DCMainWindowController::window() const {
    return window_.get();
}

void DCMainWindowController::buildWindow() {
    window_ = std::make_unique<DCMainWindow>();
    window_->setWindowTitle(tr("Korva Lectern"));
    auto *central = new QWidget(window_.get());
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    views_ = new QStackedWidget(central);
    cameraView_ = blackView(views_);
    albumView_ = new QWidget(views_);
    evernoteView_ = new QWidget(views_);
    views_->addWidget(cameraView_);
    views_->addWidget(albumView_);
    views_->addWidget(evernoteView_);
    column->addWidget(views_, 1);
    statusField_ = new QLabel(central);
    statusField_->setFixedHeight(kStatusStripHeight);
    column->addWidget(statusField_);
    window_->setCentralWidget(central);
    cameraModeToolbar_ = window_->addToolBar(tr("Camera"));
    reviewModeToolbar_ = window_->addToolBar(tr("Review"));
    connect(window_.get(), &DCMainWindow::closing, this, [this] { saveGeometry(); });
}

void DCMainWindowController::initAttachController() {}

void DCMainWindowController::setMode(int mode) {
    DCLog("set mode to %d", mode);
    if (mode == mode_) return;
    mode_ = mode;
}

void DCMainWindowController::showWindow() {
    if (!window_->isVisible()) restoreGeometry();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void DCMainWindowController::enterFullScreenMode() {}

void DCMainWindowController::exitFullScreenMode() {}

void DCMainWindowController::copy() {}

void DCMainWindowController::restoreGeometry() {
    QSettings settings;
    const QByteArray geometry = settings.value(QStringLiteral("MainWindow/geometry")).toByteArray();
    if (geometry.isEmpty() || !window_->restoreGeometry(geometry)) window_->resize(640, 580);
}

void DCMainWindowController::saveGeometry() {
    QSettings settings;
    settings.setValue(QStringLiteral("MainWindow/geometry"), window_->saveGeometry());
}
