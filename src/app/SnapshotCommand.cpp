#include "SnapshotCommand.h"

#include <cstdio>
#include <optional>

#include <QCoreApplication>
#include <QUrl>

#include "AppCore.h"
#include "CommandLine.h"
#include "StopSignals.h"
#include "capture/DCCaptureViewController.h"
#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCNetCamera.h"
#include "photos/DCActionController.h"

namespace {

int fail(const QString &why, int status = 1) {
    std::fprintf(stderr, "korva-lectern: %s\n", qUtf8Printable(why));
    return status;
}

// The outcome of the one photo: its path once announced, or empty when it could not be saved.
class PhotoOutcome {
public:
    PhotoOutcome() {
        observers_.add(DCNote::DCFileDidCreateNotification, [this](const DCNotification &n) {
            path_ = n.object.toMap().value(DCKey::FileURL).toUrl().toLocalFile();
        });
        observers_.add(DCNote::DCCaptureDidInvalidateTimerNotification,
                       [this](const DCNotification &) { finished_ = true; });
    }
    bool finished() const { return finished_; }
    QString path() const { return path_; }

private:
    // Both notifications are posted on the main thread, where this waits.
    QString path_;
    bool finished_ = false;
    DCObserverSet observers_;
};

int takePhoto(AppCore &core, const CommandLine &cl) {
    QString error;
    if (!core.start(&error) || !core.startToMonitor(&error)) return fail(error, 2);
    DCActionController &actions = *core.actions();

    const DCCameraPtr camera = core.waitForCamera(SnapshotCommand::kCameraWait);
    if (core.stopRequested()) return fail(QStringLiteral("stopped before the photo was taken"));
    if (!camera) return fail(QStringLiteral("no camera found"));
    if (!core.waitForStoredSettings(SnapshotCommand::kCameraWait) && !core.stopRequested())
        DCLog("The stored settings of %s were not applied in time", qUtf8Printable(camera->model()));
    if (!core.waitForFirstFrame(SnapshotCommand::kFrameWait)) {
        if (core.stopRequested()) return fail(QStringLiteral("stopped before the photo was taken"));
        return fail(QStringLiteral("no picture from %1 within %2 seconds")
                        .arg(camera->model())
                        .arg(SnapshotCommand::kFrameWait.count() / 1000));
    }

    // The first frames of a USB camera may still come at the size the device had before the stored
    // one was chosen. A network camera's pictures have the size its server sends.
    const QSize selected = core.capture()->resolution();
    const auto atSelectedSize = [&] {
        const FramePointer image = actions.currentImage();
        return image && image->pixelSize() == selected;
    };
    const bool sizeIsOurs = !std::dynamic_pointer_cast<DCNetCamera>(camera);
    if (sizeIsOurs && !core.spinUntil(atSelectedSize, SnapshotCommand::kFrameWait) && !core.stopRequested())
        DCLog("No picture at the selected %dx%d yet; the photo has the size of the last one",
              selected.width(), selected.height());
    if (core.stopRequested()) return fail(QStringLiteral("stopped before the photo was taken"));

    const int delay = cl.timer.value_or(0);
    PhotoOutcome outcome;
    auto &center = DCNotificationCenter::defaultCenter();
    // The toolbar's timer choice, then the snapshot button.
    center.postNotificationName(DCNote::DCDeviceCacheWillUpdateTimerNotification, {},
                                {{DCKey::DevTimerValue, delay}});
    center.postNotificationName(DCNote::DCNotificationSnapshot);
    const bool finished = core.spinUntil([&] { return outcome.finished(); },
                                         std::chrono::seconds(delay) + SnapshotCommand::kWriteWait);
    actions.waitUntilSnapshotsAreWritten();
    QCoreApplication::processEvents(); // the announcement of a photo written meanwhile
    if (!finished && core.stopRequested() && outcome.path().isEmpty())
        return fail(QStringLiteral("stopped before the photo was taken"));
    if (!finished && outcome.path().isEmpty())
        return fail(QStringLiteral("the photo was not written in time"));
    if (outcome.path().isEmpty()) return fail(QStringLiteral("the photo could not be saved (see the log)"));
    std::printf("%s\n", qUtf8Printable(outcome.path()));
    return 0;
}

AppCore::Options optionsOf(const CommandLine &cl) {
    AppCore::Options options;
    options.demoModels = cl.demoModels;
    options.streamUrls = cl.streamUrls;
    options.demoWhenNoCamera = cl.demoWhenNoCamera;
    options.actions = true;
    options.streaming = AppCore::Streaming::Off;
    return options;
}

} // namespace

int SnapshotCommand::run(const CommandLine &cl) {
    AppCore core(optionsOf(cl));
    StopSignals stopSignals([&core](int signal) {
        DCLog("The snapshot stops on signal %d", signal);
        core.requestStop();
    });
    return takePhoto(core, cl);
}
