#include "ui/view/PictureFit.h"

#include <gtest/gtest.h>

#include "capture/FrameTransform.h"

namespace {

TEST(PictureFit, FitsCentredOnTheShortSide) {
    struct Case {
        QSize picture;
        QRect bounds;
        QRect expected;
    } cases[] = {
        {{640, 480}, {0, 0, 400, 200}, {67, 0, 266, 200}},    // relatively taller: bars left and right
        {{640, 480}, {0, 0, 400, 600}, {0, 150, 400, 300}},   // relatively wider: bars above and below
        {{640, 480}, {10, 20, 320, 240}, {10, 20, 320, 240}}, // same shape: fills the bounds
        {{4000, 10}, {0, 0, 100, 100}, {0, 50, 100, 1}},      // never thinner than a pixel
        {{640, 480}, {0, 0, 0, 0}, {}},
        {{0, 0}, {0, 0, 100, 100}, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PictureFit::fitPixels(c.picture, c.bounds), c.expected)
            << c.picture.width() << "x" << c.picture.height();
}

// Frames are decoded at a DCT scale that still covers their place on screen, never above the shown part
// of the stored picture, and within the texture limit.
TEST(PictureFit, CoveringSizeIsTheSmallestEighthThatCoversTheView) {
    const FrameTransform whole(QSize(1600, 1200));
    const FrameTransform zoomed = whole.zoomed(2.0, QRect(800, 600, 1600, 1200));
    struct Case {
        const FrameTransform &transform;
        QSize viewport;
        int maxSize;
        QSize expected;
    } cases[] = {
        {whole, {800, 600}, 0, {800, 600}},     {whole, {1024, 768}, 0, {1200, 900}},
        {whole, {4000, 3000}, 0, {1600, 1200}}, {whole, {1, 1}, 0, {200, 150}},
        {whole, {}, 0, {1600, 1200}},           {whole, {4000, 3000}, 1024, {1024, 768}},
        {zoomed, {1024, 768}, 0, {800, 600}}, // the zoomed part: 800 x 600 source pixels, scaled up by GL
        {zoomed, {320, 240}, 0, {400, 300}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PictureFit::coveringSize(c.transform, c.viewport, c.maxSize), c.expected)
            << c.viewport.width() << "x" << c.viewport.height();
}

} // namespace
