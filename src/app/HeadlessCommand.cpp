#include "HeadlessCommand.h"

#include <chrono>
#include <cstdio>

#include <QCoreApplication>

#include "AppCore.h"
#include "CommandLine.h"
#include "StopSignals.h"
#include "core/DCLog.h"
#include "streaming/HTTPServer.h"

namespace {

// How long the stream waits for a camera and its stored mirror and resolution before it starts all the
// same (a camera found later is streamed as soon as it is current).
constexpr std::chrono::milliseconds kCameraWait{2000};
constexpr std::chrono::milliseconds kSettingsWait{2000};

int fail(const QString &message, int status = 1) {
    std::fprintf(stderr, "korva-lectern: %s\n", qUtf8Printable(message));
    return status;
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

AppCore::Options optionsOf(const CommandLine &cl) {
    AppCore::Options options;
    options.demoModels = cl.demoModels;
    options.streamUrls = cl.streamUrls;
    options.demoWhenNoCamera = cl.demoWhenNoCamera;
    // Served below, once the camera is set up.
    options.streaming = AppCore::Streaming::Off;
    if (cl.port) options.port = static_cast<std::uint16_t>(*cl.port);
    return options;
}

} // namespace

int HeadlessCommand::run(const CommandLine &cl) {
    AppCore core(optionsOf(cl));
    // From the very start, so a signal during the start-up still ends the program cleanly.
    StopSignals stopSignals([&core](int signal) {
        DCLog("Headless mode stops on signal %d", signal);
        core.requestStop();
        QCoreApplication::exit(0);
    });
    QString error;
    if (!core.start(&error) || !core.startToMonitor(&error)) return fail(error, 2);
    // So that the stream's first pictures already show the camera as the user set it up.
    if (core.waitForCamera(kCameraWait)) core.waitForStoredSettings(kSettingsWait);
    if (core.stopRequested()) return 0;

    if (!core.startStreaming(&error))
        return fail(QStringLiteral("cannot serve the stream: %1 (another port: --port N)").arg(error));
    printAddress(*core.server());
    DCLog("Headless mode serves %s", qUtf8Printable(core.server()->address()));
    // A signal that came before the loop runs has already asked for the stop.
    return core.stopRequested() ? 0 : QCoreApplication::exec();
}
