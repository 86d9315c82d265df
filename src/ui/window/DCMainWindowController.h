#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>

class DCActionController;
class DCCamSettingController;
class DCCamerasController;
class DCCaptureViewController;
class DCMainWindow;
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
};

// Owns the main window and decides what it shows: camera, full screen, review and Evernote modes, the
// toolbars, the status strip and the mode chooser. Its rules live in the widget-free models it mirrors.
//
// Main thread only.
class DCMainWindowController : public QObject {
    Q_OBJECT
public:
    explicit DCMainWindowController(MainWindowServices services, QObject *parent = nullptr);
    ~DCMainWindowController() override;

    QMainWindow *window() const;
    int mode() const { return mode_; }

    void initAttachController();
    void setMode(int mode);
    void showWindow();
    void enterFullScreenMode();
    void exitFullScreenMode();
    void copy();

private:
    void buildWindow();
    void restoreGeometry();
    void saveGeometry();

    MainWindowServices services_;
    std::unique_ptr<DCMainWindow> window_;
    QStackedWidget *views_ = nullptr;
    QWidget *cameraView_ = nullptr;
    QWidget *albumView_ = nullptr;
    QWidget *evernoteView_ = nullptr;
    QLabel *statusField_ = nullptr;
    QToolBar *cameraModeToolbar_ = nullptr;
    QToolBar *reviewModeToolbar_ = nullptr;
    int mode_ = 4;
};
