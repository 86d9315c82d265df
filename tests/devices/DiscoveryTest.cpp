// USB discovery through the simulated bus: the same properties, settle and product table as udev
// arrivals, and the current camera's changes as observers see them.
#include <chrono>
#include <memory>

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include "DiscoveryFixture.h"
#include "devices/DCCameraKite_1.h"
#include "devices/DCCameraKorva.h"
#include "devices/DCCameraOrb.h"
#include "devices/DCCameraOrb_R.h"
#include "devices/DCCameraWren.h"
#include "devices/DCCameraWrenHD.h"
#include "devices/DCProductTable.h"
#include "devices/DCUVCCamera.h"
#include "devices/sim/SimCamera.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

const uint32_t kPort1 = SimUsbBus::locationOfPort(1);
const uint32_t kPort2 = SimUsbBus::locationOfPort(2);

std::shared_ptr<DCUVCCamera> usbAt(DCCamerasController &controller, uint32_t location) {
    for (const auto &camera : controller.usbCameras())
        if (camera->locationId() == location) return camera;
    return nullptr;
}

template <class Camera> bool isA(const DCCameraPtr &camera) {
    return bool(std::dynamic_pointer_cast<Camera>(camera));
}

} // namespace

TEST(Discovery, StartingPostsTheFirstChangeFromNoneToNoneOnTheCallingThread) {
    CameraNotes notes;
    DiscoveryRig rig;
    rig.start();
    const auto seen = notes.notes();
    ASSERT_EQ(notes.names(), QStringList({DCNote::DCCameraWillChange, DCNote::DCCameraDidChange}));
    EXPECT_TRUE(seen[0].userInfo.isEmpty());
    EXPECT_TRUE(seen[1].userInfo.isEmpty());
    EXPECT_FALSE(seen[0].object.isValid());
    EXPECT_EQ(seen[1].object.value<DCCamerasController *>(), rig.controller.get());
    EXPECT_EQ(rig.controller->currentCamera(), nullptr);
    // A second start does nothing.
    rig.controller->startToMonitor();
    EXPECT_EQ(notes.notes().size(), 2u);
}

TEST(Discovery, ASecondCameraBecomesCurrentAndUnpluggingItMakesTheFirstCurrentAgain) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    CameraNotes notes;

    rig.bus->plug({DCProductTable::kVendorId, 516, kPort1, 0x0100});
    controller.waitUntilSettled();
    const auto orb = usbAt(controller, kPort1);
    ASSERT_TRUE(std::dynamic_pointer_cast<DCCameraOrb>(orb));
    EXPECT_EQ(controller.currentCamera(), orb);
    EXPECT_TRUE(orb->active());

    rig.bus->plug({DCProductTable::kVendorId, 518, kPort2, 0x0100});
    controller.waitUntilSettled();
    const auto wrenHD = usbAt(controller, kPort2);
    ASSERT_TRUE(std::dynamic_pointer_cast<DCCameraWrenHD>(wrenHD));
    EXPECT_EQ(controller.currentCamera(), wrenHD);
    EXPECT_TRUE(wrenHD->active());
    EXPECT_FALSE(orb->active());
    EXPECT_EQ(controller.availableCameras(), QList<DCCameraPtr>({orb, wrenHD}));

    notes.clear();
    std::weak_ptr<DCUVCCamera> gone = wrenHD;
    rig.bus->unplug(kPort2);
    controller.waitUntilSettled();
    EXPECT_EQ(controller.currentCamera(), orb);
    EXPECT_TRUE(orb->active());
    EXPECT_FALSE(wrenHD->active());
    EXPECT_EQ(controller.availableCameras(), QList<DCCameraPtr>({orb}));
    ASSERT_EQ(notes.names(), QStringList({DCNote::DCCameraWillChange, DCNote::DCCameraDidChange,
                                          DCNote::DCCameraDidRemove}));
    EXPECT_EQ(cameraIn(notes.notes()[0].userInfo, DCKey::OriginalCamera), wrenHD);
    EXPECT_EQ(cameraIn(notes.notes()[0].userInfo, DCKey::NewCamera), orb);
    notes.clear(); // the notes held the camera too
    EXPECT_TRUE(rig.bus->devices().size() == 1);
    // What the camera posted to the main thread holds it until delivered.
    waitUntil([&] { return wrenHD.use_count() == 1; }, 2s);
    EXPECT_EQ(wrenHD.use_count(), 1) << "only this test still holds the unplugged camera";
}

TEST(Discovery, UnpluggingTheOnlyCameraAnnouncesTheChangeToNoneThenTheRemoval) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    rig.bus->plugCamera(517);
    controller.waitUntilSettled();
    std::weak_ptr<DCCamera> wren = controller.currentCamera();
    ASSERT_TRUE(std::dynamic_pointer_cast<DCCameraWren>(wren.lock()));

    CameraNotes notes;
    rig.bus->unplug(kPort1);
    controller.waitUntilSettled();
    {
        const auto seen = notes.notes();
        ASSERT_EQ(notes.names(), QStringList({DCNote::DCCameraWillChange, DCNote::DCCameraDidChange,
                                              DCNote::DCCameraDidRemove}));
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(seen[i].userInfo.keys(), QStringList({DCKey::OriginalCamera}));
            EXPECT_EQ(cameraIn(seen[i].userInfo, DCKey::OriginalCamera), wren.lock());
        }
        EXPECT_EQ(seen[2].object.value<DCCamerasController *>(), &controller);
    }
    EXPECT_EQ(controller.currentCamera(), nullptr);
    EXPECT_TRUE(controller.availableCameras().isEmpty());
    notes.clear();
    EXPECT_TRUE(waitUntil([&] { return wren.expired(); }, 2s));
}

TEST(Discovery, DevicesOfAnotherVendorOrAnUnknownProductAreLoggedAndIgnoredAfterTheSettle) {
    LogCapture log;
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    rig.bus->plug({0x046d, 0x0825, kPort1, 0x0012});
    rig.bus->plug({DCProductTable::kVendorId, 522, kPort2, 0x0100});
    controller.waitUntilSettled();
    EXPECT_TRUE(log.contains(
        QStringLiteral("Got a device: vendor 0x046d, product 0x0825, version 0x0012, location 0x7e100000")));
    EXPECT_TRUE(log.contains(
        QStringLiteral("Got a device: vendor 0x1778, product 0x020a, version 0x0100, location 0x7e200000")));
    EXPECT_EQ(rig.recordedSleeps(), std::vector<std::chrono::milliseconds>({500ms, 500ms}));
    EXPECT_FALSE(log.contains(QStringLiteral("Found ")));
    EXPECT_TRUE(controller.usbCameras().empty());
    EXPECT_EQ(controller.currentCamera(), nullptr);
}

TEST(Discovery, TheProductTableNamesEachModelAndIgnoresTheGaps) {
    struct Case {
        uint32_t product;
        const char *line;
        bool (*is)(const DCCameraPtr &);
    };
    const auto orb = isA<DCCameraOrb>, wren = isA<DCCameraWren>, wrenHD = isA<DCCameraWrenHD>;
    const auto kite = isA<DCCameraKite_1>, orbR = isA<DCCameraOrb_R>;
    const Case cases[] = {
        {516, "Found Orb", orb},        {517, "Found Wren", wren},      {518, "Found Wren-HD", wrenHD},
        {528, "Found Wren-HD", wrenHD}, {534, "Found Wren-HD", wrenHD}, {519, "Found Kite-1", kite},
        {529, "Found Kite-1", kite},    {533, "Found Kite-1", kite},    {520, "Found Orb-R", orbR},
        {521, "Found Orb-R", orbR},     {532, "Found Orb-R", orbR}};
    for (const Case &c : cases) {
        const auto product = DCProductTable::lookup(DCProductTable::kVendorId, c.product);
        ASSERT_TRUE(product) << c.product;
        EXPECT_STREQ(product->logLine, c.line);
        EXPECT_TRUE(c.is(product->camera())) << c.product;
    }
    for (uint32_t unknown : {0u, 515u, 522u, 523u, 524u, 525u, 526u, 527u, 530u, 531u, 535u, 0x10204u})
        EXPECT_FALSE(DCProductTable::lookup(DCProductTable::kVendorId, unknown)) << unknown;
    EXPECT_FALSE(DCProductTable::lookup(0x1779, 516));
}

TEST(Discovery, TheCameraGetsTheDevicesRealProductIdAndIsPreparedOnTheDeviceThread) {
    LogCapture log;
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    rig.bus->plug({DCProductTable::kVendorId, 534, kPort1, 0x0203});
    controller.waitUntilSettled();
    const auto camera = usbAt(controller, kPort1);
    ASSERT_TRUE(std::dynamic_pointer_cast<DCCameraWrenHD>(camera));
    EXPECT_EQ(camera->productId(), 534u);
    EXPECT_EQ(camera->captureDeviceLocationId(), QStringLiteral("0x7e10000017780216"));
    EXPECT_TRUE(log.contains(QStringLiteral("Found Wren-HD")));
    EXPECT_TRUE(log.contains(QStringLiteral("Korva Wren-HD")));
}

TEST(Discovery, ADeviceThatVanishesDuringPreparationIsAddedPartlySetUpThenRemoved) {
    LogCapture log;
    DiscoveryRig rig;
    // The device goes away while it settles, before it is prepared.
    rig.sleep = [&rig](std::chrono::milliseconds) { rig.bus->unplug(kPort1); };
    DCCamerasController &controller = rig.start();
    std::weak_ptr<DCCamera> added;
    CameraNotes notes;
    DCObserverSet observers;
    observers.add(DCNote::DCCameraDidAdd,
                  [&](const DCNotification &) { added = controller.currentCamera(); });
    rig.bus->plugCamera(519);
    controller.waitUntilSettled();
    controller.waitUntilSettled(); // the removal was queued while the arrival was handled
    EXPECT_EQ(notes.names(), QStringList({DCNote::DCCameraWillChange, DCNote::DCCameraDidChange,
                                          DCNote::DCCameraDidAdd, DCNote::DCCameraWillChange,
                                          DCNote::DCCameraDidChange, DCNote::DCCameraDidRemove}));
    EXPECT_TRUE(log.contains(QStringLiteral("Found Kite-1")));
    EXPECT_TRUE(log.contains(QStringLiteral("opening the video-control interface of")));
    EXPECT_TRUE(log.contains(QStringLiteral("opening the HID interface of")));
    EXPECT_TRUE(controller.usbCameras().empty());
    EXPECT_EQ(controller.currentCamera(), nullptr);
    notes.clear();
    EXPECT_TRUE(waitUntil([&] { return added.expired(); }, 2s));
}

TEST(Discovery, TheStatusTimerAsksTheCurrentCameraForItsStatus) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    rig.bus->plugCamera(518);
    controller.waitUntilSettled();
    const DCCameraPtr current = controller.currentCamera();
    ASSERT_TRUE(current);
    int reports = 0;
    DCObserverSet observers;
    observers.add(DCNote::DCNotificationReportExposure, [&](const DCNotification &n) {
        if (n.object.value<DCCameraPtr>() == current) ++reports;
    });
    // The Wren-HD announces its exposure on every tick, on the main thread.
    EXPECT_TRUE(waitUntil([&] { return reports >= 2; }, 10s));
}

TEST(Discovery, TheStatusTimerClaimsAHidInterfaceOnceAccessIsGranted) {
    DiscoveryRig rig;
    // No access yet when the camera is prepared, right after its settle.
    rig.sleep = [&rig](std::chrono::milliseconds) {
        for (const auto &device : rig.bus->devices())
            device->hid().refuseClaim(-EACCES);
    };
    DCCamerasController &controller = rig.start();
    const auto sim = rig.bus->plugCamera(518);
    controller.waitUntilSettled();
    const auto korva = std::dynamic_pointer_cast<DCCameraKorva>(controller.currentCamera());
    ASSERT_TRUE(korva);
    EXPECT_FALSE(korva->hidDeviceInterface());
    sim->hid().refuseClaim(0);
    EXPECT_TRUE(waitUntil([&] { return korva->hidDeviceInterface() != nullptr; }, 10s));
    EXPECT_TRUE(sim->hid().seized());
}

TEST(Discovery, ThePartsOfTheSettleAreReallySleptUnlessInjected) {
    DiscoveryRig rig;
    rig.sleep = nullptr; // the controller sleeps for real
    QElapsedTimer elapsed;
    elapsed.start();
    DCCamerasController &controller = rig.start();
    rig.bus->plug({0x046d, 0x0825, kPort1, 0x0012});
    rig.bus->plugCamera(516);
    controller.waitUntilSettled();
    EXPECT_GE(elapsed.elapsed(), 2 * DCCamerasController::kSettleTime.count());
    EXPECT_EQ(controller.usbCameras().size(), 1u);
}

TEST(Discovery, DestroyingTheControllerDetachesEveryCameraAndKeepsNone) {
    DiscoveryRig rig;
    rig.start();
    rig.bus->plugCamera(516);
    rig.bus->plugCamera(520);
    rig.controller->waitUntilSettled();
    std::vector<std::weak_ptr<DCUVCCamera>> cameras;
    for (const auto &camera : rig.controller->usbCameras())
        cameras.push_back(camera);
    ASSERT_EQ(cameras.size(), 2u);
    rig.controller.reset();
    for (const auto &camera : cameras)
        EXPECT_TRUE(waitUntil([&] { return camera.expired(); }, 2s));
}

TEST(Discovery, ACameraRemovedThroughTheQueueAndByUnpluggingIsRemovedOnce) {
    DiscoveryRig rig;
    DCCamerasController &controller = rig.start();
    rig.bus->plugCamera(516);
    rig.bus->plugCamera(517);
    controller.waitUntilSettled();
    const DCCameraPtr wren = controller.currentCamera();
    ASSERT_TRUE(std::dynamic_pointer_cast<DCCameraWren>(wren));
    CameraNotes notes;
    controller.removeCamera(wren);
    rig.bus->unplug(kPort2);
    controller.waitUntilSettled();
    controller.waitUntilSettled();
    EXPECT_EQ(notes.names().count(DCNote::DCCameraDidRemove), 1);
    EXPECT_EQ(controller.usbCameras().size(), 1u);
    EXPECT_NE(controller.currentCamera(), wren);
    EXPECT_TRUE(controller.currentCamera()->active());
}
