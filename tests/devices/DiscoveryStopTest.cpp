// The controller's end: stop() and the destructor, with cameras held past it and devices leaving
// while it stops. The ASan build runs these under LeakSanitizer.
#include <memory>
#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include "DiscoveryFixture.h"
#include "devices/DCCamera.h"
#include "devices/sim/SimCamera.h"
#include "support/TestSupport.h"

TEST(DiscoveryStop, ACameraHeldPastTheControllersEndKeepsNothingOfIt) {
    DiscoveryRig rig;
    rig.start();
    const auto sim = rig.bus->plugCamera(518);
    rig.controller->waitUntilSettled();
    DCCameraPtr camera = rig.controller->currentCamera();
    ASSERT_TRUE(camera);
    rig.controller.reset();
    EXPECT_FALSE(sim->hid().seized()); // the HID interface went back to its kernel driver
    EXPECT_FALSE(camera->active());
    // The last reference goes here, on this thread, after the device thread has ended.
    camera.reset();
}

namespace {

// The names of this process's threads.
QStringList threadNames() {
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly)) names << QString::fromUtf8(comm.readAll()).trimmed();
    }
    return names;
}

// True once no thread of a camera controller (its device thread, its operation queue) is left. A
// thread that has finished its work may take a moment to leave the process; the main thread's events
// are not served meanwhile.
bool controllerThreadsHaveEnded() {
    const auto any = [] {
        const QStringList names = threadNames();
        return names.contains(QStringLiteral("device thread")) ||
               !names.filter(QStringLiteral("camera operatio")).isEmpty();
    };
    for (int i = 0; i < 200 && any(); ++i)
        QThread::msleep(10);
    return !any();
}

} // namespace

TEST(DiscoveryStop, AStoppedControllerLeavesNoThreadAndNothingOfItRunsPostsOrLogsAfterwards) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    const auto sim = rig.bus->plugCamera(518);
    controller.waitUntilSettled();
    const DCCameraPtr camera = controller.currentCamera();
    ASSERT_TRUE(camera);
    CameraNotes notes;
    // Queued before the stop: it still runs.
    ASSERT_TRUE(controller.addStreamCamera(QUrl(QStringLiteral("http://192.0.2.1:8080/"))));
    // Status announcements already on their way to the main thread are dropped with the camera.
    QThread::msleep(2 * DCCamerasController::kStatusInterval.count());

    ASSERT_TRUE(threadNames().contains(QStringLiteral("device thread")));
    controller.stop();
    EXPECT_EQ(notes.names(), QStringList{DCNote::DCCameraDidAdd});
    EXPECT_FALSE(sim->hid().seized());
    EXPECT_FALSE(camera->active());
    EXPECT_TRUE(controller.availableCameras().isEmpty());
    EXPECT_EQ(controller.currentCamera(), nullptr);
    EXPECT_TRUE(controllerThreadsHaveEnded()) << threadNames().join(QLatin1Char(' ')).toStdString();

    notes.clear();
    int reports = 0;
    DCObserverSet observers;
    for (const QString &name : {DCNote::DCNotificationReportExposure, DCNote::DCNotificationReportFocusLength,
                                DCNote::DCNotificationReportFocusAuto, DCNote::DCNotificationSnapshot})
        observers.add(name, [&](const DCNotification &) { ++reports; });
    LogCapture log;
    controller.stop();
    controller.startToMonitor();
    controller.setCurrentCamera(camera);
    controller.removeCamera(camera);
    EXPECT_FALSE(controller.addStreamCamera(QUrl(QStringLiteral("http://192.0.2.1:8080/"))));
    controller.waitUntilSettled();
    rig.bus->plugCamera(516);
    sim->hid().injectEvent(0x0001);
    waitUntil([] { return false; }, 2 * DCCamerasController::kStatusInterval);
    EXPECT_TRUE(notes.names().isEmpty());
    EXPECT_EQ(reports, 0);
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(controllerThreadsHaveEnded()) << threadNames().join(QLatin1Char(' ')).toStdString();
}

TEST(DiscoveryStop, NeverStartedItStopsTooAndRunsWhatWasQueued) {
    DCCamerasController controller(DCCamerasController::Dependencies{});
    CameraNotes notes;
    ASSERT_TRUE(controller.addStreamCamera(QUrl(QStringLiteral("http://192.0.2.1:8080/"))));
    controller.stop();
    EXPECT_TRUE(notes.names().contains(DCNote::DCCameraDidAdd));
    EXPECT_TRUE(controller.availableCameras().isEmpty());
    controller.stop();
}

TEST(DiscoveryStop, CamerasVanishingWhileTheControllerStopsNeitherCrashNorHangIt) {
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        DiscoveryRig rig;
        DCCamerasController &controller = rig.start();
        std::vector<std::shared_ptr<SimCamera>> sims;
        for (uint32_t product : {516u, 517u, 518u})
            sims.push_back(rig.bus->plugCamera(product));
        // Half the rounds stop while the arrivals are still being handled.
        if (round % 2) controller.waitUntilSettled();
        std::thread unplugger([&] {
            for (uint32_t port = 1; port <= 3; ++port)
                rig.bus->unplug(SimUsbBus::locationOfPort(port));
        });
        controller.stop();
        unplugger.join();
        EXPECT_TRUE(controller.usbCameras().empty());
        for (const auto &sim : sims)
            EXPECT_FALSE(sim->hid().seized());
    }
}
