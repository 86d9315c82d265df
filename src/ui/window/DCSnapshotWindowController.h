#pragma once

#include <functional>

#include <QObject>

#include "ui/model/SnapshotWindowModel.h"

class CameraToolbarModel;
class DCCaptureViewController;
class DCSnapshotWindow;
class MainWindowModel;
class MainWindowReactions;

// Opens and closes the snapshot sheet on the main window. While it shows, the live picture is
// borrowed into it, the other modes' buttons are locked and the picture is unzoomed; the photo taken
// in it closes it (the main window's reactions ask for that). Closing gives the picture back, unlocks
// the buttons and leaves the camera toolbar's zoom at 1x.
//
// Main thread only.
class DCSnapshotWindowController : public QObject {
    Q_OBJECT
public:
    struct Host {
        QWidget *mainWindow;
        QWidget *picture;
        std::function<void()> pictureReturned; // the picture is to go back into the main window
        MainWindowModel &window;
        CameraToolbarModel &toolbar;
        MainWindowReactions &reactions;
        DCCaptureViewController &capture;
    };
    DCSnapshotWindowController(Host host, QObject *parent = nullptr);
    ~DCSnapshotWindowController() override;

    void open();
    bool isOpen() const { return model_.isVisible(); }
    SnapshotWindowModel &model() { return model_; }
    DCSnapshotWindow *window() const { return sheet_; }

private:
    bool shouldClose();
    void sheetDidEnd();
    void showFocusDisplay();

    Host host_;
    SnapshotWindowModel model_;
    DCSnapshotWindow *sheet_;
};
