#include "capture/DCCaptureViewController.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "CaptureTestSources.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCCameraWrenHD.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

namespace {

struct RecordingAlerts : AlertPresenter {
    std::vector<QString> titles;
    void showAlert(const QString &title, const QString &, const QString &button) override {
        titles.push_back(title + "/" + button);
    }
};

// A controller over a scripted source, with time, sleeps and delayed work in the test's hands.
struct Rig {
    DCCameraPtr camera = DCCameraWrenHD::camera();
    std::shared_ptr<ScriptedSource::Counters> source = std::make_shared<ScriptedSource::Counters>();
    bool deviceThere = true;
    int searches = 0;
    std::vector<Ms> sleeps;
    std::chrono::steady_clock::time_point now{};
    std::vector<std::pair<Ms, std::function<void()>>> scheduled;
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::unique_ptr<DCCaptureViewController> controller;

    Rig() {
        DCCaptureViewController::Dependencies d;
        d.currentCamera = [this] { return camera; };
        d.findDevice = [this](const DCCameraPtr &) -> std::unique_ptr<CaptureSource> {
            ++searches;
            if (!deviceThere) return nullptr;
            return std::make_unique<ScriptedSource>(source);
        };
        d.sleep = [this](Ms time) {
            sleeps.push_back(time);
            now += time;
        };
        d.now = [this] { return now; };
        d.schedule = [this](Ms delay, std::function<void()> work) {
            scheduled.emplace_back(delay, std::move(work));
        };
        d.watchdogTimer = false;
        d.alerts = alerts;
        controller = std::make_unique<DCCaptureViewController>(std::move(d));
    }
    void runScheduled() {
        auto work = std::move(scheduled);
        scheduled.clear();
        for (auto &[delay, fn] : work)
            fn();
    }
};

struct PostedImages {
    std::mutex mutex;
    std::vector<FramePointer> images;
    std::vector<DCCaptureViewController *> objects;
    DCObserverSet observers;
    PostedImages() {
        observers.add(DCNote::DCWillDisplayImage, [this](const DCNotification &n) {
            std::lock_guard lock(mutex);
            images.push_back(n.userInfo.value(DCKey::Image).value<FramePointer>());
            objects.push_back(n.object.value<DCCaptureViewController *>());
        });
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return images.size();
    }
};

} // namespace

TEST(CaptureManipulation, IdentityReturnsTheVeryFrameAndZoomCropsTheCentre) {
    Rig rig;
    const auto frame = fakeFrame({1280, 960});
    EXPECT_EQ(rig.controller->manipulateImage(frame), frame);
    rig.controller->setZoom(2.0f);
    EXPECT_EQ(rig.controller->manipulateImage(frame)->transform().crop(), QRect(640, 480, 1280, 960));
    EXPECT_EQ(frame->transform().crop(), QRect(0, 0, 1280, 960)); // the input is untouched
}

TEST(CaptureManipulation, FocusNotStartedByUsShowsTheWholePictureUntilTwoSecondsAfter) {
    Rig rig;
    auto &center = DCNotificationCenter::defaultCenter();
    const auto frame = fakeFrame({1280, 960});
    rig.controller->setZoom(2.0f);

    center.postNotificationName(DCNote::DCNotificationCameraDidBeginAutoFocus);
    EXPECT_EQ(rig.controller->manipulateImage(frame), frame);
    center.postNotificationName(DCNote::DCNotificationCameraDidEndAutoFocus);
    EXPECT_EQ(rig.controller->manipulateImage(frame), frame); // still whole: the end is 2 s away
    ASSERT_EQ(rig.scheduled.size(), 1u);
    EXPECT_EQ(rig.scheduled[0].first, 2000ms);
    rig.runScheduled();
    EXPECT_NE(rig.controller->manipulateImage(frame), frame);

    // A cancel ends it at once.
    center.postNotificationName(DCNote::DCNotificationCameraDidBeginAutoFocus);
    center.postNotificationName(DCNote::DCNotificationCameraDidCancelAutoFocus);
    EXPECT_NE(rig.controller->manipulateImage(frame), frame);

    // A focus run the program started itself keeps the zoom.
    center.postNotificationName(DCNote::DCNotificationCameraWillBeginSelfAutoFocus);
    center.postNotificationName(DCNote::DCNotificationCameraDidBeginAutoFocus);
    EXPECT_EQ(rig.controller->manipulateImage(frame)->transform().crop(), QRect(640, 480, 1280, 960));
}

TEST(CaptureManipulation, ZoomChangeIsAnnouncedAndRecentresTheArea) {
    Rig rig;
    auto &center = DCNotificationCenter::defaultCenter();
    QVariantMap said;
    DCObserverSet observers;
    observers.add(DCNote::DCCameraModeZoomDidChange, [&](const DCNotification &n) { said = n.userInfo; });
    center.postNotificationName(DCNote::DCCameraModeZoomAreaChange, {},
                                {{DCKey::XOffset, 0.25f}, {QStringLiteral("y_offset"), 0.5f}});
    EXPECT_FLOAT_EQ(rig.controller->zoomXLocation(), 0.25f);
    EXPECT_FLOAT_EQ(rig.controller->zoomYLocation(), 0.5f);

    rig.controller->setZoom(3.0f);
    EXPECT_FLOAT_EQ(said.value(DCKey::Zoom).toFloat(), 3.0f);
    EXPECT_FLOAT_EQ(rig.controller->zoomXLocation(), -1.0f);
}

TEST(CaptureFrameHook, PostsEachFrameCountsItAndKeepsItUnlessASnapshotIsShown) {
    Rig rig;
    PostedImages posted;
    rig.controller->start();
    const auto frame = fakeFrame({640, 480});
    rig.source->deliver(frame);
    rig.source->deliver(frame);
    ASSERT_EQ(posted.count(), 2u);
    EXPECT_EQ(posted.images[0], frame);
    EXPECT_EQ(posted.objects[0], rig.controller.get());
    EXPECT_EQ(rig.controller->frameCount(), 2u);
    EXPECT_EQ(rig.controller->lastestImage(), frame);

    const auto snapshot = fakeFrame({640, 480});
    rig.controller->setSnapshotImage(snapshot);
    EXPECT_EQ(rig.controller->willDisplayImage(frame), snapshot);
    EXPECT_EQ(posted.count(), 2u);
    EXPECT_EQ(rig.controller->frameCount(), 2u);
}

TEST(CaptureSession, DeviceSearchGivesUpAfterFiveRoundsWithoutAWatchdog) {
    Rig rig;
    rig.deviceThere = false;
    LogCapture log;
    rig.controller->start();
    EXPECT_EQ(rig.searches, 5);
    EXPECT_EQ(rig.sleeps, std::vector<Ms>(5, 1000ms));
    EXPECT_EQ(log.messages().filter("Not found. Wait 1 sec and try again.").size(), 5);
    EXPECT_TRUE(log.contains("No available device"));
    EXPECT_FALSE(rig.controller->isSessionRunning());
    EXPECT_FALSE(rig.controller->isWatchdogRunning());
}

TEST(CaptureSession, OpenIsRetriedEveryThreeTenthsForThreeSecondsThenAlerts) {
    {
        Rig rig;
        rig.source->failOpens = 2;
        rig.controller->start();
        EXPECT_EQ(rig.sleeps, (std::vector<Ms>{300ms, 300ms}));
        EXPECT_TRUE(rig.controller->isSessionRunning());
        EXPECT_EQ(rig.source->sizes, std::vector<QSize>{QSize(1280, 960)});
    }
    Rig rig;
    rig.source->failOpens = 1000;
    LogCapture log;
    rig.controller->start();
    EXPECT_EQ(rig.sleeps.size(), 11u); // 10 waits reach 3.0 s; the 11th passes it
    EXPECT_TRUE(log.contains("Can not open device."));
    EXPECT_TRUE(waitUntil([&] { return !rig.alerts->titles.empty(); }));
    EXPECT_EQ(rig.alerts->titles[0], "busy/OK");
    EXPECT_FALSE(rig.controller->isSessionRunning());
}

TEST(CaptureSession, WatchdogRestartsAFrozenSourceEveryPeriodUntilFramesReturn) {
    Rig rig;
    LogCapture log;
    rig.controller->start();
    ASSERT_TRUE(rig.controller->isWatchdogRunning());
    const auto frame = fakeFrame({640, 480});
    rig.source->deliver(frame);
    rig.controller->watchdogProc(); // alive
    EXPECT_EQ(rig.source->starts, 1);

    rig.controller->watchdogProc(); // frozen
    rig.controller->watchdogProc(); // still frozen
    EXPECT_EQ(rig.source->starts, 3);
    EXPECT_EQ(rig.source->stops, 2);
    EXPECT_EQ(log.messages().filter("video freezed!").size(), 2);

    rig.source->deliver(frame); // the restarted source delivers again
    rig.controller->watchdogProc();
    rig.source->deliver(frame);
    rig.controller->watchdogProc();
    EXPECT_EQ(rig.source->starts, 3);

    rig.controller->stop();
    rig.controller->watchdogProc();
    EXPECT_EQ(rig.source->starts, 3);
    EXPECT_FALSE(rig.controller->isWatchdogRunning());
}

TEST(CaptureSession, PauseResumeRestartAndResolution) {
    Rig rig;
    rig.controller->start();
    rig.controller->pause();
    EXPECT_FALSE(rig.controller->isSessionRunning());
    rig.controller->setResolution({640, 480}); // kept for the next start
    rig.controller->resume();
    EXPECT_TRUE(rig.controller->isSessionRunning());
    rig.controller->setResolution({1600, 1200}); // applied at once while streaming
    EXPECT_EQ(rig.source->sizes, (std::vector<QSize>{{1280, 960}, {640, 480}, {1600, 1200}}));

    rig.controller->restart();
    EXPECT_FALSE(rig.controller->isSessionRunning());
    ASSERT_EQ(rig.scheduled.size(), 1u);
    EXPECT_EQ(rig.scheduled[0].first, 1000ms);
    rig.runScheduled();
    EXPECT_TRUE(rig.controller->isSessionRunning());
}

TEST(CaptureSession, CameraChangeStopsOnTheMainThreadWhileThePosterWaits) {
    Rig rig;
    rig.controller->start();
    std::atomic<bool> stoppedBeforeReturn{false};
    std::atomic<bool> done{false};
    std::thread poster([&] {
        DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCCameraWillChange);
        stoppedBeforeReturn = rig.source->stops.load() == 1;
        done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done.load(); }));
    poster.join();
    EXPECT_TRUE(stoppedBeforeReturn);

    // The change done, a stopped controller starts again.
    rig.controller->stop();
    std::thread other(
        [] { DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCCameraDidChange); });
    other.join();
    EXPECT_TRUE(rig.controller->isSessionRunning());

    // The program stops while a camera change waits for the main thread: the waiter is released, and
    // the stop it had asked for finds the controller gone. (Before, both waited for each other.)
    done = false;
    std::thread late([&] {
        DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCCameraWillChange);
        done = true;
    });
    std::this_thread::sleep_for(50ms); // into the wait, most of the time
    rig.controller.reset();
    late.join();
    EXPECT_TRUE(done);
    QCoreApplication::processEvents();
}
