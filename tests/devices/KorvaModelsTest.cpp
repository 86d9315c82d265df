#include <cerrno>

#include <gtest/gtest.h>

#include "KorvaFixture.h"
#include "core/DCVocabulary.h"
#include "devices/DCCameraKite_1.h"
#include "devices/DCCameraOrb.h"
#include "devices/DCCameraOrb_R.h"
#include "devices/DCCameraWren.h"
#include "devices/DCCameraWrenHD.h"
#include "devices/DCProductTable.h"
#include "support/TestSupport.h"

namespace {

template <class Camera>
void expectExposureSteps(const QString &model, int last, const std::vector<uint8_t> &iris) {
    SCOPED_TRACE(model.toStdString());
    KorvaFixture<Camera> f(model);
    // What the camera says it takes is what it takes.
    EXPECT_EQ(f.camera->exposureMin(), 1);
    EXPECT_EQ(f.camera->exposureMax(), last);
    for (int step = 1; step <= last; ++step)
        EXPECT_TRUE(f.camera->setExposure(step)) << step;
    std::vector<Bytes> expected;
    for (uint8_t v : iris)
        expected.push_back({0x02, 0x06, v, 0, 0});
    EXPECT_EQ(f.sent(), expected);
    f.forget();
    LogCapture log;
    EXPECT_FALSE(f.camera->setExposure(0));
    EXPECT_FALSE(f.camera->setExposure(last + 1));
    EXPECT_FALSE(f.camera->setExposure(-1));
    EXPECT_TRUE(f.sent().empty());
    EXPECT_TRUE(log.contains(QStringLiteral("invalid value of setIris: 0")));
    EXPECT_TRUE(log.contains(QStringLiteral("invalid value of setIris: %1").arg(last + 1)));
    EXPECT_TRUE(
        log.contains(QStringLiteral("invalid value of setIris: 65535"))); // printed as unsigned 16-bit
}

} // namespace

TEST(KorvaModels, IdentityCapabilitiesAndDefaults) {
    struct Row {
        std::shared_ptr<DCCameraKorva> camera;
        uint32_t productId;
        const char *model;
        const char *shortModel;
        bool lock;
        bool whiteBalance;
        int32_t exposureDef;
    };
    const std::vector<Row> rows{
        {DCCameraOrb::camera(), 0x0204, "Korva Orbit", "Orb", false, false, 3},
        {DCCameraOrb_R::camera(), 0x0208, "Korva Orbit", "Orb", false, false, 3},
        {DCCameraWren::camera(), 0x0205, "Korva Wren", "Wren", true, false, 8},
        {DCCameraWrenHD::camera(), 0x0206, "Korva Wren-HD", "Wren-HD", true, true, 8},
        {DCCameraKite_1::camera(), 0x0207, "Korva Kite-1 HD", "Kite-1 HD", true, false, 8},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.model);
        const auto &c = row.camera;
        EXPECT_EQ(c->productId(), row.productId);
        EXPECT_EQ(c->vendorId(), 0x1778u);
        EXPECT_EQ(c->model(), QString::fromLatin1(row.model));
        EXPECT_EQ(c->shortModel(), QString::fromLatin1(row.shortModel)); // the two Orbs share settings
        EXPECT_EQ(c->isAELockSupported(), row.lock);
        EXPECT_EQ(c->isWhiteBalanceAdjustable(), row.whiteBalance);
        EXPECT_EQ(c->exposureDef(), row.exposureDef);
        EXPECT_EQ(c->capabilities(), row.lock ? 0x3Fu : 0x1Fu);
    }
}

TEST(KorvaModels, DiscoveryMakesTheModelOfEachTraitsRow) {
    for (const KorvaModelTraits *row : KorvaModels::kAll) {
        SCOPED_TRACE(row->model);
        const auto product = DCProductTable::lookup(DCCameraKorva::kVendorId, row->productId);
        ASSERT_TRUE(product);
        const auto camera = std::dynamic_pointer_cast<DCCameraKorvaModel>(product->camera());
        ASSERT_TRUE(camera);
        EXPECT_EQ(&camera->traits(), row);
        EXPECT_EQ(camera->productId(), row->productId);
    }
}

TEST(KorvaModels, ManualFocusIsAddedWhenTheFocusRangeIsReadable) {
    KorvaFixture<DCCameraOrb> orb(QStringLiteral("Orb"));
    EXPECT_EQ(orb.camera->capabilities(), 0x5Fu);
    KorvaFixture<DCCameraWren> wren(QStringLiteral("Wren"), false);
    wren.sim->removeControl(1, 0x06);
    wren.prepare();
    EXPECT_EQ(wren.camera->capabilities(), 0x3Fu);
    // The attached device's own product ID wins over the class's.
    EXPECT_EQ(wren.camera->productId(), 0x0205u);
}

TEST(KorvaModels, ExposureStepsBecomeTheModelsIrisValues) {
    expectExposureSteps<DCCameraOrb>(QStringLiteral("Orb"), 5, {9, 7, 5, 4, 3});
    expectExposureSteps<DCCameraOrb_R>(QStringLiteral("Orb-R"), 5, {15, 12, 10, 6, 3});
    const std::vector<uint8_t> sameAsStep{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    expectExposureSteps<DCCameraWren>(QStringLiteral("Wren"), 15, sameAsStep);
    expectExposureSteps<DCCameraWrenHD>(QStringLiteral("Wren-HD"), 15, sameAsStep);
    expectExposureSteps<DCCameraKite_1>(QStringLiteral("Kite-1 HD"), 15, sameAsStep);
}

TEST(KorvaModels, ExposureTablesAndTheirInverse) {
    EXPECT_EQ(DCCameraOrb::exposureIndexToValue(0), 9);
    EXPECT_EQ(DCCameraOrb::exposureIndexToValue(4), 3);
    EXPECT_EQ(DCCameraOrb::exposureIndexToValue(5), 5);
    EXPECT_EQ(DCCameraOrb::exposureIndexToValue(-1), 5);
    EXPECT_EQ(DCCameraOrb_R::exposureIndexToValue(3), 6);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(DCCameraOrb::exposureValueToIndex(DCCameraOrb::exposureIndexToValue(i)), i);
        EXPECT_EQ(DCCameraOrb_R::exposureValueToIndex(DCCameraOrb_R::exposureIndexToValue(i)), i);
    }
    EXPECT_EQ(DCCameraOrb::exposureValueToIndex(15), -1);
    EXPECT_EQ(DCCameraOrb_R::exposureValueToIndex(9), -1);
}

TEST(KorvaModels, AFailedIrisCommandFailsTheStep) {
    KorvaFixture<DCCameraOrb_R> f(QStringLiteral("Orb-R"));
    f.hid().failTransfers(-EPIPE);
    LogCapture log;
    EXPECT_FALSE(f.camera->setExposure(4));
    EXPECT_TRUE(log.contains(QStringLiteral("korvaSetIris failed")));
    EXPECT_EQ(f.hid().records().back().data, (Bytes{0x02, 0x06, 0x06, 0, 0}));
}

TEST(KorvaModels, AutoFocusOnAStalledRequest) {
    auto stalled = [](auto &f) {
        f.sim->stall({UvcRequest::GET_CUR, 0x08, 1});
        return f.camera->autoFocus();
    };
    KorvaFixture<DCCameraWrenHD> wrenHD(QStringLiteral("Wren-HD"));
    KorvaFixture<DCCameraKite_1> kite(QStringLiteral("Kite-1 HD"));
    KorvaFixture<DCCameraOrb_R> orbR(QStringLiteral("Orb-R"));
    KorvaFixture<DCCameraOrb> orb(QStringLiteral("Orb"));
    KorvaFixture<DCCameraWren> wren(QStringLiteral("Wren"));
    EXPECT_TRUE(stalled(wrenHD));
    EXPECT_FALSE(stalled(kite));
    EXPECT_FALSE(stalled(orbR));
    EXPECT_TRUE(stalled(orb));
    EXPECT_TRUE(stalled(wren));
    // With an answer, the device's byte decides.
    KorvaFixture<DCCameraWrenHD> off(QStringLiteral("Wren-HD"));
    off.sim->setControl(1, 0x08, {2, 0, 0, 1, 1});
    EXPECT_FALSE(off.camera->autoFocus());
}

TEST(KorvaModels, StatusAnnouncementsInOrder) {
    const QString e = DCNote::DCNotificationReportExposure;
    const QString l = DCNote::DCNotificationReportFocusLength;
    const QString a = DCNote::DCNotificationReportFocusAuto;
    const std::vector<std::pair<std::shared_ptr<DCCameraKorva>, QStringList>> rows{
        {DCCameraOrb::camera(), {}},           {DCCameraOrb_R::camera(), {l, a}},
        {DCCameraWren::camera(), {e}},         {DCCameraWrenHD::camera(), {e, l, a}},
        {DCCameraKite_1::camera(), {e, l, a}},
    };
    for (const auto &[camera, expected] : rows) {
        SCOPED_TRACE(camera->model().toStdString());
        NotificationLog notes({e, l, a});
        camera->updateStatus();
        EXPECT_EQ(notes.names(), expected);
        for (const auto &entry : notes.entries)
            EXPECT_EQ(entry.object, camera);
    }
}

TEST(KorvaModels, PictureSizes) {
    const QStringList large = DCCameraKite_1::supportedResolutions();
    ASSERT_EQ(large.size(), 8);
    EXPECT_EQ(large.first(), QStringLiteral("{2592, 1944}"));
    EXPECT_EQ(large.last(), QStringLiteral("{640, 480}"));
    EXPECT_EQ(DCCameraKite_1::resolutionAtIndex(3), QSizeF(1600, 1200));
    EXPECT_EQ(DCCameraKite_1::indexOfDefaultResolution(), 3);
    EXPECT_EQ(DCCameraWrenHD::supportedResolutions(), large);
    EXPECT_EQ(DCCameraWrenHD::indexOfDefaultResolution(), 3);

    const QStringList korva = DCCameraKorva::supportedResolutions();
    ASSERT_EQ(korva.size(), 6);
    EXPECT_EQ(korva.first(), QStringLiteral("{1600, 1200}"));
    EXPECT_EQ(korva.last(), QStringLiteral("{320, 240}"));
    EXPECT_EQ(DCCameraKorva::indexOfDefaultResolution(), 2);
    for (const auto &camera : std::vector<std::shared_ptr<DCCamera>>{
             DCCameraOrb::camera(), DCCameraOrb_R::camera(), DCCameraWren::camera()}) {
        EXPECT_EQ(camera->classSupportedResolutions(), korva);
        EXPECT_EQ(camera->classIndexOfDefaultResolution(), 2);
    }
    EXPECT_EQ(DCCameraWrenHD::camera()->classSupportedResolutions(), large);
}
