#include "ui/model/PreferencesModel.h"

#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "capture/DCCamSettingController.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "devices/DCNetCamera.h"
#include "devices/KorvaFixture.h"
#include "devices/SimCameraFixture.h"
#include "devices/UvcControlTable.h"

using Pane = PreferencesModel::Pane;
using Picture = PreferencesModel::Picture;

namespace {

// The model over the real settings store and defaults file, with the cameras in the test's hand.
struct PreferencesRig {
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("defaults.json")};
    QList<DCCameraPtr> cameras;
    DCCameraPtr current;
    QList<DCCameraPtr> chosen; // what the model asked the camera controller to make current
    DCCamSettingController settings{defaults, [this] { return current; }, [](std::chrono::milliseconds) {}};
    PreferencesModel model{{[this] { return cameras; }, [this] { return current; },
                            [this](DCCameraPtr c) { chosen << c; }, &settings, &defaults,
                            [] { return QString(); }}};

    void makeCurrent(const DCCameraPtr &camera) {
        if (!cameras.contains(camera)) cameras << camera;
        current = camera;
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCCameraDidChange, {}, {{DCKey::NewCamera, QVariant::fromValue(camera)}});
    }
};

struct Posted {
    QString name;
    QVariant object;
    QVariantMap userInfo;
};

// Every notification posted while it lives.
struct PostLog {
    DCObserverSet observers;
    std::vector<Posted> posted;
    PostLog() {
        observers.add(QString(), [this](const DCNotification &n) {
            posted.push_back({n.name, n.object, n.userInfo});
        });
    }
};

} // namespace

TEST(PreferencesModel, CameraPickerAndSlidersFollowTheCurrentCamera) {
    PreferencesRig rig;
    rig.model.loadDefaults();
    EXPECT_EQ(rig.model.cameraItems(), QStringList{"No available cameras"});
    EXPECT_FALSE(rig.model.camerasEnabled());
    for (int i = 0; i < PreferencesModel::kPictureCount; ++i)
        EXPECT_FALSE(rig.model.slider(static_cast<Picture>(i)).enabled) << i;

    // A camera without a brightness control: that slider alone is off, and moving it does nothing.
    SimCameraFixture uvc(false);
    uvc.sim->removeControl(UvcControlTable::kProcessingUnit, 0x02);
    uvc.camera->prepareToWorkWithDevice(std::make_shared<SimUsbDevice>(uvc.sim));
    rig.makeCurrent(uvc.camera);
    EXPECT_TRUE(rig.model.camerasEnabled());
    EXPECT_EQ(rig.model.selectedCamera(), 0);
    EXPECT_FALSE(rig.model.slider(Picture::Brightness).enabled);
    rig.model.setPicture(Picture::Brightness, 10);
    const auto contrast = rig.model.slider(Picture::Contrast);
    EXPECT_TRUE(contrast.enabled);
    EXPECT_EQ(std::make_tuple(contrast.minimum, contrast.maximum, contrast.value),
              std::make_tuple(0, 64, 32));

    // A value beyond the range reaches the camera at the range's end; defaults bring the camera's back.
    rig.model.setPicture(Picture::Contrast, 500);
    EXPECT_EQ(uvc.camera->contrast(), 64);
    rig.model.setPicture(Picture::Hue, -30); // signed
    rig.model.setDefaultImageAdjustment();
    EXPECT_EQ(uvc.camera->contrast(), 32);
    EXPECT_EQ(uvc.camera->hue(), 0);
    EXPECT_EQ(rig.model.slider(Picture::Contrast).value, 32);
}

TEST(PreferencesModel, ChoosingTheCurrentCameraRestartsItsPictureAnotherOneIsMadeCurrent) {
    PreferencesRig rig;
    SimCameraFixture first, second;
    rig.cameras = {first.camera, second.camera};
    rig.makeCurrent(first.camera);
    PostLog log;
    rig.model.selectCamera(0);
    rig.model.selectCamera(5); // not a camera: nothing
    ASSERT_EQ(log.posted.size(), 1u);
    EXPECT_EQ(log.posted[0].name, DCNote::DCNotificationCommandRestartCaptureView);
    EXPECT_EQ(log.posted[0].object.value<QObject *>(), &rig.model);
    EXPECT_TRUE(rig.chosen.isEmpty());
    rig.model.selectCamera(1);
    EXPECT_EQ(rig.chosen, QList<DCCameraPtr>{second.camera});
}

TEST(PreferencesModel, ANetworkCameraTakesTheImagePaneAndTheFrequencyAUsbCameraGivesThemBack) {
    PreferencesRig rig;
    SimCameraFixture uvc;
    rig.makeCurrent(uvc.camera);
    rig.model.loadDefaults();
    rig.model.changePreferenceView(Pane::ImageAdjustment);
    EXPECT_EQ(rig.defaults.stringForKey(DCDefaults::PreferencesItemSaved), "ImagePreferencesToolbarItem");

    rig.makeCurrent(DCNetCamera::camera());
    EXPECT_EQ(rig.model.panes(), (QList<Pane>{Pane::General, Pane::System}));
    EXPECT_EQ(rig.model.shownPane(), Pane::General);
    EXPECT_FALSE(rig.model.frequencyEnabled());
    rig.model.changePreferenceView(Pane::ImageAdjustment); // no longer offered
    EXPECT_EQ(rig.model.shownPane(), Pane::General);

    rig.makeCurrent(uvc.camera);
    EXPECT_EQ(rig.model.panes().indexOf(Pane::ImageAdjustment), 1);
    EXPECT_TRUE(rig.model.frequencyEnabled());
    // The pane the user chose last comes back at the next opening.
    rig.model.loadDefaults();
    EXPECT_EQ(rig.model.shownPane(), Pane::ImageAdjustment);
}

TEST(PreferencesModel, FirmwareIsShownAsTwoLowerCaseHexDigitsPerByte) {
    PreferencesRig rig;
    EXPECT_EQ(rig.model.firmwareText(), "0000");
    KorvaFixture<> korva(QStringLiteral("Wren-HD"), false);
    auto properties = korva.sim->properties();
    properties.bcdDevice = 0x0A05;
    korva.sim->setProperties(properties);
    korva.prepare();
    rig.makeCurrent(korva.camera);
    EXPECT_EQ(rig.model.firmwareText(), "0a05");
}

TEST(PreferencesModel, EachChoiceIsStoredAndAnnouncedUnderItsKey) {
    struct Case {
        const char *what;
        std::function<void(PreferencesModel &)> change;
        QString key;
        QVariant stored;
        QString notification;
        QVariantMap userInfo;
    };
    const Case cases[] = {
        {"focus sound",
         [](auto &m) { m.toggleFocusSoundEffect(false); },
         DCDefaults::FocusSoundEffectSwitch,
         false,
         DCNote::DCFocusSoundEffectDidChangeNotification,
         {{DCKey::FocusSoundEffectSwitch, false}}},
        {"snapshot sound",
         [](auto &m) { m.toggleSnapshotSoundEffect(true); },
         DCDefaults::SnapshotSoundEffectSwitch,
         true,
         DCNote::DCSnapshotSoundEffectDidChangeNotification,
         {{DCKey::SnapshotSoundEffectSwitch, true}}},
        {"streaming",
         [](auto &m) { m.toggleVideoStreamer(true); },
         DCDefaults::VideoStreamSet,
         true,
         DCNote::VideoStreamSetDidChangeNotification,
         {{DCKey::VideoStreamSet, true}}},
        // Stored as the column, announced as a switch under a key that is no defaults key.
        {"frequency",
         [](auto &m) { m.setFrequency(1); },
         DCDefaults::Frequency,
         1,
         DCNote::CameraFrequencyDidChangeNotification,
         {{DCKey::CameraFrequencySet, true}}},
        {"instant preview",
         [](auto &m) { m.setInstantTimer(2); },
         DCDefaults::InstantPreview,
         2,
         DCNote::DCInstantPreviewDidChangeNotification,
         {{DCKey::InstantPreview, 2}}},
        {"keep settings",
         [](auto &m) { m.setKeepCameraSet(1); },
         DCDefaults::KeepCameraSet,
         1,
         DCNote::DCKeepCameraSetDidChangeNotification,
         {{DCKey::KeepCameraSet, 1}}},
        {"button function",
         [](auto &m) { m.setFunction(3); },
         DCDefaults::ProgramKeyFunction,
         3,
         DCNote::DCProgramKeyFunctionDidChangeNotification,
         {{DCKey::ProgramKeyFunction, 3}}},
        {"name format",
         [](auto &m) { m.setPhotoNameFormat(1, "Lab"); },
         DCDefaults::PhotoNameFormatSel,
         1,
         DCNote::DCPhotoNameFormatSelDidChangeNotification,
         {{DCKey::PhotoNameFormatSel, 1}, {DCKey::PhotoNameFormatSelPrefix, "Lab"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PreferencesRig rig;
        rig.model.loadDefaults();
        PostLog log;
        c.change(rig.model);
        ASSERT_EQ(log.posted.size(), 1u);
        EXPECT_EQ(log.posted[0].name, c.notification);
        EXPECT_FALSE(log.posted[0].object.isValid());
        EXPECT_EQ(log.posted[0].userInfo, c.userInfo);
        EXPECT_EQ(UserDefaults(rig.defaults.filePath()).objectForKey(c.key), c.stored);
    }
    // Choices the controls do not have are not stored or announced.
    PreferencesRig rig;
    PostLog log;
    rig.model.setFrequency(2);
    rig.model.setInstantTimer(-1);
    rig.model.setFunction(4);
    EXPECT_TRUE(log.posted.empty());
}

TEST(PreferencesModel, APrefixIsAnnouncedOnceWithTheStoredFormat) {
    PreferencesRig rig;
    rig.defaults.setInteger(1, DCDefaults::PhotoNameFormatSel);
    rig.defaults.setObject(QStringLiteral("Old"), DCDefaults::PhotoNameFormatSelPrefix);
    rig.model.loadDefaults();
    PostLog log;
    rig.model.setPhotoNameFormat(std::nullopt, "Old"); // focus left an unchanged field
    rig.model.setPhotoNameFormat(std::nullopt, "Lab");
    rig.model.setPhotoNameFormat(std::nullopt, "Lab");
    ASSERT_EQ(log.posted.size(), 1u);
    EXPECT_EQ(log.posted[0].userInfo,
              (QVariantMap{{DCKey::PhotoNameFormatSel, 1}, {DCKey::PhotoNameFormatSelPrefix, "Lab"}}));
    EXPECT_EQ(rig.defaults.stringForKey(DCDefaults::PhotoNameFormatSelPrefix), "Lab");
}

TEST(PreferencesModel, StoredValuesOfTheWrongTypeOrRangeShowTheDefaultAndStayStored) {
    PreferencesRig rig;
    const QVariantMap bad{{DCDefaults::InstantPreview, 7},
                          {DCDefaults::Frequency, QStringLiteral("60")},
                          {DCDefaults::KeepCameraSet, 0.5},
                          {DCDefaults::ProgramKeyFunction, -1},
                          {DCDefaults::FocusSoundEffectSwitch, QVariantList{1}},
                          {DCDefaults::PhotoLibraryLocation, 42},
                          {DCDefaults::PreferencesItemSaved, QStringLiteral("NoSuchPane")}};
    for (auto it = bad.begin(); it != bad.end(); ++it)
        rig.defaults.setObject(it.value(), it.key());
    rig.model.loadDefaults();
    EXPECT_EQ(rig.model.instantPreview(), 1);
    EXPECT_EQ(rig.model.frequency(), 0);
    EXPECT_EQ(rig.model.keepCameraSet(), 0);
    EXPECT_EQ(rig.model.programKeyFunction(), 0);
    EXPECT_TRUE(rig.model.focusSoundEffect());
    EXPECT_EQ(rig.model.libraryPath(), "");
    EXPECT_EQ(rig.model.shownPane(), Pane::General);
    for (auto it = bad.begin(); it != bad.end(); ++it)
        EXPECT_EQ(rig.defaults.objectForKey(it.key()), it.value()) << qPrintable(it.key());
    // Whole numbers read back from the file as doubles are good values.
    rig.defaults.setObject(2.0, DCDefaults::InstantPreview);
    EXPECT_EQ(rig.model.instantPreview(), 2);
}

TEST(PreferencesModel, OnlyAWritableFolderBecomesTheLibrary) {
    PreferencesRig rig;
    const QString good = rig.dir.filePath("photos");
    QDir().mkpath(good);
    QFile file(rig.dir.filePath("file.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    rig.defaults.setObject(good, DCDefaults::PhotoLibraryLocation);
    rig.model.loadDefaults();
    PostLog log;
    QStringList bad{rig.dir.filePath("missing"), file.fileName(), ""};
    const QString locked = rig.dir.filePath("locked");
    QDir().mkpath(locked);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    if (geteuid() != 0) bad << locked; // the administrator writes anywhere
    for (const QString &folder : bad) {
        EXPECT_FALSE(rig.model.setPhotoLibraryLocation(folder).isEmpty()) << qPrintable(folder);
        EXPECT_EQ(rig.model.libraryPath(), good);
    }
    EXPECT_TRUE(log.posted.empty());
    EXPECT_EQ(rig.defaults.stringForKey(DCDefaults::PhotoLibraryLocation), good);
    EXPECT_EQ(QDir(good).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());

    const QString other = rig.dir.filePath("other");
    QDir().mkpath(other);
    EXPECT_EQ(rig.model.setPhotoLibraryLocation(other + "/"), "");
    ASSERT_EQ(log.posted.size(), 1u);
    EXPECT_EQ(log.posted[0].userInfo, (QVariantMap{{DCKey::PhotoLibraryLocation, other}}));
    EXPECT_EQ(UserDefaults(rig.defaults.filePath()).stringForKey(DCDefaults::PhotoLibraryLocation), other);
    EXPECT_EQ(QDir(other).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}
