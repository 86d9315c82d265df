#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <linux/videodev2.h>

#include <QDir>

#include <gtest/gtest.h>

#include "devices/DCUVCCamera.h"
#include "devices/UvcControlTable.h"
#include "devices/V4L2ControlMap.h"
#include "devices/V4L2UsbDevice.h"
#include "devices/V4L2UvcTransport.h"
#include "support/TestSupport.h"

using V4L2ControlMap::Encoding;

TEST(V4L2ControlMap, EveryTableRowHasItsControl) {
    struct Row {
        int index;
        uint32_t cid;
        Encoding encoding;
    };
    const Row expected[] = {
        {UvcControlTable::kBrightness, V4L2_CID_BRIGHTNESS, Encoding::Plain},
        {UvcControlTable::kContrast, V4L2_CID_CONTRAST, Encoding::Plain},
        {UvcControlTable::kHue, V4L2_CID_HUE, Encoding::Plain},
        {UvcControlTable::kSaturation, V4L2_CID_SATURATION, Encoding::Plain},
        {UvcControlTable::kSharpness, V4L2_CID_SHARPNESS, Encoding::Plain},
        {UvcControlTable::kGamma, V4L2_CID_GAMMA, Encoding::Plain},
        {UvcControlTable::kWhiteBalanceTemperature, V4L2_CID_WHITE_BALANCE_TEMPERATURE, Encoding::Plain},
        {UvcControlTable::kWhiteBalanceAuto, V4L2_CID_AUTO_WHITE_BALANCE, Encoding::Plain},
        {UvcControlTable::kPowerLineFrequency, V4L2_CID_POWER_LINE_FREQUENCY, Encoding::Plain},
        {UvcControlTable::kBacklightCompensation, V4L2_CID_BACKLIGHT_COMPENSATION, Encoding::Plain},
        {UvcControlTable::kAutoExposureMode, V4L2_CID_EXPOSURE_AUTO, Encoding::AEModeBitmap},
        {UvcControlTable::kIris, V4L2_CID_IRIS_ABSOLUTE, Encoding::Plain},
        {UvcControlTable::kFocus, V4L2_CID_FOCUS_ABSOLUTE, Encoding::Plain},
        {UvcControlTable::kFocusAuto, V4L2_CID_FOCUS_AUTO, Encoding::Plain},
    };
    ASSERT_EQ(std::size(expected), UvcControlTable::rows().size());
    for (const Row &r : expected) {
        const auto control = UvcControlTable::row(r.index);
        ASSERT_TRUE(control);
        const auto mapping = V4L2ControlMap::find(control->entity, control->selector);
        ASSERT_TRUE(mapping) << control->name;
        EXPECT_EQ(mapping->cid, r.cid) << control->name;
        EXPECT_EQ(mapping->encoding, r.encoding) << control->name;
    }
    // Same selector on the other entity is another control, or none.
    EXPECT_FALSE(V4L2ControlMap::find(UvcControlTable::kCameraTerminal, 0x0A));
    EXPECT_FALSE(V4L2ControlMap::find(2, 0x02));
}

TEST(V4L2ControlMap, ValueEncodingsFollowTheRequestSize) {
    const V4L2ControlMap::Mapping plain{V4L2_CID_BRIGHTNESS, Encoding::Plain};
    const auto encoded = [&](int32_t value, size_t size) {
        std::vector<uint8_t> out(size);
        V4L2ControlMap::encode(plain, value, out);
        return out;
    };
    EXPECT_EQ(encoded(-2, 2), (std::vector<uint8_t>{0xFE, 0xFF}));
    EXPECT_EQ(encoded(6500, 2), (std::vector<uint8_t>{0x64, 0x19}));
    EXPECT_EQ(encoded(2, 1), std::vector<uint8_t>{2});

    const uint8_t minusTwo[] = {0xFE, 0xFF};
    EXPECT_EQ(V4L2ControlMap::decode(plain, minusTwo, true), -2);
    EXPECT_EQ(V4L2ControlMap::decode(plain, minusTwo, false), 0xFFFE); // a range without negatives
    const uint8_t focusAuto[] = {0x01, 0x00};
    EXPECT_EQ(V4L2ControlMap::decode(plain, focusAuto, false), 1);
    EXPECT_FALSE(V4L2ControlMap::decode(plain, {}, false));
}

TEST(V4L2ControlMap, AutoExposureBitmapAndMenuBothWays) {
    const V4L2ControlMap::Mapping ae{V4L2_CID_EXPOSURE_AUTO, Encoding::AEModeBitmap};
    const std::pair<uint8_t, int32_t> pairs[] = {{1, V4L2_EXPOSURE_MANUAL},
                                                 {2, V4L2_EXPOSURE_AUTO},
                                                 {4, V4L2_EXPOSURE_SHUTTER_PRIORITY},
                                                 {8, V4L2_EXPOSURE_APERTURE_PRIORITY}};
    for (const auto &[bitmap, menu] : pairs) {
        uint8_t out[1];
        V4L2ControlMap::encode(ae, menu, out);
        EXPECT_EQ(out[0], bitmap);
        const uint8_t in[] = {bitmap};
        EXPECT_EQ(V4L2ControlMap::decode(ae, in, false), menu);
    }
    const uint8_t bad[] = {3};
    EXPECT_FALSE(V4L2ControlMap::decode(ae, bad, false));
}

TEST(V4L2Transport, AMissingNodeLeavesTheCameraAnsweringNotAvailable) {
    LogCapture log;
    const auto camera = DCUVCCamera::camera();
    camera->prepareToWorkWithDevice(std::make_shared<V4L2UsbDevice>(QStringLiteral("/nonexistent/video0")));
    EXPECT_EQ(camera->capabilities(), 0x0Fu);
    EXPECT_EQ(camera->brightness(), DCCamera::kNotAvailable);
    EXPECT_FALSE(camera->setBrightness(1));
    EXPECT_TRUE(
        log.contains(QStringLiteral("opening the video-control interface of /nonexistent/video0 failed")));
    EXPECT_TRUE(log.contains(QStringLiteral("streamControlInterface not initialized, please waiting")));
    int error = 0;
    EXPECT_FALSE(V4L2UvcTransport::open(QStringLiteral("/nonexistent/video0"), &error));
    EXPECT_EQ(error, -ENOENT);
}

TEST(V4L2Transport, ADeadDescriptorFailsEveryRequestWithALogLine) {
    // A descriptor that no longer works, as after the node went away.
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const int dead = ::dup(fd);
    ::close(fd);
    auto transport = std::make_shared<V4L2UvcTransport>(dead);
    ::close(dead); // the transport's descriptor is gone now; its own close later just fails
    const auto camera = DCUVCCamera::camera();
    camera->setStreamControlInterface(transport);
    LogCapture log;
    EXPECT_EQ(camera->brightness(), DCCamera::kNotAvailable);
    EXPECT_EQ(camera->focusMax(), DCCamera::kNotAvailable);
    EXPECT_EQ(camera->frequency(), DCCamera::kNotAvailable);
    EXPECT_FALSE(camera->setGamma(100));
    EXPECT_FALSE(camera->setResolution(30, 640, 480));
    EXPECT_TRUE(log.contains(QStringLiteral("ControlRequestTO failed:")));
    EXPECT_FALSE(transport->canCapture());
}

TEST(V4L2Transport, ANodeThatIsNoCameraFailsLikeAStall) {
    int error = 0;
    auto transport = V4L2UvcTransport::open(QStringLiteral("/dev/null"), &error);
    ASSERT_TRUE(transport);
    EXPECT_FALSE(transport->canCapture());
    std::array<uint8_t, 2> data{};
    const auto setup = UvcRequest::makeSetupPacket(UvcRequest::GET_CUR, 0x02, 0x0300, 2);
    EXPECT_LT(transport->controlRequest(setup, data, std::chrono::milliseconds(100)), 0);
    // An unmapped control never reaches the node.
    const auto unmapped = UvcRequest::makeSetupPacket(UvcRequest::GET_CUR, 0x0F, 0x0300, 2);
    EXPECT_EQ(transport->controlRequest(unmapped, data, std::chrono::milliseconds(100)), -EPIPE);
    // A buffer shorter than wLength is refused before any ioctl.
    const auto tooLong = UvcRequest::makeSetupPacket(UvcRequest::GET_CUR, 0x02, 0x0300, 4);
    EXPECT_EQ(transport->controlRequest(tooLong, data, std::chrono::milliseconds(100)), -EINVAL);
}

TEST(V4L2Transport, ARealCaptureNodeAnswersWithinItsRanges) {
    const QString node = V4L2UsbDevice::firstCaptureNode();
    if (node.isEmpty()) GTEST_SKIP() << "no video capture node on this machine";
    LogCapture log;
    const auto camera = DCUVCCamera::camera();
    camera->prepareToWorkWithDevice(std::make_shared<V4L2UsbDevice>(node));
    ASSERT_NE(camera->streamControlInterface(), nullptr);
    const int32_t value = camera->brightness();
    const int32_t min = camera->brightnessMin();
    const int32_t max = camera->brightnessMax();
    if (value != DCCamera::kNotAvailable && min != DCCamera::kNotAvailable &&
        max != DCCamera::kNotAvailable) {
        EXPECT_LE(min, value);
        EXPECT_LE(value, max);
        EXPECT_TRUE(camera->setBrightness(value)); // writing the current value back changes nothing
    }
    EXPECT_TRUE(camera->getResolution());
    camera->prepareToDetatch();
}
