#include "DCAppController.h"

#include <cstdio>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <QApplication>
#include <QDesktopServices>
#include <QMainWindow>
#include <QMenuBar>
#include <QUrl>

#include "CommandLine.h"
#include "LaunchRequest.h"
#include "SingleInstance.h"
#include "StopSignals.h"
#include "capture/DCCamSettingController.h"
#include "core/DCLog.h"
#include "core/SharedInstance.h"
#include "core/UserDefaults.h"
#include "evernote/EvernoteService.h"
#include "streaming/HTTPServer.h"
#include "ui/hotkeys/DCHotKey.h"
#include "ui/hotkeys/DCHotKeyCenter.h"
#include "ui/hotkeys/HotKeyBackendFactory.h"
#include "ui/window/DCAboutWindowController.h"
#include "ui/window/DCMainWindowController.h"
#include "ui/window/DCPreferencesWindowController.h"
#include "ui/window/PresentationScreens.h"

namespace {

DCAppController *gAppController = nullptr;

AppCore::Options optionsOf(const CommandLine &cl) {
    AppCore::Options options;
    options.demoModels = cl.demoModels;
    options.streamUrls = cl.streamUrls;
    options.redirectStandardStreams = true;
    options.actions = true;
    // The main window reacts to camera changes itself.
    options.followCameraChanges = false;
    options.demoWhenNoCamera = cl.demoWhenNoCamera;
    if (cl.port) options.port = static_cast<std::uint16_t>(*cl.port);
    return options;
}

} // namespace

DCAppController *DCAppController::appController() {
    return gAppController;
}

DCAppController::DCAppController(const CommandLine &commandLine)
    : core_(optionsOf(commandLine)), callbackUrl_(commandLine.callbackUrl) {
    gAppController = this;
}

DCAppController::~DCAppController() {
    terminate();
    if (gAppController == this) gAppController = nullptr;
}

int DCAppController::run() {
    // A second launch brings the running window to the front and leaves.
    instance_ = std::make_unique<SingleInstance>(QStringLiteral("korva-lectern"));
    const LaunchRequest request{qgetenv("XDG_ACTIVATION_TOKEN"), callbackUrl_};
    if (instance_->claim(request.encode()) == SingleInstance::Role::Secondary) return 0;
    connect(instance_.get(), &SingleInstance::activationRequested, this, &DCAppController::laterLaunch);

    QString error;
    if (!core_.start(&error)) {
        std::fprintf(stderr, "korva-lectern: %s\n", qUtf8Printable(error));
        return 2;
    }
    evernote_ =
        std::make_unique<EvernoteService>(EvernoteConfig::fromBuild(), UserDefaults::standardUserDefaults());
    mainWindowController_ = std::make_unique<DCMainWindowController>(
        MainWindowServices{core_.cameras(), core_.settings(), *core_.capture(), core_.actions(),
                           [this] { return core_.showsDemoForMissingCamera(); }, evernote_.get()});
    installMenus();
    prepareHotKeys();
    initializeMode();
    // Started by the browser with the end of a sign-in while no window ran: it is handed on all the same.
    if (callbackUrl_.isValid()) evernote_->handleCallbackUrl(callbackUrl_);
    // Discovery only now that the window exists and is in camera mode.
    if (!core_.startToMonitor(&error)) {
        std::fprintf(stderr, "korva-lectern: %s\n", qUtf8Printable(error));
        return 2;
    }
    // The desktop ends a session with SIGTERM: leave as Quit does.
    StopSignals stopSignals([](int signal) {
        DCLog("The window program stops on signal %d", signal);
        QApplication::quit();
    });
    const int status = QApplication::exec();
    terminate();
    return status;
}

void DCAppController::initializeMode() {
    mainWindowController_->initAttachController();
    mainWindowController_->setMode(0);
    mainWindowController_->showWindow();
    DCLog("The main window is shown");
}

void DCAppController::prepareHotKeys() {
    hotKeyCenter_ = std::make_unique<DCHotKeyCenter>(HotKeyBackendFactory::create());
    SharedInstance<DCHotKeyCenter>::install(hotKeyCenter_.get());
    exitFullHotKey_ =
        std::make_shared<DCHotKey>(QStringLiteral("AppExitFromFullScreenKey"), DCKeyCombo(XKB_KEY_Escape, 0));
    exitFullHotKey_->setTarget(mainWindowController_.get());
    exitFullHotKey_->setAction("appEscapeFromFullScreen");
}

void DCAppController::showMainWindow(const QByteArray &activationToken) {
    // The desktop's token lets the window come to the front on Wayland.
    if (!activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken);
    if (mainWindowController_) mainWindowController_->showWindow();
}

void DCAppController::laterLaunch(const QByteArray &message) {
    const LaunchRequest request = LaunchRequest::decode(message);
    if (request.url.isValid() && evernote_ && !evernote_->handleCallbackUrl(request.url))
        DCLog("A later launch asked to open %s, which is not ours", qUtf8Printable(request.url.scheme()));
    showMainWindow(request.activationToken);
}

void DCAppController::terminate() {
    // The windows (and with them the picture) first, then everything the core made, in reverse.
    preferencesWindowController_.reset();
    mainWindowController_.reset();
    if (hotKeyCenter_) {
        hotKeyCenter_->unregisterHotKey(exitFullHotKey_);
        SharedInstance<DCHotKeyCenter>::uninstall(hotKeyCenter_.get());
        hotKeyCenter_.reset();
    }
    evernote_.reset();
    core_.stop();
    instance_.reset();
}

void DCAppController::changeMode(int mode) {
    if (mode < 0 || mode > 2) return;
    mainWindowController_->setMode(mode);
}

void DCAppController::openPreferences() {
    if (!preferencesWindowController_) {
        DCCamerasController &cameras = core_.cameras();
        preferencesWindowController_ =
            std::make_unique<DCPreferencesWindowController>(PreferencesModel::Dependencies{
                [&cameras] { return cameras.availableCameras(); },
                [&cameras] { return cameras.currentCamera(); },
                [&cameras](DCCameraPtr camera) { cameras.setCurrentCamera(std::move(camera)); },
                &core_.settings(), &UserDefaults::standardUserDefaults(),
                [this] {
                    HTTPServer *server = core_.server();
                    return server && server->state() == HTTPServer::Running ? server->address() : QString();
                }});
    }
    preferencesWindowController_->showWindow();
}

void DCAppController::openAbout() {
    DCAboutWindowController::showShared(mainWindowController_->window(), core_.settings().firmwareVersion(),
                                        QStringLiteral(KL_SITE_ADDRESS));
}

void DCAppController::onlineHelp() {
    const QString address = QStringLiteral(KL_HELP_BASE_URL);
    if (address.isEmpty()) {
        DCLog("This build has no online help address");
        return;
    }
    QDesktopServices::openUrl(QUrl(address));
}

void DCAppController::copy() {
    mainWindowController_->copy();
}

void DCAppController::enterFullScreenMode() {
    mainWindowController_->enterFullScreenMode();
}

void DCAppController::exitFullScreenMode() {
    mainWindowController_->exitFullScreenMode();
}

void DCAppController::installMenus() {
    QMenuBar *bar = mainWindowController_->window()->menuBar();
    QMenu *file = bar->addMenu(tr("&File"));
    QAction *preferences = file->addAction(tr("Preferences…"), this, &DCAppController::openPreferences);
    preferences->setShortcut(QKeySequence::Preferences);
    file->addSeparator();
    QAction *quit = file->addAction(tr("Quit"), qApp, &QApplication::quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu *edit = bar->addMenu(tr("&Edit"));
    QAction *copy = edit->addAction(tr("Copy"), this, &DCAppController::copy);
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));

    QMenu *view = bar->addMenu(tr("&View"));
    const struct {
        QString title;
        int mode;
        QKeySequence key;
    } modes[] = {{tr("Camera"), 0, QKeySequence(Qt::CTRL | Qt::Key_1)},
                 {tr("Project"), 1, QKeySequence(Qt::CTRL | Qt::Key_2)},
                 {tr("Review"), 2, QKeySequence(Qt::CTRL | Qt::Key_3)}};
    for (const auto &m : modes)
        view->addAction(m.title, this, [this, mode = m.mode] { changeMode(mode); })->setShortcut(m.key);
    view->addSeparator();
    view->addAction(tr("Enter Full Screen"), this, &DCAppController::enterFullScreenMode)
        ->setShortcut(QKeySequence(Qt::Key_F11));
    view->addAction(tr("Exit Full Screen"), this, &DCAppController::exitFullScreenMode);
    view->addMenu(mainWindowController_->presentationScreens().makeMenu(view));

    QMenu *help = bar->addMenu(tr("&Help"));
    help->addAction(tr("Korva Lectern Help"), this, &DCAppController::onlineHelp)
        ->setShortcut(QKeySequence::HelpContents);
    help->addAction(tr("About Korva Lectern"), this, &DCAppController::openAbout);
}
