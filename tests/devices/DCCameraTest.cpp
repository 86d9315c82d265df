#include "devices/DCCamera.h"

#include <gtest/gtest.h>

#include "devices/DCNetCamera.h"
#include "devices/DCUVCCamera.h"

namespace {
// A class with a list of its own, as the camera models have.
class SixSizes : public DCUVCCamera {
    DC_RESOLUTION_CLASS_OPERATIONS
};
QStringList SixSizes::supportedResolutions() {
    return {QStringLiteral("{1600, 1200}"), QStringLiteral("{1280, 1024}"), QStringLiteral("{1024, 768}"),
            QStringLiteral("{800, 600}"),   QStringLiteral("{640, 480}"),   QStringLiteral("{320, 240}")};
}
QSizeF SixSizes::defaultResolution() {
    return {1024, 768};
}

class MissingDefault : public DCUVCCamera {
    DC_RESOLUTION_CLASS_OPERATIONS
};
QStringList MissingDefault::supportedResolutions() {
    return {QStringLiteral("{320, 240}")};
}
QSizeF MissingDefault::defaultResolution() {
    return {1, 1};
}
} // namespace

TEST(DCCameraResolutions, ClassOperationsWithoutAnInstanceAndInstancesAnswerForTheirClass) {
    EXPECT_TRUE(DCCamera::supportedResolutions().isEmpty());
    EXPECT_EQ(DCCamera::resolutionAtIndex(0), QSizeF(0, 0));
    EXPECT_EQ(DCCamera::indexOfResolution({640, 480}), DCCamera::kNotAvailable);
    EXPECT_EQ(DCCamera::indexOfDefaultResolution(), DCCamera::kNotAvailable);

    EXPECT_EQ(DCUVCCamera::supportedResolutions(), QStringList{QStringLiteral("{640, 480}")});
    EXPECT_EQ(DCUVCCamera::indexOfDefaultResolution(), 0);

    EXPECT_EQ(SixSizes::resolutionAtIndex(3), QSizeF(800, 600));
    EXPECT_EQ(SixSizes::indexOfResolution({320, 240}), 5);
    EXPECT_EQ(SixSizes::indexOfResolution({321, 240}), DCCamera::kNotAvailable);
    EXPECT_EQ(SixSizes::indexOfDefaultResolution(), 2);
    EXPECT_EQ(MissingDefault::indexOfDefaultResolution(), DCCamera::kNotAvailable);
    // Out-of-range indexes give the first size.
    for (const int32_t index : {-1, 6, 7, 1000, INT32_MIN, INT32_MAX})
        EXPECT_EQ(SixSizes::resolutionAtIndex(index), QSizeF(1600, 1200)) << index;
    EXPECT_EQ(DCUVCCamera::resolutionAtIndex(1), QSizeF(640, 480));

    // Instances answer for their own class.
    const DCCameraPtr camera = std::make_shared<SixSizes>();
    EXPECT_EQ(camera->classSupportedResolutions().size(), 6);
    EXPECT_EQ(camera->classResolutionAtIndex(1), QSizeF(1280, 1024));
    EXPECT_EQ(camera->classIndexOfDefaultResolution(), 2);
    const DCCameraPtr net = DCNetCamera::camera();
    EXPECT_TRUE(net->classSupportedResolutions().isEmpty());
    EXPECT_EQ(net->classIndexOfResolution({640, 480}), DCCamera::kNotAvailable);
}

TEST(DCCameraResolutions, SizeStringsRoundTripAndRejectGarbage) {
    EXPECT_EQ(DCResolutionList::stringFromSize({640, 480}), QStringLiteral("{640, 480}"));
    EXPECT_EQ(DCResolutionList::stringFromSize({640.5, 480}), QStringLiteral("{640.5, 480}"));
    EXPECT_EQ(DCResolutionList::sizeFromString(QStringLiteral("{1600, 1200}")), QSizeF(1600, 1200));
    for (const char *bad : {"", "{640 480}", "640, 480", "{a, b}", "{640, 480", "{1,2,3}"})
        EXPECT_EQ(DCResolutionList::sizeFromString(QString::fromLatin1(bad)), QSizeF(0, 0)) << bad;
}

TEST(DCNetCamera, NamedByItsServicesElseUnknown) {
    const auto camera = DCNetCamera::camera();
    EXPECT_EQ(camera->model(), QStringLiteral("Unknown"));
    DnsSdService stream, device;
    stream.name = QStringLiteral("Room 12");
    stream.type = QStringLiteral("_mjpegStreamer._tcp.");
    camera->setStreamNetService(stream);
    EXPECT_EQ(camera->model(), QStringLiteral("Room 12"));
    device.name = QStringLiteral("Room 12 desk");
    device.type = QStringLiteral("_korDevPub._udp.");
    camera->setDeviceNetService(device);
    EXPECT_EQ(camera->model(), QStringLiteral("Room 12 desk"));
    EXPECT_EQ(camera->shortModel(), camera->model());
    EXPECT_EQ(camera->description(), camera->model());
    camera->setDeviceNetService(std::nullopt);
    camera->setStreamNetService(std::nullopt);
    EXPECT_EQ(camera->model(), QStringLiteral("Unknown"));
}

TEST(DCNetCamera, OffersOnlyThePictureSideFunctions) {
    const DCCameraPtr c = DCNetCamera::camera();
    EXPECT_EQ(c->capabilities(), 0x07u);
    EXPECT_EQ(c->whiteBalanceMin(), DCCamera::kNotAvailable);
    EXPECT_FALSE(c->setFocus(1));
    EXPECT_TRUE(c->autoExposure());
}
