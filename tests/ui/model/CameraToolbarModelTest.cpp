#include "ui/model/CameraToolbarModel.h"

#include <gtest/gtest.h>

#include "WindowModelRig.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCCameraOrb.h"
#include "devices/DCCameraWren.h"
#include "devices/KorvaFixture.h"
#include "devices/SimCameraFixture.h"
#include "devices/UvcControlTable.h"
#include "devices/UvcRequest.h"
#include "photos/DCActionController.h"

using Set = ToolbarControlSets::Set;
using Control = ToolbarControlSets::Control;

namespace {

struct SilentSounds : SoundEffects {
    void play(Sound) override {}
    void stop(Sound) override {}
};

// The rig with a Korva camera current and its toolbar built, as after a camera change.
template <class Camera> struct KorvaRig : WindowModelRig {
    KorvaFixture<Camera> korva;
    explicit KorvaRig(const QString &model) : korva(model) { changeCamera(korva.camera); }
};

struct BadgeLog {
    std::vector<std::pair<int, bool>> badges;
    explicit BadgeLog(CameraToolbarModel &toolbar) {
        QObject::connect(&toolbar, &CameraToolbarModel::exposureBadgeRequested,
                         [this](int value, bool showSigned) { badges.emplace_back(value, showSigned); });
    }
};

// The focus positions the camera was sent since the last forget().
std::vector<int> focusPositionsSent(const SimCamera &sim) {
    std::vector<int> positions;
    for (const auto &record : sim.records()) {
        const UvcRequest::Fields f = UvcRequest::decode(record.setup);
        if (f.bRequest == UvcRequest::SET_CUR && f.selector == 0x06 &&
            f.entity() == UvcControlTable::kCameraTerminal && record.data.size() >= 2)
            positions.push_back(record.data[0] | record.data[1] << 8);
    }
    return positions;
}

void postReport(const QString &name, const DCCameraPtr &camera) {
    DCNotificationCenter::defaultCenter().postNotificationName(name, QVariant::fromValue(camera));
}

} // namespace

TEST(CameraToolbarModel, ExposureItemsReachTheStoreTheSnapshotSideAndTheBadge) {
    struct Case {
        const char *model;
        std::function<void(CameraToolbarModel &)> choose;
        int item;
        QString title;
        std::pair<int, bool> badge;
    };
    const Case cases[] = {
        // The Orb's fixed steps read +2 ... -2: "+1" is item 2.
        {"Orb", [](CameraToolbarModel &t) { t.setExposure(Set::Toolbar, 2); }, 2, "Exposure: +1", {1, true}},
        // Elsewhere the slider's position counts from 0 and the item is the step.
        {"Wren",
         [](CameraToolbarModel &t) { t.setExposureSliderPosition(Set::Overlay, 7); },
         8,
         "Exposure: 8",
         {8, false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.model);
        std::unique_ptr<WindowModelRig> rig;
        if (QString(c.model) == "Orb")
            rig = std::make_unique<KorvaRig<DCCameraOrb>>(c.model);
        else
            rig = std::make_unique<KorvaRig<DCCameraWren>>(c.model);
        DCActionController::Dependencies deps;
        deps.defaults = rig->defaults.get();
        deps.sounds = std::make_shared<SilentSounds>();
        deps.currentCamera = rig->currentCamera();
        deps.countdownTimer = false;
        DCActionController actions(deps);
        BadgeLog log(*rig->toolbar);

        c.choose(*rig->toolbar);

        EXPECT_EQ(rig->settings->exposure(), c.item);
        EXPECT_EQ(actions.exposure(), c.item);
        ASSERT_EQ(log.badges.size(), 1u);
        EXPECT_EQ(log.badges[0], c.badge);
        for (const Set set : {Set::Toolbar, Set::Overlay}) {
            EXPECT_EQ(rig->control(set, Control::Exposure).selectedIndex, c.item);
            EXPECT_EQ(rig->control(set, Control::Exposure).title, c.title);
            EXPECT_EQ(rig->control(set, Control::Exposure).checkedItems, QList<int>{c.item});
        }
    }
}

TEST(CameraToolbarModel, AReportOutsideTheStepsShowsEightAndAutomaticExposure) {
    for (const uint8_t iris : {0, 16}) {
        KorvaRig<DCCameraWren> rig(QStringLiteral("Wren"));
        rig.toolbar->setExposure(Set::Toolbar, 3);
        rig.toolbar->setExposureLock(Set::Toolbar, 2);
        rig.korva.hid().setIris(iris);
        postReport(DCNote::DCNotificationReportExposure, rig.korva.camera);
        for (const Set set : {Set::Toolbar, Set::Overlay}) {
            EXPECT_EQ(rig.control(set, Control::Exposure).selectedIndex, 8) << int(iris);
            EXPECT_EQ(rig.control(set, Control::Exposure).title, "Exposure: 8");
            EXPECT_EQ(rig.control(set, Control::ExposureLock).selectedIndex, 1);
            EXPECT_EQ(rig.control(set, Control::ExposureLock).title, "AE: On");
        }
        EXPECT_EQ(rig.toolbar->indexOfExposureLockItem(), 1);
    }
}

TEST(CameraToolbarModel, ReportsFromAnotherCameraOrDuringAutoFocusAreIgnored) {
    KorvaRig<DCCameraWren> rig(QStringLiteral("Wren"));
    KorvaFixture<DCCameraWren> other(QStringLiteral("Wren"));
    rig.korva.hid().setIris(3);
    other.hid().setIris(3);
    postReport(DCNote::DCNotificationReportExposure, other.camera);
    EXPECT_NE(rig.toolbar->indexOfExposureItem(), 3);
    postReport(DCNote::DCNotificationCameraDidBeginAutoFocus, rig.korva.camera);
    postReport(DCNote::DCNotificationReportExposure, rig.korva.camera);
    EXPECT_NE(rig.toolbar->indexOfExposureItem(), 3);
    postReport(DCNote::DCNotificationCameraDidEndAutoFocus, rig.korva.camera);
    postReport(DCNote::DCNotificationReportExposure, rig.korva.camera);
    EXPECT_EQ(rig.toolbar->indexOfExposureItem(), 3);
}

TEST(CameraToolbarModel, ALockedExposureThatMovesGetsAShortSpellOfAutoBrightness) {
    KorvaRig<DCCameraWren> rig(QStringLiteral("Wren"));
    rig.toolbar->setExposureLock(Set::Toolbar, 2);
    ASSERT_FALSE(rig.settings->autoBrightness());
    for (const uint8_t iris : {5, 6}) {
        rig.korva.hid().setIris(iris);
        postReport(DCNote::DCNotificationReportExposure, rig.korva.camera);
        EXPECT_FALSE(rig.settings->autoBrightness());
        EXPECT_EQ(rig.korva.hid().exposureLock(), 1);
        rig.timers.advance(CameraToolbarModel::kAutoBrightnessPulse);
        EXPECT_TRUE(rig.settings->autoBrightness());
        EXPECT_EQ(rig.korva.hid().exposureLock(), 0);
    }
}

TEST(CameraToolbarModel, StoredValuesOutsideTheChoicesSelectTheFallbackItem) {
    struct Case {
        const char *name;
        std::function<void(DCCamSettingController &)> store;
        Control control;
        int item;
        QString title;
        std::vector<int> checked; // (Qt 6.4 compares two empty lists through a null pointer)
    };
    const Case cases[] = {
        {"zoom 1.5", [](DCCamSettingController &s) { s.setZoom(1.5f); }, Control::Zoom, 7, "Zoom: --", {}},
        {"timer 5", [](DCCamSettingController &s) { s.setTimer(5); }, Control::Timer, 1, "Timer: Off", {1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        KorvaRig<DCCameraWren> rig(QStringLiteral("Wren"));
        c.store(*rig.settings);
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCCamSettingDidRestoreNotification);
        EXPECT_EQ(rig.control(Set::Overlay, c.control).selectedIndex, c.item);
        EXPECT_EQ(rig.control(Set::Toolbar, c.control).title, c.title);
        const QList<int> &checked = rig.control(Set::Toolbar, c.control).checkedItems;
        EXPECT_EQ(std::vector<int>(checked.begin(), checked.end()), c.checked);
        if (c.control == Control::Zoom) { // a factor outside the choices shows the whole picture
            EXPECT_FLOAT_EQ(rig.capture->zoom(), 0.0f);
            EXPECT_FLOAT_EQ(rig.settings->zoom(), 0.0f);
        }
    }
}

TEST(CameraToolbarModel, TheHorizontalMirrorChosenTwiceIsOffAgain) {
    KorvaRig<DCCameraWren> rig(QStringLiteral("Wren"));
    QStringList titles;
    for (int i = 0; i < 2; ++i) {
        rig.toolbar->toggleMirror(i == 0 ? Set::Toolbar : Set::Overlay, 1);
        titles << rig.control(Set::Overlay, Control::Mirror).title;
        EXPECT_EQ(rig.control(Set::Toolbar, Control::Mirror).isChecked(1), i == 0);
        EXPECT_EQ(rig.capture->hFlipped(), i == 0);
        EXPECT_EQ(rig.settings->hFlipped(), i == 0);
    }
    EXPECT_EQ(titles, QStringList({"Mirror: H", "Mirror: Off"}));
    rig.toolbar->toggleMirror(Set::Toolbar, 1);
    rig.toolbar->toggleMirror(Set::Toolbar, 2);
    EXPECT_EQ(rig.control(Set::Toolbar, Control::Mirror).title, "Mirror: V+H");
}

TEST(CameraToolbarModel, AChoiceOnOneSetReachesTheStoreThePictureAndTheOtherSet) {
    using Action = void (CameraToolbarModel::*)(Set, int);
    struct Case {
        Control control;
        Action action;
        QString overlayNotification; // how the overlay's choice arrives
        int item;
        std::function<bool(WindowModelRig &)> applied;
    };
    const Case cases[] = {
        {Control::Zoom, &CameraToolbarModel::setCameraModeZoom, DCNote::DCFullScreenSetZoomNotification, 2,
         [](WindowModelRig &r) { return r.settings->zoom() == 2.0f && r.capture->zoom() == 2.0f; }},
        {Control::Timer, &CameraToolbarModel::setTimer, DCNote::DCFullScreenSetTimerNotification, 3,
         [](WindowModelRig &r) { return r.settings->timer() == 10; }},
        {Control::Resolution, &CameraToolbarModel::setResolution,
         DCNote::DCFullScreenSetResolutionNotification, 2,
         [](WindowModelRig &r) {
             return r.settings->resolution() == 1 &&
                    r.capture->resolution() == DCCameraWren::resolutionAtIndex(1).toSize();
         }},
        {Control::ExposureLock, &CameraToolbarModel::setExposureLock,
         DCNote::DCFullScreenSetExposureLockNotification, 2,
         [](WindowModelRig &r) { return !r.settings->autoBrightness() && r.toolbar->lockae(); }},
    };
    for (const Set sender : {Set::Toolbar, Set::Overlay}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(ToolbarControlSets::identifier(c.control).toStdString() +
                         (sender == Set::Toolbar ? " from the toolbar" : " from the overlay"));
            KorvaRig<DCCameraWren> rig(QStringLiteral("Wren"));
            if (sender == Set::Overlay)
                DCNotificationCenter::defaultCenter().postNotificationName(c.overlayNotification, c.item);
            else
                (rig.toolbar.get()->*c.action)(sender, c.item);
            EXPECT_TRUE(c.applied(rig));
            const ToolbarControlState &twin = rig.control(ToolbarControlSets::twin(sender), c.control);
            EXPECT_EQ(twin.selectedIndex, c.item);
            EXPECT_EQ(twin.title, rig.control(sender, c.control).title);
            EXPECT_EQ(twin.checkedItems, QList<int>{c.item});
        }
    }
}

TEST(CameraToolbarModel, NoControlCanBeUsedDuringACountdown) {
    WindowModelRig rig;
    SimCameraFixture uvc;
    rig.changeCamera(uvc.camera);
    ASSERT_TRUE(rig.toolbar->controls().items().contains(Control::Focus)); // shown, but not for this camera
    auto &center = DCNotificationCenter::defaultCenter();
    center.postNotificationName(DCNote::DCCaptureDidTriggleTimerNotification);
    for (const Set set : {Set::Toolbar, Set::Overlay})
        for (int c = 0; c < ToolbarControlSets::kControlCount; ++c)
            EXPECT_FALSE(rig.toolbar->controls().isUsable(set, static_cast<Control>(c))) << c;
    rig.toolbar->setCameraModeZoom(Set::Toolbar, 2);
    center.postNotificationName(DCNote::DCFullScreenSetZoomNotification, 3);
    rig.toolbar->toggleMirror(Set::Toolbar, 1);
    EXPECT_FLOAT_EQ(rig.settings->zoom(), 1.0f);
    EXPECT_FALSE(rig.capture->hFlipped());

    center.postNotificationName(DCNote::DCCaptureDidInvalidateTimerNotification);
    EXPECT_TRUE(rig.toolbar->controls().isUsable(Set::Overlay, Control::Zoom));
    // The end of the countdown gives back what the camera admits, no more.
    EXPECT_FALSE(rig.toolbar->controls().isUsable(Set::Toolbar, Control::Focus));
}

TEST(CameraToolbarModel, LockingTheFocusKeepsTheLensWhereItIsAndManualFocusStaysInRange) {
    for (const bool readable : {true, false}) {
        SCOPED_TRACE(readable ? "focus readable" : "focus unreadable");
        KorvaRig<DCCameraWren> rig(QStringLiteral("Wren"));
        ASSERT_TRUE(rig.toolbar->controls().isUsable(Set::Overlay, Control::Focus));
        EXPECT_EQ(rig.toolbar->controls().afLock(Set::Overlay).maxValue, 1023);
        rig.korva.sim->setControl(UvcControlTable::kCameraTerminal, 0x06, {2, 300, 0, 1023, 68});
        if (!readable) rig.korva.sim->stall({UvcRequest::GET_CUR, 0x06, UvcControlTable::kCameraTerminal});
        rig.korva.forget();

        rig.toolbar->afLockButtonDidSetLockState(Set::Overlay, 1);

        // A focus that cannot be read is not sent back as a position (it would drive the lens to an end).
        EXPECT_EQ(focusPositionsSent(*rig.korva.sim), readable ? std::vector<int>{300} : std::vector<int>{});
        EXPECT_TRUE(rig.toolbar->controls().afLock(Set::Toolbar).locked);
        rig.korva.forget();
        rig.toolbar->afLockButtonDidSetFocusLength(Set::Toolbar, 5000);
        EXPECT_EQ(focusPositionsSent(*rig.korva.sim), std::vector<int>{1023});
        EXPECT_EQ(rig.toolbar->controls().afLock(Set::Overlay).focusLength, 1023);
    }
}
