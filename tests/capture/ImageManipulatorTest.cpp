#include "capture/ImageManipulator.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "capture/Frame.h"
#include "capture/FrameTransform.h"
#include "capture/I420Image.h"
#include "capture/ImageCoordinates.h"
#include "core/DCVocabulary.h"

namespace {

std::shared_ptr<const Frame> frameOf(QSize size) {
    return Frame::fromPlanes(I420Image::create(size));
}

ZoomState zoomed(float zoom, float x = -1.0f, float y = -1.0f, bool h = false, bool v = false) {
    ZoomState state;
    state.zoom = zoom;
    state.zoomXLocation = x;
    state.zoomYLocation = y;
    state.hFlipped = h;
    state.vFlipped = v;
    return state;
}

} // namespace

TEST(ImageCoordinates, LowerLeftRectBecomesTopLeftAndBack) {
    const QRectF lowerLeft(10, 20, 30, 40); // 20 up from the bottom of a 100 high picture
    const QRectF topLeft = ImageCoordinates::toTopLeft(lowerLeft, 100);
    EXPECT_EQ(topLeft, QRectF(10, 40, 30, 40));
    EXPECT_EQ(ImageCoordinates::toTopLeft(topLeft, 100), lowerLeft);
    EXPECT_EQ(ImageCoordinates::toTopLeft(QPointF(5, 0), 100), QPointF(5, 100));
}

TEST(ManipulateImage, NothingToDoAnswersTheVeryFrame) {
    const auto frame = frameOf(QSize(1280, 960));
    for (const ZoomState &state : {ZoomState{}, zoomed(1.0f, 0.3f, 0.3f), zoomed(0.5f)})
        EXPECT_EQ(manipulateImage(frame, state), frame);
    EXPECT_EQ(manipulateImage(nullptr, zoomed(2.0f)), nullptr);
}

TEST(ManipulateImage, CropsOfZoomLocationAndMirrors) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char *what;
        QSize size;
        ZoomState state;
        QRect crop;
    } cases[] = {
        {"centred", {1280, 960}, zoomed(2.0f), {640, 480, 1280, 960}},
        {"h-mirror measures x from the right",
         {1280, 960},
         zoomed(2.0f, 0.25f, 0.5f, true),
         {640, 960, 1280, 960}},
        {"both mirrors",
         {1280, 960},
         zoomed(2.0f, 0.25f, 0.25f, true, true),
         {640, 1920 - 480 - 960, 1280, 960}},
        {"unmirrored", {1280, 960}, zoomed(2.0f, 0.25f, 0.25f), {640, 480, 1280, 960}},
        // (202 - 101) / 2 = 50.5 and (198 - 99) / 2 = 49.5 round away from zero.
        {"halves round away from zero", {101, 99}, zoomed(2.0f), {51, 50, 101, 99}},
        {"origin past the far edge", {1280, 960}, zoomed(2.0f, 0.9f, 5.0f), {1280, 960, 1280, 960}},
        {"negative origin", {1280, 960}, zoomed(2.0f, -0.5f, 0.0f), {0, 0, 1280, 960}},
        {"NaN origin centres", {1280, 960}, zoomed(2.0f, nan, 0.1f), {640, 480, 1280, 960}},
    };
    for (const auto &c : cases) {
        const auto frame = frameOf(c.size);
        const auto result = manipulateImage(frame, c.state);
        ASSERT_NE(result, frame) << c.what;
        EXPECT_EQ(result->size(), c.size) << c.what;
        EXPECT_EQ(result->transform().crop(), c.crop) << c.what;
        EXPECT_EQ(result->transform().hFlipped(), c.state.hFlipped) << c.what;
        EXPECT_EQ(result->transform().vFlipped(), c.state.vFlipped) << c.what;
        EXPECT_EQ(result->planes(), frame->planes()) << c.what; // shared, not copied
    }
    const auto centred = manipulateImage(frameOf(QSize(1280, 960)), zoomed(2.0f));
    EXPECT_EQ(centred->transform().sourceRect(), QRectF(320, 240, 640, 480));
}

TEST(ManipulateImage, SuppressedZoomShowsTheWholePictureButStillMirrors) {
    const auto frame = frameOf(QSize(1280, 960));
    ZoomState state = zoomed(2.0f);
    state.zoomSuppressed = true;
    EXPECT_EQ(manipulateImage(frame, state), frame);
    state.hFlipped = true;
    const auto mirrored = manipulateImage(frame, state);
    EXPECT_EQ(mirrored->transform().crop(), QRect(0, 0, 1280, 960));
    EXPECT_TRUE(mirrored->transform().hFlipped());
}

TEST(FrameTransform, ZoomOfAMirroredOutputPicksTheMirroredPart) {
    // The right half of a mirrored picture shows the left half of the source.
    const FrameTransform t =
        FrameTransform(QSize(100, 50)).mirrored(true, false).zoomed(2.0, QRect(100, 0, 100, 50));
    EXPECT_EQ(t.sourceRect(), QRectF(0, 0, 50, 25));
    EXPECT_TRUE(t.hFlipped());
    EXPECT_EQ(t.outputSize(), QSize(100, 50));
}

TEST(FrameTransform, ZoomOfAZoomComposes) {
    const FrameTransform once = FrameTransform(QSize(1280, 960)).zoomed(2.0, QRect(640, 480, 1280, 960));
    const FrameTransform twice = once.zoomed(2.0, QRect(0, 0, 1280, 960));
    EXPECT_EQ(twice.sourceRect(), QRectF(320, 240, 320, 240));
    EXPECT_DOUBLE_EQ(twice.zoomScale(), 4.0);
    // The lower-left quarter of the shown part is the lower rows of the buffer.
    EXPECT_EQ(twice.sourceRectTopLeft(), QRectF(320, 960 - 240 - 240, 320, 240));
}

TEST(ImageManipulatorState, NewZoomStartsCentred) {
    ImageManipulator manipulator;
    manipulator.setZoomLocation(0.1f, 0.2f);
    manipulator.setZoom(3.0f);
    EXPECT_EQ(manipulator.state().zoom, 3.0f);
    EXPECT_EQ(manipulator.state().zoomXLocation, -1.0f);
    EXPECT_EQ(manipulator.state().zoomYLocation, -1.0f);
    manipulator.setZoom(1000.0f);
    EXPECT_EQ(manipulator.state().zoom, ImageManipulator::kMaxZoom);
}

TEST(ImageManipulatorState, ZoomAreaChangeTakesOnlyNumbers) {
    ImageManipulator manipulator;
    EXPECT_TRUE(manipulator.changeZoomArea({{DCKey::XOffset, 0.25f}, {DCKey::YOffset, 0.5f}}));
    EXPECT_EQ(manipulator.state().zoomXLocation, 0.25f);
    EXPECT_EQ(manipulator.state().zoomYLocation, 0.5f);

    EXPECT_FALSE(
        manipulator.changeZoomArea({{DCKey::XOffset, QStringLiteral("left")}, {DCKey::YOffset, 0.1f}}));
    EXPECT_FALSE(manipulator.changeZoomArea({{DCKey::XOffset, 0.1f}}));
    EXPECT_FALSE(manipulator.changeZoomArea(
        {{DCKey::XOffset, std::numeric_limits<double>::infinity()}, {DCKey::YOffset, 0.1f}}));
    EXPECT_EQ(manipulator.state().zoomXLocation, 0.25f);

    manipulator.setZoom(2.0f);
    manipulator.setHFlipped(true);
    manipulator.changeZoomArea({{DCKey::XOffset, 0.25f}, {DCKey::YOffset, 0.5f}});
    EXPECT_EQ(manipulator.manipulateImage(frameOf(QSize(1280, 960)))->transform().crop(),
              QRect(640, 960, 1280, 960));
}
