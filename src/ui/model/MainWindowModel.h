#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QString>

#include "devices/DCCamera.h"
#include "ui/model/MainWindowKeyMap.h"
#include "ui/model/ModelSchedule.h"
#include "ui/model/WindowMode.h"

class CameraToolbarModel;
class DCCaptureViewController;
class PhotoLibraryModel;

// The main window's modes and what each one shows: the title, the view in the window, the toolbar, the
// status strip, full screen, the mode buttons, the keys, and the state kept across closing the window.
// The window acts on the signals; for sizes it calls MainWindowGeometry with its own measurements when
// modeChanged() arrives. Main thread only.
class MainWindowModel : public QObject {
    Q_OBJECT
public:
    enum class View { None, Camera, Album, Evernote };
    enum class Toolbar { None, CameraMode, ReviewMode };
    enum class ModeButton { None, Camera, Project, Review, Evernote };
    Q_ENUM(View)
    Q_ENUM(Toolbar)
    Q_ENUM(ModeButton)
    using KeyCommand = MainWindowKeyMap::Command;

    struct Dependencies {
        CameraToolbarModel *toolbar = nullptr;      // required: full screen zooms as its overlay set says
        PhotoLibraryModel *library = nullptr;       // required
        DCCaptureViewController *capture = nullptr; // null: no live picture
        std::function<DCCameraPtr()> currentCamera; // null: the shared camera controller's
        ModelSchedule::Function schedule;           // null: the main event loop
    };

    static constexpr std::chrono::milliseconds kLaunchDelay{400};

    explicit MainWindowModel(Dependencies dependencies, QObject *parent = nullptr);

    WindowMode mode() const { return mode_; }
    QString title() const { return title_; }
    View currentView() const { return currentView_; }
    Toolbar toolbar() const { return toolbar_; }
    bool isStatusStripVisible() const { return statusStripVisible_; }
    bool isFullScreen() const { return fullScreen_; }
    bool isLaunched() const { return launched_; }
    bool closePriv() const { return closePriv_; }
    bool fileCreated() const { return fileCreated_; }
    ModeButton upButton() const { return upButton_; }
    bool isModeButtonEnabled(ModeButton button) const;
    // Evernote mode is entered from review mode, never from its button.
    static bool isModeButtonHidden(ModeButton button) { return button == ModeButton::Evernote; }

    void setMode(WindowMode mode);
    // The mode buttons' action; no button (as the full-screen window's exit) means camera mode.
    void changeMode(ModeButton sender);
    void enterFullScreenMode();
    void exitFullScreenMode();
    // While the snapshot sheet or an upload needs the window as it is: only the current mode's button.
    void lockMode();
    void unlockMode();
    void setupToolbar(int mode);
    // The window title for `camera` (the current one, or none).
    void setTitleForCamera(const DCCameraPtr &camera);

    // A photo arrived outside review mode: the next entry selects the newest.
    void setFileCreated(bool created) { fileCreated_ = created; }
    // The full-screen window tells whether it has the keyboard; leaving full screen asks it.
    void setFullScreenWindowActive(bool active) { fullScreenWindowActive_ = active; }
    bool isFullScreenWindowActive() const { return fullScreen_ && fullScreenWindowActive_; }

    // Window life: the application finished starting; the window is shown; it is asked to close (the
    // answer is always yes).
    void applicationDidFinishLaunching();
    void showWindow();
    bool windowShouldClose();

    static KeyCommand commandForKey(int key, Qt::KeyboardModifiers modifiers) {
        return MainWindowKeyMap::commandForKey(key, modifiers);
    }
    // Carries out a key's command where the current mode allows it; false when it does nothing here.
    bool perform(KeyCommand command);
    // The main window saw a double click (announced for every one; in camera mode it means full screen).
    void mainWindowDoubleClicked();
    // Escape or a double click in the full-screen window: announced; camera mode follows if that window
    // has the keyboard.
    void fullScreenWindowWantsExit();

Q_SIGNALS:
    // After every real change of mode; the window sizes itself for it (MainWindowGeometry).
    void modeChanged(WindowMode mode);
    void titleChanged(const QString &title);
    void currentViewChanged(MainWindowModel::View view);
    void toolbarChanged(MainWindowModel::Toolbar toolbar);
    void statusStripVisibleChanged(bool visible);
    // Enter (true) or leave (false) the full-screen window on the screen that holds the main window.
    void fullScreenRequested(bool fullScreen);
    // The overlay over the live picture is shown (camera mode once launched) or hidden.
    void overlayVisibleChanged(bool visible);
    void modeButtonsChanged();
    // Start-up is over: the overlay and the mode chooser are placed and shown.
    void launched();
    // Review mode was entered: the review zoom leaves its title item.
    void reviewModeEntered();
    void deletePhotoRequested();
    void copyPhotoRequested();
    void selectAllUploadsRequested();
    // One step of the review zoom: +1 in, -1 out.
    void photoZoomStepRequested(int step);

private:
    void enterCameraMode();
    void enterFullScreen();
    void enterReviewMode();
    void enterEvernoteMode();
    void setCurrentView(View view);
    void setStatusStripVisible(bool visible);
    void setTitle(const QString &title);
    void prepareForModeWindow();
    static ModeButton buttonOf(WindowMode mode);

    Dependencies deps_;
    WindowMode mode_ = WindowMode::Unset;
    QString title_;
    View currentView_ = View::None;
    Toolbar toolbar_ = Toolbar::None;
    bool statusStripVisible_ = false;
    bool fullScreen_ = false;
    bool fullScreenWindowActive_ = false;
    bool launched_ = false;
    bool closePriv_ = false;
    bool fileCreated_ = false;
    ModeButton upButton_ = ModeButton::Camera;
    bool modesLocked_ = false;
};
