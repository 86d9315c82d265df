#include "HeadlessCommand.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "CommandLine.h"
#include "LiveSession.h"
#include "StopSignals.h"
#include "core/DCLog.h"
#include "core/FirstRunDefaults.h"
#include "core/UserDefaults.h"
#include "streaming/HTTPServer.h"

namespace {

// How long the stream waits for a camera and its stored mirror and resolution before it starts all the
// same (a camera found later is streamed as soon as it is current).
constexpr std::chrono::milliseconds kCameraWait{2000};
constexpr std::chrono::milliseconds kSettingsWait{2000};
// Long enough for the withdrawal queued by the stop sequence to reach the DNS-SD daemon.
constexpr std::chrono::milliseconds kWithdrawWait{300};

int fail(const QString &message, int status = 1) {
    std::fprintf(stderr, "korva-lectern: %s\n", qUtf8Printable(message));
    return status;
}

void spinFor(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

// The page and the stream, at the address other machines reach (or this machine's own when it has
// no network).
void printAddress(const HTTPServer &server) {
    QString base = server.address();
    if (base == QLatin1String("N/A")) base = QStringLiteral("http://localhost:%1").arg(server.port());
    std::printf("Open %s/ in a browser to watch the camera.\nStream: %s/stream\n", qUtf8Printable(base),
                qUtf8Printable(base));
    std::fflush(stdout);
}

int serve(const CommandLine &cl) {
    LiveSession session;
    QString error;
    if (!session.start(cl, &error)) return fail(error, 2);
    FirstRunDefaults::setAppDefault(UserDefaults::standardUserDefaults());
    // So that the stream's first pictures already show the camera as the user set it up.
    if (session.waitForCamera(kCameraWait)) session.waitForStoredSettings(kSettingsWait);

    HTTPServer &server = HTTPServer::sharedHTTPServer();
    if (cl.port) {
        HTTPServer::Configuration configuration = server.configuration();
        configuration.port = static_cast<std::uint16_t>(*cl.port);
        server.setConfiguration(configuration);
    }
    StopSignals stopSignals([](int signal) {
        DCLog("Headless mode stops on signal %d", signal);
        QCoreApplication::exit(0);
    });
    server.start();
    if (server.state() != HTTPServer::Running) {
        const auto lastError = server.lastError();
        return fail(QStringLiteral("cannot serve the stream: %1 (another port: --port N)")
                        .arg(lastError ? lastError->localizedDescription : QStringLiteral("unknown error")));
    }
    printAddress(server);
    DCLog("Headless mode serves %s", qUtf8Printable(server.address()));

    const int status = QCoreApplication::exec();
    server.stop();
    spinFor(kWithdrawWait);
    return status;
}

} // namespace

int HeadlessCommand::run(const CommandLine &cl) {
    const int status = serve(cl);
    // The shared camera controller's device thread serves until the process ends and is never
    // stopped, so the process leaves without running static destructors under it (the log is
    // written unbuffered; standard output and error are flushed here).
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
