#include "SnapshotCommand.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include <QUrl>

#include "CommandLine.h"
#include "LiveSession.h"
#include "capture/DCCaptureViewController.h"
#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/FirstRunDefaults.h"
#include "core/UserDefaults.h"
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

int takePhoto(const CommandLine &cl) {
    LiveSession session;
    QString error;
    if (!session.start(cl, &error)) return fail(error, 2);
    FirstRunDefaults::setAppDefault(UserDefaults::standardUserDefaults());
    // Made before the first frame arrives, so it keeps the newest one as the window's would.
    DCActionController actions;

    const DCCameraPtr camera = session.waitForCamera(SnapshotCommand::kCameraWait);
    if (!camera) return fail(QStringLiteral("no camera found"));
    if (!session.waitForStoredSettings(SnapshotCommand::kCameraWait))
        DCLog("The stored settings of %s were not applied in time", qUtf8Printable(camera->model()));
    if (!session.waitForFirstFrame(SnapshotCommand::kFrameWait))
        return fail(QStringLiteral("no picture from %1 within %2 seconds")
                        .arg(camera->model())
                        .arg(SnapshotCommand::kFrameWait.count() / 1000));

    // The first frames of a USB camera may still come at the size the device had before the stored
    // one was chosen. A network camera's pictures have the size its server sends.
    const QSize selected = session.capture().resolution();
    const auto atSelectedSize = [&] {
        const FramePointer image = actions.currentImage();
        return image && image->pixelSize() == selected;
    };
    const bool sizeIsOurs = !std::dynamic_pointer_cast<DCNetCamera>(camera);
    if (sizeIsOurs && !LiveSession::spinUntil(atSelectedSize, SnapshotCommand::kFrameWait))
        DCLog("No picture at the selected %dx%d yet; the photo has the size of the last one",
              selected.width(), selected.height());

    const int delay = cl.timer.value_or(0);
    PhotoOutcome outcome;
    auto &center = DCNotificationCenter::defaultCenter();
    // The toolbar's timer choice, then the snapshot button.
    center.postNotificationName(DCNote::DCDeviceCacheWillUpdateTimerNotification, {},
                                {{DCKey::DevTimerValue, delay}});
    center.postNotificationName(DCNote::DCNotificationSnapshot);
    const bool finished = LiveSession::spinUntil([&] { return outcome.finished(); },
                                                 std::chrono::seconds(delay) + SnapshotCommand::kWriteWait);
    actions.waitUntilSnapshotsAreWritten();
    if (!finished) return fail(QStringLiteral("the photo was not written in time"));
    if (outcome.path().isEmpty()) return fail(QStringLiteral("the photo could not be saved (see the log)"));
    std::printf("%s\n", qUtf8Printable(outcome.path()));
    return 0;
}

} // namespace

int SnapshotCommand::run(const CommandLine &cl) {
    const int status = takePhoto(cl);
    // The shared camera controller's device thread serves until the process ends and is never
    // stopped, so the process leaves without running static destructors under it. The photo and the
    // user defaults are on disk by now (the action controller finished its queue).
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
