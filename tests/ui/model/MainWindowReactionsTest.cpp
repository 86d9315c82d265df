#include "ui/model/MainWindowReactions.h"

#include <atomic>
#include <thread>

#include <QDir>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include "WindowModelRig.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCCameraWren.h"
#include "devices/DCNetCamera.h"
#include "devices/KorvaFixture.h"
#include "devices/SimCameraFixture.h"
#include "support/TestSupport.h"

using Set = ToolbarControlSets::Set;
using Control = ToolbarControlSets::Control;

namespace {

void post(const QString &name, const QVariant &object = {}, const QVariantMap &userInfo = {}) {
    DCNotificationCenter::defaultCenter().postNotificationName(name, object, userInfo);
}

// An empty file is enough: the library lists names and reads headers only.
void touch(const QString &path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
}

QVariantMap fileAnnouncement(const QString &path) {
    return {{DCKey::FileURL, QUrl::fromLocalFile(path)}};
}

} // namespace

TEST(MainWindowReactions, InstantPreviewFreezesThenHoldsThePhotoForTheChosenTime) {
    struct Case {
        int setting;
        QStringList expected; // what the camera view showed, with the time
    };
    const Case cases[] = {
        {0, {"0 black", "500 live"}},
        {1, {"0 black", "500 photo", "2500 live"}},
        {2, {"0 black", "500 photo", "4500 live"}},
    };
    const FramePointer frame = Frame::fromJpeg(QByteArray("\xff\xd8\xff\xd9", 4), QSize(640, 480));
    for (const Case &c : cases) {
        WindowModelRig rig;
        rig.defaults->setInteger(c.setting, DCDefaults::InstantPreview);
        rig.reactions->windowDidLoad();
        rig.window->setMode(WindowMode::Camera);
        QStringList shown;
        InstantPreview &preview = rig.reactions->instantPreview();
        QObject::connect(&preview, &InstantPreview::previewShown, [&](FramePointer image) {
            shown << QStringLiteral("%1 %2").arg(rig.timers.now().count()).arg(image ? "photo" : "black");
        });
        QObject::connect(&preview, &InstantPreview::previewEnded,
                         [&] { shown << QStringLiteral("%1 live").arg(rig.timers.now().count()); });
        post(DCNote::DCAppWillSnapshotNotification, {},
             {{DCKey::Image, QVariant::fromValue<FramePointer>(frame)}});
        post(DCNote::DCAppWillSnapshotNotification); // a second one during the preview changes nothing
        rig.timers.advance(Ms(10000));
        EXPECT_EQ(shown, c.expected) << c.setting;
    }
}

TEST(MainWindowReactions, InstantPreviewSettingIsWrittenWhenAbsentAndFollowsThePreferences) {
    WindowModelRig rig;
    rig.reactions->windowDidLoad();
    EXPECT_EQ(rig.defaults->integerForKey(DCDefaults::InstantPreview), 1);
    EXPECT_EQ(rig.reactions->instantPreview().holdTime(), std::chrono::seconds(2));
    post(DCNote::DCInstantPreviewDidChangeNotification, {}, {{DCKey::InstantPreview, 2}});
    EXPECT_EQ(rig.reactions->instantPreview().holdTime(), std::chrono::seconds(4));
    post(DCNote::DCInstantPreviewDidChangeNotification, {}, {{DCKey::InstantPreview, 7}});
    EXPECT_EQ(rig.reactions->instantPreview().holdTime(), std::chrono::seconds(4));
    // No preview in review mode: the live picture is not in the window there.
    rig.window->setMode(WindowMode::Review);
    post(DCNote::DCAppWillSnapshotNotification);
    EXPECT_FALSE(rig.reactions->instantPreview().isShowing());
}

// Also when the photo arrives while the library is still loading: the first row is selected when the
// load ends only if nothing else was selected by then.
TEST(MainWindowReactions, ANewPhotoIsSelectedInReviewModeAtOnceOrAtTheNextEntry) {
    for (const bool duringLoad : {false, true}) {
        for (const WindowMode mode : {WindowMode::Review, WindowMode::Camera}) {
            SCOPED_TRACE(duringLoad);
            WindowModelRig rig;
            touch(rig.dir.filePath("a.jpg"));
            rig.defaults->setObject(rig.dir.path(), DCDefaults::PhotoLibraryLocation);
            rig.reactions->windowDidLoad();
            rig.window->setMode(mode);
            if (!duringLoad) {
                ASSERT_TRUE(waitUntil([&] { return !rig.library->isLoading(); }));
                ASSERT_EQ(rig.library->selectedRow(), 0);
            }
            touch(rig.dir.filePath("b.jpg"));
            post(DCNote::DCFileDidCreateNotification, fileAnnouncement(rig.dir.filePath("b.jpg")));
            ASSERT_TRUE(waitUntil([&] { return !rig.library->isLoading(); }));
            ASSERT_EQ(rig.library->rowCount(), 2);
            EXPECT_EQ(rig.library->selectedRow(), mode == WindowMode::Review ? 1 : 0);
            rig.window->setMode(WindowMode::Review);
            EXPECT_EQ(rig.library->selectedRow(), 1);
            EXPECT_EQ(rig.library->selectedItem()->name(), "b.jpg");
            // An announcement without a file adds nothing.
            post(DCNote::DCFileDidCreateNotification, QVariantMap());
            EXPECT_EQ(rig.library->rowCount(), 2);
        }
    }
}

TEST(MainWindowReactions, ANewLibraryFolderIsLoadedInAlbumOrderWithTheFirstSelected) {
    WindowModelRig rig;
    const QString folder = rig.dir.filePath("photos");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char *name : {"b.jpg", "A.jpg", "c.JPG", "d.mov", "e.txt"})
        touch(folder + "/" + name);
    post(DCNote::DCPhotoLibraryLocationDidChangeNotification, {}, {{DCKey::PhotoLibraryLocation, folder}});
    ASSERT_TRUE(waitUntil([&] { return !rig.library->isLoading(); }));
    QStringList names;
    for (int row = 0; row < rig.library->rowCount(); ++row)
        names << rig.library->itemAt(row)->name();
    EXPECT_EQ(names, QStringList({"A.jpg", "b.jpg", "d.mov"}));
    EXPECT_EQ(rig.library->itemAt(2)->type(), FileItem::Movie);
    EXPECT_EQ(rig.library->selectedRow(), 0);
    EXPECT_EQ(rig.reactions->baseDir(), folder);
}

TEST(MainWindowReactions, EachKindOfCameraGetsItsControlsTitleAndSettings) {
    struct Case {
        const char *kind;
        std::function<DCCameraPtr()> make;
        QString title;
        bool focusHidden;
        QList<Control> enabled;
        QList<Control> unavailable; // titled "Label: --" and disabled
        int resolutionItems;
        QString resolutionTitle; // empty: not checked
    };
    auto korva = std::make_shared<KorvaFixture<DCCameraWren>>(QStringLiteral("Wren"));
    auto uvc = std::make_shared<SimCameraFixture>();
    const QList<Control> all{Control::Zoom,     Control::Mirror,       Control::Timer, Control::Resolution,
                             Control::Exposure, Control::ExposureLock, Control::Focus};
    const Case cases[] = {
        {"korva", [&] { return korva->camera; }, "Korva Lectern - Wren", false, all, {}, 6, {}},
        {"uvc",
         [&] { return uvc->camera; },
         "Korva Lectern - " + uvc->camera->shortModel(),
         true,
         {Control::Zoom, Control::Mirror, Control::Timer, Control::Resolution},
         {Control::Exposure, Control::ExposureLock},
         static_cast<int>(DCUVCCamera::supportedResolutions().size()),
         {}},
        {"network",
         [] { return DCNetCamera::camera(); },
         "Korva Lectern - Unknown",
         true,
         {Control::Zoom, Control::Mirror, Control::Timer},
         {},
         0,
         {}},
        {"none",
         [] { return DCCameraPtr(); },
         "Korva Lectern",
         true,
         {},
         {Control::Resolution, Control::Mirror, Control::Zoom, Control::Timer, Control::Exposure,
          Control::ExposureLock},
         0,
         "Resolution: --"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        WindowModelRig rig;
        rig.defaults->setInteger(1, DCDefaults::Frequency);
        korva->forget();
        bool focusHidden = !c.focusHidden;
        QObject::connect(rig.reactions.get(), &MainWindowReactions::focusFunctionsHiddenChanged,
                         [&](bool hidden) { focusHidden = hidden; });
        rig.capture->setZoom(3.0f);

        rig.changeCamera(c.make());

        EXPECT_EQ(rig.window->title(), c.title);
        EXPECT_EQ(focusHidden, c.focusHidden);
        for (const Set set : {Set::Toolbar, Set::Overlay}) {
            for (const Control control : all) {
                const ToolbarControlState &state = rig.control(set, control);
                if (c.enabled.contains(control)) {
                    EXPECT_TRUE(state.enabled) << int(control);
                }
                if (c.unavailable.contains(control)) {
                    EXPECT_FALSE(state.enabled) << int(control);
                    EXPECT_EQ(state.title, ToolbarControlSets::label(control) + ": --");
                }
            }
            EXPECT_EQ(rig.control(set, Control::Resolution).items.size(), c.resolutionItems);
            if (!c.resolutionTitle.isEmpty()) {
                EXPECT_EQ(rig.control(set, Control::Resolution).title, c.resolutionTitle);
            }
        }
        // A camera without picture sizes of its own leaves the pipeline's size as it was.
        EXPECT_FALSE(rig.capture->resolution().isEmpty());
        if (!c.make()) {
            EXPECT_FALSE(rig.control(Set::Toolbar, Control::Focus).enabled);
            EXPECT_FLOAT_EQ(rig.capture->zoom(), 1.0f);
        }
    }
    // The Korva camera got the power frequency of the preferences.
    EXPECT_EQ(korva->hid().powerFrequency(), 1);
}

TEST(MainWindowReactions, AKorvaCameraFocusesAndTakesItsPictureValuesASecondLater) {
    WindowModelRig rig;
    KorvaFixture<DCCameraWren> wren(QStringLiteral("Wren"));
    int selfFocus = 0;
    DCObserverSet observers;
    observers.add(DCNote::DCNotificationCameraWillBeginSelfAutoFocus,
                  [&](const DCNotification &) { ++selfFocus; });
    rig.changeCamera(wren.camera);
    wren.forget();
    rig.timers.advance(MainWindowReactions::kAutoFocusDelay - Ms(1));
    EXPECT_EQ(wren.hid().focusAgainCount(), 0);
    EXPECT_TRUE(wren.sim->records().empty());
    rig.timers.advance(Ms(1));
    EXPECT_GT(wren.hid().focusAgainCount(), 0);
    EXPECT_GT(selfFocus, 0);
    EXPECT_FALSE(wren.sim->records().empty()); // the picture values went to the camera
}

TEST(MainWindowReactions, RelaysReachTheOverlayThePictureAndTheControls) {
    WindowModelRig rig;
    KorvaFixture<DCCameraWren> wren(QStringLiteral("Wren"));
    rig.changeCamera(wren.camera);
    QStringList relayed;
    QObject::connect(rig.reactions.get(), &MainWindowReactions::timerTickChanged,
                     [&](int s) { relayed << QStringLiteral("tick %1").arg(s); });
    QObject::connect(rig.reactions.get(), &MainWindowReactions::focusModeChanged,
                     [&](int m) { relayed << QStringLiteral("focus %1").arg(m); });
    post(DCNote::DCCaptureWillUpdateTimerNotification, {}, {{DCKey::DevTimerValue, 3}});
    post(DCNote::DCCaptureDidInvalidateTimerNotification);
    post(DCNote::DCCaptureFocusDidSetContinousNotification);
    post(DCNote::DCCaptureFocusDidSetSingleNotification);
    EXPECT_EQ(relayed, QStringList({"tick 3", "tick -1", "focus 2", "focus 1"}));

    post(DCNote::DCCaptureWillMirrorNotification); // the programmable button
    EXPECT_TRUE(rig.capture->hFlipped());
    post(DCNote::DCCaptureViewWillUpdateExposureNotification, {}, {{DCKey::DevExposureValue, 5}});
    EXPECT_EQ(rig.control(Set::Overlay, Control::Exposure).selectedIndex, 5);
    EXPECT_EQ(rig.control(Set::Toolbar, Control::Exposure).title, "Exposure: 5");
    post(DCNote::CameraFrequencyDidChangeNotification, {}, {{DCKey::CameraFrequencySet, true}});
    EXPECT_EQ(wren.hid().powerFrequency(), 1);
}

TEST(MainWindowReactions, ACameraChangeFromAnotherThreadIsHandledBeforeItsPostReturns) {
    WindowModelRig rig;
    auto camera = DCNetCamera::camera();
    rig.current = camera;
    std::atomic<bool> returned{false};
    std::thread poster([&] {
        post(DCNote::DCCameraDidChange, {}, {{DCKey::NewCamera, QVariant::fromValue<DCCameraPtr>(camera)}});
        returned = true;
    });
    EXPECT_TRUE(waitUntil([&] { return returned.load(); }));
    poster.join();
    EXPECT_EQ(rig.window->title(), "Korva Lectern - Unknown");
}

TEST(MainWindowReactions, APosterWaitingForTheWindowIsReleasedWhenTheWindowGoes) {
    WindowModelRig rig;
    std::atomic<bool> returned{false};
    std::thread poster([&] {
        post(DCNote::DCCameraDidChange);
        returned = true;
    });
    // The main thread does not turn its event loop, so the change stays queued; the models go instead.
    std::this_thread::sleep_for(Ms(50));
    EXPECT_FALSE(returned.load());
    rig.reactions.reset();
    poster.join();
    EXPECT_TRUE(returned.load());
}
