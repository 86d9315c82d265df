#include "ui/model/MainWindowGeometry.h"

#include <gtest/gtest.h>

namespace {

// A 1280 x 800 screen whose visible area starts below a 25-point bar at the top.
const QRect kVisible(0, 25, 1280, 775);
const MainWindowGeometry::Metrics kMetrics{22, 58, kVisible};

} // namespace

TEST(MainWindowGeometry, ModeFramesKeepTheTopLeftAndThePictureFourByThree) {
    struct Case {
        const char *name;
        MainWindowGeometry::ModeFrame frame;
        QRect expected;
        QSize minimum;
    };
    const QRect window(100, 50, 700, 600);
    const MainWindowGeometry::Metrics shortScreen{22, 58, QRect(0, 25, 1280, 500)};
    const Case cases[] = {
        {"camera",
         MainWindowGeometry::cameraMode(window, 640, kMetrics),
         QRect(100, 50, 640, 580),
         {480, 460}},
        {"review",
         MainWindowGeometry::reviewMode(window, 640, kMetrics),
         QRect(100, 50, 640, 707),
         {480, 587}},
        // Taller than the visible area: cut to it, the width follows, the bottom rises to the area's.
        {"camera, capped",
         MainWindowGeometry::cameraMode(window, 1200, shortScreen),
         QRect(100, 25, 533, 500),
         {480, 460}},
        {"evernote",
         MainWindowGeometry::evernoteMode(window, {900, 500}, 22, kVisible),
         QRect(100, 50, 900, 522),
         {480, 529}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.frame.frame, c.expected);
        EXPECT_EQ(c.frame.minimumSize, c.minimum);
    }
}

TEST(MainWindowGeometry, TheBottomNeverGoesBelowTheVisibleArea) {
    const QRect lowWindow(100, 600, 640, 100);
    const QRect frame = MainWindowGeometry::cameraMode(lowWindow, 640, kMetrics).frame;
    EXPECT_EQ(frame.size(), QSize(640, 580));
    EXPECT_EQ(frame.y() + frame.height(), kVisible.y() + kVisible.height());
}

TEST(MainWindowGeometry, ResizingFollowsTheHeightOnly) {
    struct Case {
        WindowMode mode;
        QSize proposed;
        QSize expected;
    };
    const Case cases[] = {
        {WindowMode::Camera, {2000, 600}, {667, 600}}, // (600 - 20 - 58 - 22) x 4/3
        {WindowMode::Camera, {100, 600}, {667, 600}},
        {WindowMode::Review, {640, 600}, {497, 600}}, // (600 - 147 - 58 - 22) x 4/3
        {WindowMode::FullScreen, {640, 600}, {497, 600}},
        {WindowMode::Camera, {640, 5000}, {900, 775}}, // capped to the visible height
    };
    for (const Case &c : cases)
        EXPECT_EQ(MainWindowGeometry::windowWillResize(c.proposed, c.mode, kMetrics), c.expected)
            << static_cast<int>(c.mode) << " " << c.proposed.width() << "x" << c.proposed.height();
}

TEST(MainWindowGeometry, StandardFrameTakesTheDefaultBottomAndStaysOnScreen) {
    const QRect defaultFrame(0, 25, 1280, 775);
    // 775 high gives 900 wide: from x 100 it fits; from x 600 it is moved left to the right edge.
    EXPECT_EQ(MainWindowGeometry::windowWillUseStandardFrame({100, 80, 640, 580}, defaultFrame,
                                                             WindowMode::Camera, kMetrics),
              QRect(100, 25, 900, 775));
    EXPECT_EQ(MainWindowGeometry::windowWillUseStandardFrame({600, 80, 640, 580}, defaultFrame,
                                                             WindowMode::Camera, kMetrics),
              QRect(380, 25, 900, 775));
}

TEST(MainWindowGeometry, TheModeChooserHangsOnTheLeftEdgeBelowTheTop) {
    EXPECT_EQ(MainWindowGeometry::modeChooserFrame({300, 80, 640, 580}, {60, 240}), QRect(240, 180, 60, 240));
}
