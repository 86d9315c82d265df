#pragma once

#include <memory>

#include <QObject>
#include <QString>
#include <QUrl>

#include "AppCore.h"

class DCHotKey;
class DCHotKeyCenter;
class DCMainWindowController;
class EvernoteService;
class DCPreferencesWindowController;
class QAction;
class QMenuBar;
class SingleInstance;
struct CommandLine;

// The windowed program: the application core, the main window controller on it, the menus and the one
// instance per user. Start-up keeps the order of the program's objects (the log into its file, the
// defaults, the action controller, the camera controller, the settings store, the capture, the stream
// when "VideoStreamSetKey" says so), then the main window in camera mode, and only then does discovery
// begin. Quit and closing the window stop everything in reverse and return from exec().
//
// Main thread only.
class DCAppController : public QObject {
    Q_OBJECT
public:
    // The running controller, or null.
    static DCAppController *appController();

    explicit DCAppController(const CommandLine &commandLine);
    ~DCAppController() override;

    // Answers the exit status once the program ends: 0 after Quit or the last window closed, 0 when another
    // instance took the request, 2 for a command line the core cannot use.
    int run();

    DCMainWindowController *mainWindowController() const { return mainWindowController_.get(); }
    // Made on first use.
    DCPreferencesWindowController *preferencesWindowController() const {
        return preferencesWindowController_.get();
    }
    AppCore &core() { return core_; }
    EvernoteService *evernote() const { return evernote_.get(); }

    // Menu actions.
    void changeMode(int mode);
    void openPreferences();
    void openAbout();
    void onlineHelp();
    void copy();
    void enterFullScreenMode();
    void exitFullScreenMode();

private:
    void initializeMode();
    void showMainWindow(const QByteArray &activationToken);
    // A later launch's request: its callback URL (the end of a sign-in in the browser), then the window.
    void laterLaunch(const QByteArray &message);
    void installMenus();
    void terminate();

    void prepareHotKeys();

    AppCore core_;
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<DCHotKeyCenter> hotKeyCenter_;
    QUrl callbackUrl_;
    std::unique_ptr<EvernoteService> evernote_;
    std::unique_ptr<DCMainWindowController> mainWindowController_;
    std::unique_ptr<DCPreferencesWindowController> preferencesWindowController_;
    // Escape leaves full screen. The full-screen window hears it itself, so this stays unregistered:
    // a session-wide grab of Escape would take the key from every other program.
    std::shared_ptr<DCHotKey> exitFullHotKey_;
};
