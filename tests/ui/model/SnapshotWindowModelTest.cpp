#include "ui/model/SnapshotWindowModel.h"

#include <gtest/gtest.h>

#include "WindowModelRig.h"
#include "core/DCVocabulary.h"
#include "devices/DCCameraWrenHD.h"
#include "devices/DCNetCamera.h"
#include "devices/KorvaFixture.h"

namespace {

void post(const QString &name) {
    DCNotificationCenter::defaultCenter().postNotificationName(name);
}

struct SheetRig {
    DCCameraPtr camera;
    ManualTimers timers;
    int closeAsked = 0;
    SnapshotWindowModel model{
        {[this] { return camera; }, [this] { return ++closeAsked, true; }, timers.function()}};
};

} // namespace

TEST(SnapshotWindowModel, TheRingFollowsTheFocusModeAndTheLock) {
    SheetRig rig;
    const struct {
        const char *notification;
        bool locked;
        const char *ring;
    } cases[] = {
        {"DCCaptureFocusDidSetSingleNotification", false, "Background-Single"},
        {"DCCaptureFocusDidSetSingleNotification", true, "Background-Single-lock"},
        {"DCCaptureFocusDidSetContinousNotification", false, "Background-Continuos"},
        {"DCCaptureFocusDidSetContinousNotification", true, "Background-Continuos-lock"},
    };
    for (const auto &c : cases) {
        post(QString::fromLatin1(c.notification));
        rig.model.setIsAFLocked(c.locked);
        EXPECT_EQ(rig.model.ringImage(), QString::fromLatin1(c.ring)) << c.notification << c.locked;
    }
}

TEST(SnapshotWindowModel, TheTargetTurnsRedGreenThenWhiteTwoSecondsLater) {
    SheetRig rig;
    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    EXPECT_EQ(rig.model.targetImage(), "Target-Red");
    post(DCNote::DCNotificationCameraDidEndAutoFocus);
    EXPECT_EQ(rig.model.targetImage(), "Target-Green");
    rig.timers.advance(SnapshotWindowModel::kTargetHold - Ms(1));
    EXPECT_EQ(rig.model.targetImage(), "Target-Green");
    rig.timers.advance(Ms(1));
    EXPECT_EQ(rig.model.targetImage(), "Target-White");
    // A focus begun within the hold keeps its red: the earlier timer does not whiten it.
    post(DCNote::DCNotificationCameraDidEndAutoFocus);
    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    rig.timers.advance(SnapshotWindowModel::kTargetHold);
    EXPECT_EQ(rig.model.targetImage(), "Target-Red");
}

TEST(SnapshotWindowModel, FocusDisplaysOnlyForAKorvaCamera) {
    SheetRig rig;
    KorvaFixture<DCCameraWrenHD> korva;
    rig.camera = korva.camera;
    rig.model.windowWillAppear();
    EXPECT_TRUE(rig.model.focusControlsShown());
    EXPECT_EQ(rig.model.cameraAFMode(), korva.camera->autoFocusMode());
    EXPECT_EQ(rig.model.isAFLocked(), !korva.camera->autoFocus());
    rig.camera = DCNetCamera::camera();
    rig.model.windowWillAppear();
    EXPECT_FALSE(rig.model.focusControlsShown());
    rig.camera = nullptr;
    rig.model.windowWillAppear();
    EXPECT_FALSE(rig.model.focusControlsShown());
}

TEST(SnapshotWindowModel, CloseAsksOnlyWhileVisibleAndTheShutterPostsTheSnapshot) {
    SheetRig rig;
    rig.model.close();
    EXPECT_EQ(rig.closeAsked, 0);
    rig.model.setVisible(true);
    rig.model.close();
    EXPECT_EQ(rig.closeAsked, 1);
    EXPECT_FALSE(rig.model.isVisible());

    int snapshots = 0;
    DCObserverSet observers;
    observers.add(DCNote::DCNotificationSnapshot, [&](const DCNotification &) { ++snapshots; });
    rig.model.snapshot();
    EXPECT_EQ(snapshots, 1);
}
