// Random plugging and unplugging while other threads read and choose cameras: the lists stay
// consistent and exactly one camera is current whenever any is there.
#include <atomic>
#include <random>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "DiscoveryFixture.h"
#include "devices/DCUVCCamera.h"
#include "devices/sim/SimCamera.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

TEST(DiscoveryStorm, TwoHundredPlugsAndUnplugsOfThreeCamerasEndConsistent) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();

    std::mutex seenMutex;
    std::vector<std::weak_ptr<DCCamera>> seen;
    DCObserverSet observers;
    observers.add(DCNote::DCCameraDidChange, [&](const DCNotification &n) {
        if (auto camera = cameraIn(n.userInfo, DCKey::NewCamera)) {
            std::lock_guard lock(seenMutex);
            seen.push_back(camera);
        }
    });

    // A reader that picks cameras as the user would while the storm goes on.
    std::atomic<bool> stop{false};
    std::thread chooser([&] {
        std::mt19937 random(7);
        for (int i = 0; i < 2000 && !stop.load(); ++i) {
            const QList<DCCameraPtr> cameras = controller.availableCameras();
            if (!cameras.isEmpty() && random() % 8 == 0)
                controller.setCurrentCamera(cameras[static_cast<int>(random() % cameras.size())]);
            std::this_thread::yield();
        }
    });

    const uint32_t products[] = {516, 518, 519};
    const uint32_t ports[] = {SimUsbBus::locationOfPort(1), SimUsbBus::locationOfPort(2),
                              SimUsbBus::locationOfPort(3)};
    std::mt19937 random(2024);
    bool plugged[3] = {false, false, false};
    for (int i = 0; i < 200; ++i) {
        const size_t which = random() % 3;
        if (plugged[which]) {
            ASSERT_TRUE(rig.bus->unplug(ports[which]));
        } else {
            ASSERT_TRUE(rig.bus->plug({0x1778, products[which], ports[which], 0x0100}));
        }
        plugged[which] = !plugged[which];
        if (random() % 16 == 0) controller.waitUntilSettled();
    }
    stop = true;
    chooser.join();
    controller.waitUntilSettled();
    controller.waitUntilSettled();

    std::set<uint32_t> expected;
    for (size_t i = 0; i < 3; ++i)
        if (plugged[i]) expected.insert(ports[i]);
    std::set<uint32_t> listed;
    for (const auto &camera : controller.usbCameras()) {
        EXPECT_TRUE(listed.insert(camera->locationId()).second) << "listed twice";
    }
    EXPECT_EQ(listed, expected);

    {
        const DCCameraPtr current = controller.currentCamera();
        const QList<DCCameraPtr> available = controller.availableCameras();
        EXPECT_EQ(current == nullptr, available.isEmpty());
        if (current) {
            EXPECT_TRUE(available.contains(current));
        }
        int active = 0;
        for (const auto &camera : available)
            active += camera->active() ? 1 : 0;
        EXPECT_EQ(active, current ? 1 : 0);
    }

    // Nothing keeps a camera that is gone.
    observers.clear();
    rig.controller.reset();
    std::lock_guard lock(seenMutex);
    EXPECT_GT(seen.size(), 3u);
    for (const auto &camera : seen)
        EXPECT_TRUE(waitUntil([&] { return camera.expired(); }, 2s));
}
