#include "capture/DCCamSettingController.h"

#include <chrono>
#include <memory>
#include <vector>

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "devices/DCCameraKite_1.h"
#include "devices/DCCameraWrenHD.h"
#include "devices/UvcControlTable.h"
#include "devices/UvcRequest.h"
#include "devices/sim/SimCamera.h"
#include "devices/sim/SimUsbDevice.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

namespace {

constexpr uint8_t kPU = UvcControlTable::kProcessingUnit;

// A camera class prepared on a simulated camera of its model.
template <class Camera> struct SimBacked {
    std::shared_ptr<SimCamera> sim = std::make_shared<SimCamera>();
    std::shared_ptr<Camera> camera = Camera::camera();
    explicit SimBacked(const QString &model) {
        sim->setModel(model);
        camera->setSleeper([](Ms) {});
        camera->prepareToWorkWithDevice(std::make_shared<SimUsbDevice>(sim));
        sim->clearRecords();
        sim->hid().clearRecords();
    }
    ~SimBacked() { camera->prepareToDetatch(); }
    int32_t control(uint8_t selector) const { return sim->control(kPU, selector)->current; }
    // The exposure-lock values the camera was sent, in order.
    std::vector<int> lockReports() const {
        std::vector<int> out;
        for (const auto &r : sim->hid().outputReports())
            if (r.size() >= 3 && r[0] == 0x02 && r[1] == 0x05) out.push_back(r[2]);
        return out;
    }
};

struct StoreRig {
    QTemporaryDir dir;
    std::unique_ptr<UserDefaults> defaults = std::make_unique<UserDefaults>(dir.filePath("defaults.json"));
    DCCameraPtr current;
    std::vector<Ms> sleeps;

    std::unique_ptr<DCCamSettingController> make() {
        return std::make_unique<DCCamSettingController>(
            *defaults, [this] { return current; }, [this](Ms time) { sleeps.push_back(time); });
    }
    // The same file as a fresh process would read it.
    void reload() { defaults = std::make_unique<UserDefaults>(dir.filePath("defaults.json")); }
    QVariantMap entry(const QString &model) const {
        return defaults->dictionaryForKey(DCDefaults::Devices).value(model).toMap();
    }
    void store(const QString &model, const QVariantMap &values) {
        QVariantMap devices;
        devices.insert(model, values);
        defaults->setObject(devices, DCDefaults::Devices);
    }
};

struct NoteNames {
    QStringList names;
    DCObserverSet observers;
    NoteNames() {
        for (const QString &n :
             {DCNote::DCCamSettingWillRestoreNotification, DCNote::DCCamSettingDidRestoreNotification,
              DCNote::DCCamSettingDidSetToDefaultNotification,
              DCNote::DCCamSettingWillSetOurValueNotification,
              DCNote::DCCamSettingDidSetOurValueNotification})
            observers.add(n, [this](const DCNotification &note) { names << note.name; });
    }
};

} // namespace

TEST(DCCamSettingController, NothingStoredAppliesTheCameraDefaults) {
    StoreRig rig;
    SimBacked<DCCameraWrenHD> wren(QStringLiteral("Wren-HD"));
    rig.current = wren.camera;
    wren.sim->setControl(kPU, 0x02, {2, 20, -64, 64, 0}); // brightness moved away from its default
    wren.sim->setControl(kPU, 0x0B, {1, 0, 0, 1, 1});     // automatic white balance off
    NoteNames notes;
    auto store = rig.make();
    ASSERT_TRUE(store->restoreable());

    store->resetCameraParameters();

    EXPECT_EQ(wren.control(0x02), 0);
    EXPECT_EQ(wren.control(0x03), 32);
    EXPECT_EQ(wren.control(0x0A), 4600);
    EXPECT_EQ(wren.control(0x0B), 1);
    EXPECT_EQ(store->contrast(), 32);
    EXPECT_FLOAT_EQ(store->zoom(), 1.0f);
    EXPECT_EQ(store->resolution(), DCCameraWrenHD::indexOfDefaultResolution());
    EXPECT_TRUE(store->autoBrightness());
    EXPECT_EQ(store->exposure(), 8);
    EXPECT_EQ(wren.sim->hid().exposureLock(), 0);
    EXPECT_TRUE(rig.sleeps.empty()); // automatic exposure needs no settling
    EXPECT_EQ(notes.names, QStringList({DCNote::DCCamSettingWillRestoreNotification,
                                        DCNote::DCCamSettingDidRestoreNotification}));
    // Every value that was set is in the model's entry on disk.
    rig.reload();
    EXPECT_EQ(rig.entry("Wren-HD").value("Contrast").toInt(), 32);
    EXPECT_EQ(rig.entry("Wren-HD").value("Exposure").toInt(), 8);
}

TEST(DCCamSettingController, StoredValuesComeBackButZoomDoesNot) {
    StoreRig rig;
    SimBacked<DCCameraWrenHD> wren(QStringLiteral("Wren-HD"));
    rig.current = wren.camera;
    rig.store("Wren-HD", {{"Hue", -5},
                          {"Zoom", 2.0},
                          {"Timer", 3},
                          {"HFlipped", true},
                          {"Resolution", 2},
                          {"AutoBrightness", false},
                          {"Exposure", 5}});
    auto store = rig.make();

    store->resetCameraParameters();

    EXPECT_EQ(store->hue(), -5);
    EXPECT_EQ(wren.control(0x06), -5);
    EXPECT_FLOAT_EQ(store->zoom(), 1.0f);
    EXPECT_EQ(store->timer(), 3);
    EXPECT_TRUE(store->hFlipped());
    EXPECT_FALSE(store->vFlipped());
    EXPECT_EQ(store->resolution(), 2);
    EXPECT_FALSE(store->autoBrightness());
    EXPECT_EQ(store->exposure(), 5);
    EXPECT_EQ(wren.sim->hid().iris(), 5);
    // Manual exposure: unlock, settle, set, settle, lock.
    EXPECT_EQ(rig.sleeps, (std::vector<Ms>{250ms, 250ms}));
    EXPECT_EQ(wren.lockReports().back(), 1);
}

TEST(DCCamSettingController, KeepCameraSetOffGoesToDefaultsButKeepsPictureValues) {
    StoreRig rig;
    SimBacked<DCCameraWrenHD> wren(QStringLiteral("Wren-HD"));
    rig.current = wren.camera;
    rig.defaults->setInteger(1, DCDefaults::KeepCameraSet);
    rig.store("Wren-HD", {{"Hue", -5}, {"Timer", 3}, {"Resolution", 2}, {"AutoBrightness", false}});
    NoteNames notes;
    auto store = rig.make();
    ASSERT_FALSE(store->restoreable());

    store->resetCameraParameters();

    EXPECT_EQ(wren.control(0x06), -5);
    EXPECT_EQ(store->timer(), 0);
    EXPECT_EQ(store->resolution(), DCCameraWrenHD::indexOfDefaultResolution());
    EXPECT_TRUE(store->autoBrightness());
    EXPECT_EQ(notes.names, QStringList({DCNote::DCCamSettingDidSetToDefaultNotification}));
}

TEST(DCCamSettingController, HueKeepsItsSignThroughDiskAndRestore) {
    StoreRig rig;
    SimBacked<DCCameraWrenHD> wren(QStringLiteral("Wren-HD"));
    rig.current = wren.camera;
    rig.make()->setHue(-5);
    rig.reload();
    EXPECT_EQ(rig.entry("Wren-HD").value("Hue").toInt(), -5);
    wren.sim->setControl(kPU, 0x06, {2, 7, -40, 40, 0});

    auto store = rig.make();
    store->setImageAdjustments();
    EXPECT_EQ(store->hue(), -5);
    EXPECT_EQ(wren.control(0x06), -5);
}

TEST(DCCamSettingController, BrightnessIsTheCamerasSignedValueOrNotAvailable) {
    StoreRig rig;
    SimBacked<DCCameraWrenHD> wren(QStringLiteral("Wren-HD"));
    auto store = rig.make();
    EXPECT_EQ(store->brightness(), DCCamera::kNotAvailable); // no camera
    rig.current = wren.camera;
    wren.sim->setControl(kPU, 0x02, {2, -5, -64, 64, 0});
    EXPECT_EQ(store->brightness(), -5);
    wren.sim->stall({UvcRequest::GET_CUR, 0x02, kPU});
    EXPECT_EQ(store->brightness(), DCCamera::kNotAvailable);
}

TEST(DCCamSettingController, ExposureOutsideTheMakersFamilyIsOnlyStored) {
    StoreRig rig;
    auto sim = std::make_shared<SimCamera>();
    auto uvc = DCUVCCamera::camera();
    uvc->prepareToWorkWithDevice(std::make_shared<SimUsbDevice>(sim));
    sim->clearRecords();
    rig.current = uvc;
    auto store = rig.make();

    store->setExposure(4);

    EXPECT_EQ(store->exposure(), -1);
    EXPECT_TRUE(sim->records().empty());
    EXPECT_TRUE(sim->hid().records().empty());
    EXPECT_EQ(rig.entry(uvc->shortModel()).value("Exposure").toInt(), 4);
    uvc->prepareToDetatch();
}

TEST(DCCamSettingController, CamerasOfOneModelShareTheirEntry) {
    StoreRig rig;
    SimBacked<DCCameraWrenHD> first(QStringLiteral("Wren-HD"));
    SimBacked<DCCameraWrenHD> second(QStringLiteral("Wren-HD"));
    auto store = rig.make();
    rig.current = first.camera;
    store->setContrast(50);
    store->setTimer(10);

    rig.current = second.camera;
    store->setTimer(0);
    store->resetCameraParameters();

    EXPECT_EQ(second.control(0x03), 50);
    EXPECT_EQ(store->timer(), 0); // the second camera's own change went into the shared entry
    EXPECT_EQ(rig.defaults->dictionaryForKey(DCDefaults::Devices).keys(), QStringList({"Wren-HD"}));
}

TEST(DCCamSettingController, WrongStoredTypeIsReplacedByTheDefaultWithALogLine) {
    StoreRig rig;
    SimBacked<DCCameraWrenHD> wren(QStringLiteral("Wren-HD"));
    rig.current = wren.camera;
    QVariantMap devices;
    devices.insert("Wren-HD", "not an entry");
    devices.insert("Orb", QVariantMap{{"Timer", 5}});
    rig.defaults->setObject(devices, DCDefaults::Devices);
    LogCapture log;
    auto store = rig.make();

    store->resetCameraParameters();

    EXPECT_TRUE(log.contains("stored DCDevices/Wren-HD is not a dictionary"));
    EXPECT_TRUE(log.contains("not an entry"));
    EXPECT_EQ(rig.entry("Wren-HD").value("Contrast").toInt(), 32);
    EXPECT_EQ(rig.entry("Orb").value("Timer").toInt(), 5); // another model's entry is untouched

    rig.store("Wren-HD", {{"Timer", QVariantList{1, 2}}, {"Contrast", "forty"}, {"Saturation", 70}});
    store->resetCameraParameters();
    EXPECT_TRUE(log.contains("Timer is not a number (QVariantList \"[1,2]\")"));
    EXPECT_TRUE(log.contains("Contrast is not a number"));
    EXPECT_TRUE(log.contains("forty"));
    EXPECT_EQ(store->contrast(), 32);
    EXPECT_EQ(store->timer(), 0);
    EXPECT_EQ(wren.control(0x07), 70); // the good value beside them is applied
    EXPECT_EQ(rig.entry("Wren-HD").value("Contrast").toInt(), 32);

    rig.store("Wren-HD", {{"Contrast", 1e300}, {"Hue", -5}});
    store->resetCameraParameters();
    EXPECT_TRUE(log.contains("Contrast is out of range"));
    EXPECT_EQ(store->contrast(), 32);
    EXPECT_EQ(store->hue(), -5);

    rig.defaults->setObject(QStringLiteral("garbage"), DCDefaults::Devices);
    store->setTimer(3);
    EXPECT_TRUE(log.contains("stored DCDevices is not a dictionary (QString \"garbage\")"));
    EXPECT_EQ(rig.entry("Wren-HD").value("Timer").toInt(), 3);
}

TEST(DCCamSettingController, KiteRestoresManualExposureAfterASecondOfAutomatic) {
    StoreRig rig;
    SimBacked<DCCameraKite_1> kite(QStringLiteral("Kite-1 HD"));
    rig.current = kite.camera;
    rig.store("Kite-1 HD", {{"AutoBrightness", false}, {"Exposure", 3}});
    auto store = rig.make();

    store->restoreCameraModeSetting();

    EXPECT_EQ(rig.sleeps, (std::vector<Ms>{1000ms, 250ms, 250ms}));
    // automatic (unlock), manual (lock), then the exposure dance: unlock, lock.
    EXPECT_EQ(kite.lockReports(), (std::vector<int>{0, 1, 0, 1}));
}

TEST(DCCamSettingController, WithoutACameraFieldsChangeAndNothingIsWritten) {
    StoreRig rig;
    NoteNames notes;
    auto store = rig.make();
    store->setZoom(3.0f);
    store->setHFlipped(true);
    store->setToOurValues();
    store->setCameraModeToDefault();

    EXPECT_FLOAT_EQ(store->zoom(), 1.0f);
    EXPECT_TRUE(store->hFlipped());
    EXPECT_EQ(store->resolution(), 1); // no class default: the second size
    EXPECT_FALSE(rig.defaults->hasKey(DCDefaults::Devices));
    EXPECT_EQ(notes.names.size(), 3);
}

TEST(DCCamSettingController, CurrentExposureIsWrittenOnlyWhenItChanges) {
    StoreRig rig;
    SimBacked<DCCameraWrenHD> wren(QStringLiteral("Wren-HD"));
    rig.current = wren.camera;
    auto store = rig.make();
    store->setCurrentExposure(6);
    EXPECT_EQ(rig.entry("Wren-HD").value("Exposure").toInt(), 6);
    rig.store("Wren-HD", {});
    store->setCurrentExposure(6);
    EXPECT_FALSE(rig.entry("Wren-HD").contains("Exposure"));
    store->restoreCurrentExposure();
    EXPECT_EQ(wren.sim->hid().iris(), 6);
}
