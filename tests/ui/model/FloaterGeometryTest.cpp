#include "ui/model/FloaterGeometry.h"

#include <gtest/gtest.h>

using namespace FloaterGeometry;

namespace {

Sizes floaterSizes() {
    Sizes sizes;
    sizes.focusTarget = QSizeF(80, 60);
    sizes.focusIndicator = QSizeF(72, 72);
    sizes.focusButton = QSizeF(30, 11);
    sizes.timer = QSizeF(56, 64);
    sizes.exposure = QSizeF(76, 28);
    sizes.navigator = QSizeF(160, 120);
    sizes.toolbarContainer = QSizeF(400, 30);
    sizes.close = QSizeF(40, 40);
    return sizes;
}

const QRectF kScreen(0, 0, 1280, 800);

} // namespace

// Full screen on a 1280 x 800 screen: the 4:3 picture's right edge is at 640 + 533.3.
TEST(FloaterGeometry, FullScreenPlacesByThePictureNotTheScreen) {
    const Sizes sizes = floaterSizes();
    EXPECT_NEAR(pictureRight(kScreen, true), 1173.33, 0.01);
    struct Row {
        Floater floater;
        qreal centreX;
        qreal top;
    };
    const Row rows[] = {
        {Floater::FocusIndicator, 1078.33, 70}, {Floater::Snapshot, 1078.33, 70},
        {Floater::FocusButton, 1078.33, 65},    {Floater::Timer, 1138.33, 70},
        {Floater::Exposure, 640, 90},           {Floater::FocusTarget, 640, 430},
    };
    for (const Row &row : rows) {
        const QRectF place = FloaterGeometry::place(row.floater, kScreen, true, sizes);
        EXPECT_NEAR(place.center().x(), row.centreX, 0.01) << int(row.floater);
        EXPECT_NEAR(place.bottom(), row.top, 0.01) << int(row.floater); // y upward: bottom() is the top
    }
}

// A screen narrower than 4:3 shows the picture across its whole width, with black bars above and
// below: the floaters stay on the picture.
TEST(FloaterGeometry, NarrowScreenPlacesOnThePicture) {
    const QRectF square(0, 0, 800, 800); // the picture: (0, 100, 800, 600)
    EXPECT_DOUBLE_EQ(pictureRight(square, true), 800);
    const QRectF timer = place(Floater::Timer, square, true, floaterSizes());
    EXPECT_DOUBLE_EQ(timer.center().x(), 765);
    EXPECT_DOUBLE_EQ(timer.bottom(), 170);
    EXPECT_DOUBLE_EQ(place(Floater::Close, square, true, floaterSizes()).center().y(), 650);
    EXPECT_EQ(place(Floater::Navigator, square, true, floaterSizes()).topLeft(), QPointF(0, 100));
}

// The navigator sits on the picture's lower-left corner in every shape of parent.
TEST(FloaterGeometry, NavigatorOnThePicturesLowerLeftCorner) {
    struct Row {
        QRectF parent;
        bool fullScreen;
        QPointF corner;
    };
    const Row rows[] = {
        {kScreen, true, {106.67, 0}},              // wide screen: beside the picture's side bars
        {QRectF(0, 0, 800, 800), true, {0, 100}},  // narrower than 4:3: above the lower black bar
        {QRectF(0, 0, 1024, 768), true, {0, 0}},   // exactly 4:3
        {QRectF(0, -20, 640, 500), false, {0, 0}}, // main window: above the status strip
        {QRectF(10, 10, 0, 0), false, {10, 30}},   // no size at all: no crash, a place anyway
    };
    for (const Row &row : rows) {
        const QRectF place = navigator(row.parent, row.fullScreen, QSizeF(160, 120));
        EXPECT_NEAR(place.x(), row.corner.x(), 0.01);
        EXPECT_NEAR(place.y(), row.corner.y(), 0.01);
    }
}

TEST(FloaterGeometry, TopRowHangsFiftyBelowTheTop) {
    const Sizes sizes = floaterSizes();
    const QRectF bar = place(Floater::ToolbarContainer, kScreen, true, sizes);
    EXPECT_EQ(bar, QRectF(440, 735, 400, 30));
    const QRectF ring = place(Floater::FocusIndicator, kScreen, true, sizes);
    const QRectF close = place(Floater::Close, kScreen, true, sizes);
    EXPECT_DOUBLE_EQ(close.right(), ring.right());
    EXPECT_DOUBLE_EQ(close.center().y(), 750);
}

// A bar wider than the room left of the close button gives way to it on a small projector.
TEST(FloaterGeometry, TheBarLeavesTheCloseButtonFree) {
    Sizes sizes = floaterSizes();
    sizes.toolbarContainer = QSizeF(900, 30);
    const QRectF screen(0, 0, 1024, 768);
    const QRectF close = place(Floater::Close, screen, true, sizes);
    const QRectF bar = place(Floater::ToolbarContainer, screen, true, sizes);
    EXPECT_DOUBLE_EQ(bar.right(), close.left() - kControlSpacing);
    EXPECT_DOUBLE_EQ(bar.width(), 900);
    sizes.toolbarContainer = QSizeF(1000, 30); // wider than the room: it starts at the left edge
    EXPECT_DOUBLE_EQ(place(Floater::ToolbarContainer, screen, true, sizes).left(), 0);
}

TEST(FloaterGeometry, ToolbarContainerWidthCountsFiveBetweenNeighbours) {
    EXPECT_EQ(toolbarContainerWidth({}), 0);
    EXPECT_EQ(toolbarContainerWidth({100}), 100);
    EXPECT_EQ(toolbarContainerWidth({100, 50, 30}), 190);
}
