#include <cstdio>
#include <memory>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include "CommandLine.h"
#include "Modes.h"

#ifdef KL_WITH_WEBENGINE
#include "evernote/EvernoteService.h"
#include "ui/evernote/WebSignInSheet.h"
#endif

namespace {

QStringList argumentsOf(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char **argv) {
    CommandLine cl = CommandLine::parse(argumentsOf(argc, argv));
    if (!cl.error.isEmpty()) {
        std::fprintf(stderr, "korva-lectern: %s\n\n%s", qUtf8Printable(cl.error),
                     qUtf8Printable(CommandLine::usage()));
        return 2;
    }
    if (cl.mode == CommandLine::Mode::Window && !hasDisplay()) {
        std::fprintf(stderr,
                     "korva-lectern: no display (DISPLAY and WAYLAND_DISPLAY are unset); streaming the "
                     "picture without a window instead\n");
        cl.mode = CommandLine::Mode::Headless;
    }
    // Only the window needs the widgets (and a display).
    std::unique_ptr<QCoreApplication> app;
    if (cl.mode == CommandLine::Mode::Window) {
        // The sign-in web view shares OpenGL with the window; it must be said before the application is made.
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        // Qt's GStreamer media backend crashes where GStreamer's base plugins are missing, which
        // nothing installs with Qt; the FFmpeg backend ships in the same Qt package with its libraries.
        // A user's own choice stands.
        if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
#ifdef KL_WITH_WEBENGINE
        WebSignInSheet::registerCallbackScheme(EvernoteService::callbackScheme());
#endif
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The window's own state (QSettings) then lives beside the user defaults, in the program's folder.
    QCoreApplication::setOrganizationName(QStringLiteral("korva-lectern"));
    QCoreApplication::setApplicationName(QStringLiteral("korva-lectern"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KL_VERSION));
    // Lets the desktop match the window to its menu entry and icon (Wayland has no other way).
    QGuiApplication::setDesktopFileName(QStringLiteral(KL_APP_ID));
    return Modes::run(cl);
}
