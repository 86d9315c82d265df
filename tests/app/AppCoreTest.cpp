// The application core: what it makes, where the shared accessors find it, and that a stop leaves
// nothing running behind.
#include "app/AppCore.h"

#include <atomic>

#include <gtest/gtest.h>

#include "capture/DCCamSettingController.h"
#include "core/DCVocabulary.h"
#include "core/SharedInstance.h"
#include "dnssd/FakeDnsSdNetwork.h"
#include "dnssd/FakeDnsSdProvider.h"
#include "streaming/HTTPServer.h"
#include "streaming/JPEGCompressor.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

AppCore::Options demoOptions() {
    AppCore::Options options;
    options.demoModels = {QString()};
    options.streaming = AppCore::Streaming::On;
    options.port = 0;
    DCCamerasController::Dependencies cameras;
    cameras.dnsSdProvider = std::make_shared<FakeDnsSdProvider>(std::make_shared<FakeDnsSdNetwork>());
    options.cameraDependencies = cameras;
    return options;
}

bool anythingInstalled() {
    return SharedInstance<DCCamerasController>::get() || SharedInstance<DCCamSettingController>::get() ||
           SharedInstance<HTTPServer>::get() || SharedInstance<JPEGCompressor>::get() || AppCore::appCore();
}

} // namespace

TEST(AppCore, MakesAndInstallsTheProgramsObjectsAndStopsThemInReverseLeavingNothingRunning) {
    AppCore core(demoOptions());
    QString error;
    ASSERT_TRUE(core.start(&error)) << qPrintable(error);
    EXPECT_EQ(AppCore::appCore(), &core);
    EXPECT_EQ(&DCCamerasController::sharedController(), &core.cameras());
    EXPECT_EQ(&DCCamSettingController::sharedInstance(), &core.settings());
    EXPECT_EQ(&HTTPServer::sharedHTTPServer(), core.server());
    EXPECT_EQ(core.server()->state(), HTTPServer::Running);
    // Discovery waits for the front end.
    core.cameras().waitUntilSettled();
    EXPECT_TRUE(core.cameras().availableCameras().isEmpty());

    ASSERT_TRUE(core.startToMonitor(&error)) << qPrintable(error);
    ASSERT_TRUE(core.waitForCamera(10s));
    ASSERT_TRUE(core.waitForStoredSettings(10s));
    ASSERT_TRUE(core.waitForFirstFrame(10s));

    // The stream goes first, while the cameras it shows are still there.
    std::atomic<int> stopsWithCameras = 0, notesAfterTheStop = 0;
    std::atomic<bool> stopped = false;
    DCObserverSet observers;
    observers.add(DCNote::VideoStreamServerDidStop, [&](const DCNotification &) {
        if (SharedInstance<DCCamerasController>::get()) ++stopsWithCameras;
    });
    for (const QString &name : {DCNote::DCWillDisplayImage, DCNote::DCNotificationReportExposure,
                                DCNote::DCCameraDidChange, DCNote::ServerNotificationStateChanged})
        observers.add(name, [&](const DCNotification &) {
            if (stopped) ++notesAfterTheStop;
        });
    core.stop();
    stopped = true;
    EXPECT_EQ(stopsWithCameras, 1);
    EXPECT_FALSE(anythingInstalled());
    waitUntil([] { return false; }, 700ms); // longer than the camera status period
    EXPECT_EQ(notesAfterTheStop, 0);
    core.stop(); // once only
}

TEST(AppCore, AnUnusableDemoModelIsRefusedWithNothingLeftInstalled) {
    AppCore::Options options = demoOptions();
    options.demoModels = {QStringLiteral("Nonesuch")};
    AppCore core(options);
    QString error;
    EXPECT_FALSE(core.start(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("Nonesuch"))) << qPrintable(error);
    EXPECT_FALSE(anythingInstalled());
}

TEST(AppCore, TheKeepCameraSettingDecidesWhetherStoredSettingsAreRestored) {
    AppCore::Options options = demoOptions();
    options.streaming = AppCore::Streaming::Off;
    AppCore core(options);
    QString error;
    ASSERT_TRUE(core.start(&error)) << qPrintable(error);
    EXPECT_EQ(core.server(), nullptr);
    for (const int keep : {1, 0}) {
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCKeepCameraSetDidChangeNotification, {}, {{DCDefaults::KeepCameraSet, keep}});
        EXPECT_EQ(core.settings().restoreable(), keep == 0);
    }
}
