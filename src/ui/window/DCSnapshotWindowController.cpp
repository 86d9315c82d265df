#include "DCSnapshotWindowController.h"

#include "DCSnapshotWindow.h"
#include "capture/DCCaptureViewController.h"
#include "devices/DCCamerasController.h"
#include "ui/model/CameraToolbarModel.h"
#include "ui/model/CameraToolbarValues.h"
#include "ui/model/MainWindowModel.h"
#include "ui/model/MainWindowReactions.h"

DCSnapshotWindowController::DCSnapshotWindowController(Host host, QObject *parent)
    : QObject(parent), host_(std::move(host)),
      model_(
          {[] { return DCCamerasController::sharedCurrentCamera(); }, [this] { return shouldClose(); }, {}}),
      sheet_(new DCSnapshotWindow(host_.mainWindow)) {
    connect(sheet_, &DCSnapshotWindow::snapshotRequested, &model_, &SnapshotWindowModel::snapshot);
    connect(sheet_, &DCSnapshotWindow::focusRequested, &model_, &SnapshotWindowModel::zoom);
    connect(sheet_, &DCSnapshotWindow::closeRequested, &model_, &SnapshotWindowModel::close);
    connect(&model_, &SnapshotWindowModel::focusDisplayChanged, this,
            &DCSnapshotWindowController::showFocusDisplay);
    connect(&host_.reactions, &MainWindowReactions::snapshotWindowCloseRequested, &model_,
            &SnapshotWindowModel::close);
}

// The sheet is a child of the main window, which deletes it.
DCSnapshotWindowController::~DCSnapshotWindowController() = default;

void DCSnapshotWindowController::open() {
    if (model_.isVisible()) return;
    sheet_->takePicture(host_.picture);
    host_.window.lockMode();
    host_.capture.setZoom(1.0f);
    model_.windowWillAppear();
    model_.setVisible(true);
    host_.reactions.setSnapshotWindowVisible(true);
    sheet_->open();
}

bool DCSnapshotWindowController::shouldClose() {
    host_.reactions.setSnapshotWindowVisible(false);
    sheet_->hide();
    host_.pictureReturned();
    sheetDidEnd();
    return true;
}

void DCSnapshotWindowController::sheetDidEnd() {
    host_.window.unlockMode();
    host_.toolbar.setCameraModeZoom(ToolbarControlSets::Set::Toolbar,
                                    CameraToolbarValues::itemOfZoomFactor(1.0f));
}

void DCSnapshotWindowController::showFocusDisplay() {
    sheet_->setFocusDisplay(model_.focusControlsShown(), model_.ringImage(), model_.targetImage());
}
