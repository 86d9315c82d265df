#include "ui/model/OverlayModel.h"

#include <cmath>

#include <gtest/gtest.h>

#include "WindowModelRig.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"

using Floater = OverlayModel::Floater;

namespace {

void post(const QString &name, const QVariantMap &userInfo = {}) {
    DCNotificationCenter::defaultCenter().postNotificationName(name, {}, userInfo);
}

struct OverlayModelTest : ::testing::Test {
    ManualTimers timers;
    OverlayModel overlay{OverlayModel::Dependencies{timers.function(), nullptr}};

    OverlayModelTest() {
        overlay.setIsVisable(true);
        overlay.toogleFocusMode(1);
        overlay.zoomArea().setBounds(QRectF(0, 0, 160, 120));
    }
};

} // namespace

TEST_F(OverlayModelTest, CountdownShowsTheDigitAndHidesTheRest) {
    for (const int tick : {0, 5, 10}) {
        overlay.toggleIndicatorForExposure(1, false);
        overlay.toogleTimerTick(tick);
        EXPECT_TRUE(overlay.shows(Floater::Timer)) << tick;
        EXPECT_EQ(overlay.image(Floater::Timer), QString::number(tick));
        EXPECT_FALSE(overlay.snapshotResponds());
        for (const Floater hidden :
             {Floater::Snapshot, Floater::FocusIndicator, Floater::FocusButton, Floater::Exposure})
            EXPECT_FALSE(overlay.shows(hidden)) << tick << " " << int(hidden);
    }
    // Anything outside 0 ... 10 ends it.
    for (const int end : {11, -1, 42}) {
        overlay.toogleTimerTick(3);
        overlay.toogleTimerTick(end);
        EXPECT_FALSE(overlay.shows(Floater::Timer)) << end;
        EXPECT_TRUE(overlay.image(Floater::Timer).isEmpty());
        EXPECT_TRUE(overlay.snapshotResponds());
        EXPECT_TRUE(overlay.shows(Floater::Snapshot));
        EXPECT_TRUE(overlay.shows(Floater::FocusIndicator));
    }
    // A camera without focus functions gets neither ring nor focus button back.
    overlay.setShouldHideFocusFunctions(true);
    EXPECT_FALSE(overlay.shows(Floater::FocusIndicator));
    EXPECT_FALSE(overlay.shows(Floater::FocusButton));
    EXPECT_TRUE(overlay.shows(Floater::Snapshot));
}

// Signed only above 0: a signed -1 is "Exp-" and "-1".
TEST_F(OverlayModelTest, ExposureBadgeNamesItsImageBySign) {
    overlay.toggleIndicatorForExposure(-1, true);
    EXPECT_EQ(overlay.image(Floater::Exposure), QStringLiteral("Exp--1"));
    overlay.toggleIndicatorForExposure(2, true);
    EXPECT_EQ(overlay.image(Floater::Exposure), QStringLiteral("Exp-+2"));
    overlay.toggleIndicatorForExposure(3, false);
    EXPECT_EQ(overlay.image(Floater::Exposure), QStringLiteral("Exp-3"));
}

TEST_F(OverlayModelTest, ExposureBadgeGoesAfterThreeSecondsCountedFromTheLastOne) {
    overlay.setIsVisable(false); // the badge shows regardless
    overlay.toggleIndicatorForExposure(1, true);
    timers.advance(Ms(2000));
    overlay.toggleIndicatorForExposure(2, true);
    timers.advance(Ms(2999));
    EXPECT_TRUE(overlay.shows(Floater::Exposure));
    EXPECT_EQ(overlay.image(Floater::Exposure), QStringLiteral("Exp-+2"));
    timers.advance(Ms(1));
    EXPECT_FALSE(overlay.shows(Floater::Exposure));
}

TEST_F(OverlayModelTest, UsersFocusRunShowsTargetAndFocusingNavigator) {
    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    EXPECT_EQ(overlay.image(Floater::FocusTarget), QStringLiteral("Target-Red"));
    EXPECT_TRUE(overlay.sightIsRed());
    EXPECT_EQ(overlay.zoomArea().labelText(), QStringLiteral("1x Focusing"));
    post(DCNote::DCNotificationCameraDidEndAutoFocus);
    EXPECT_EQ(overlay.image(Floater::FocusTarget), QStringLiteral("Target-Green"));
    EXPECT_FALSE(overlay.sightIsRed());
    EXPECT_TRUE(overlay.zoomArea().shouldHideZoomedArea());
    timers.advance(OverlayModel::kFocusTargetTime);
    EXPECT_FALSE(overlay.shows(Floater::FocusTarget));
    EXPECT_FALSE(overlay.zoomArea().shouldHideZoomedArea());
}

TEST_F(OverlayModelTest, SelfStartedFocusShowsNoTarget) {
    post(DCNote::DCNotificationCameraWillBeginSelfAutoFocus);
    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    EXPECT_FALSE(overlay.shows(Floater::FocusTarget));
    EXPECT_FALSE(overlay.zoomArea().shouldHideZoomedArea());
    EXPECT_TRUE(overlay.sightIsRed());
    post(DCNote::DCNotificationCameraDidEndAutoFocus);
    EXPECT_FALSE(overlay.shows(Floater::FocusTarget));
    EXPECT_FALSE(overlay.isSelfAutoFocusing());
}

// Timers left over from an earlier run, and cancelled runs, must not spoil the next one.
TEST_F(OverlayModelTest, FocusRunsDoNotSpoilTheNextOne) {
    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    post(DCNote::DCNotificationCameraDidEndAutoFocus);
    timers.advance(Ms(1500));
    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    timers.advance(Ms(1000));
    EXPECT_EQ(overlay.image(Floater::FocusTarget), QStringLiteral("Target-Red"));

    post(DCNote::DCNotificationCameraDidCancelAutoFocus);
    EXPECT_FALSE(overlay.shows(Floater::FocusTarget));
    EXPECT_FALSE(overlay.zoomArea().shouldHideZoomedArea());

    post(DCNote::DCNotificationCameraWillBeginSelfAutoFocus);
    post(DCNote::DCNotificationCameraDidCancelAutoFocus);
    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    EXPECT_EQ(overlay.image(Floater::FocusTarget), QStringLiteral("Target-Red"));
}

TEST_F(OverlayModelTest, NavigatorOnlyAboveZoomOne) {
    struct Row {
        float zoom;
        bool shown;
    };
    const Row rows[] = {{2.0f, true}, {1.0f, false}, {1.5f, true}, {0.0f, false}, {NAN, false}};
    for (const Row &row : rows) {
        post(DCNote::DCCameraModeZoomDidChange, {{DCKey::Zoom, QVariant::fromValue(row.zoom)}});
        EXPECT_EQ(overlay.shows(Floater::Navigator), row.shown) << row.zoom;
    }
    post(DCNote::DCCameraModeZoomDidChange, {{DCKey::Zoom, QVariant::fromValue(2.0f)}});
    EXPECT_EQ(overlay.zoomArea().zoomedArea(), QRectF(40, 30, 80, 60));
    EXPECT_EQ(overlay.zoomArea().labelText(), QStringLiteral("2x"));
    overlay.setIsVisable(false);
    EXPECT_FALSE(overlay.shows(Floater::Navigator));
}

TEST_F(OverlayModelTest, FullScreenAddsTheTopRowAndMovingWindowsHideIt) {
    EXPECT_FALSE(overlay.shows(Floater::Close));
    overlay.windowWillMove(); // in the main window nothing hides
    EXPECT_TRUE(overlay.isVisable());

    overlay.setIsFullScreen(true);
    EXPECT_TRUE(overlay.shows(Floater::Close));
    EXPECT_TRUE(overlay.shows(Floater::ToolbarContainer));
    overlay.windowWillMove();
    EXPECT_FALSE(overlay.shows(Floater::Snapshot));
    EXPECT_FALSE(overlay.shows(Floater::Close));
    overlay.toggleControl(); // the next click
    EXPECT_TRUE(overlay.shows(Floater::Snapshot));
}

// The overlay follows the window's models: the countdown and the capture's zoom.
TEST(OverlayModelFollows, TheWindowsModels) {
    WindowModelRig rig;
    OverlayModel overlay{OverlayModel::Dependencies{rig.timers.function(), nullptr}};
    overlay.follow(*rig.window, *rig.reactions, *rig.toolbar);
    overlay.setIsVisable(true);
    post(DCNote::DCCaptureWillUpdateTimerNotification, {{DCKey::DevTimerValue, 3}});
    EXPECT_EQ(overlay.image(Floater::Timer), QStringLiteral("3"));
    post(DCNote::DCCaptureDidInvalidateTimerNotification);
    EXPECT_FALSE(overlay.isCountingDown());
    rig.capture->setZoom(2.0f);
    EXPECT_TRUE(overlay.shows(Floater::Navigator));
    rig.window->enterFullScreenMode();
    EXPECT_TRUE(overlay.isFullScreen());
    EXPECT_TRUE(overlay.shows(Floater::Close));
}
