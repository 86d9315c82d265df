#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <thread>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "KorvaFixture.h"
#include "core/DCVocabulary.h"
#include "devices/DCCameraKite_1.h"
#include "devices/DCCameraOrb.h"
#include "devices/DCCameraWren.h"
#include "devices/HidTransport.h"
#include "devices/KorvaReport.h"
#include "support/TestSupport.h"

namespace {

const QStringList kEventNotes{DCNote::DCNotificationSnapshot,
                              DCNote::DCNotificationCameraSetToSingleFocus,
                              DCNote::DCNotificationCameraDidBeginAutoFocus,
                              DCNote::DCNotificationCameraSetToContinueFocus,
                              DCNote::DCNotificationCameraDidEndAutoFocus,
                              DCNote::DCNotificationCameraCustomButton};

} // namespace

// Reports on the wire ----------------------------------------------------------------------------

TEST(KorvaReports, EveryCommandSendsItsBytesAsOutputReportTwo) {
    KorvaFixture<DCCameraWren> f(QStringLiteral("Wren"));
    LogCapture log;
    EXPECT_EQ(f.camera->korvaSetIris(7), 0);
    EXPECT_EQ(f.camera->korvaSetIris(0x0107), 0); // only the low byte travels
    EXPECT_EQ(f.camera->korvaSetPowerFrequency(1), 0);
    EXPECT_EQ(f.camera->korvaSetExposureLock(1), 0);
    EXPECT_EQ(f.camera->korvaForceFocusAgain(), 0);
    EXPECT_EQ(f.camera->korvaResetImage(), 0);
    const std::vector<Bytes> expected{{0x02, 0x06, 0x07, 0, 0}, {0x02, 0x06, 0x07, 0, 0},
                                      {0x02, 0x04, 0x01, 0, 0}, {0x02, 0x05, 0x01, 0, 0},
                                      {0x02, 0x4F, 0, 0, 0},    {0xFF, 0, 0, 0}};
    EXPECT_EQ(f.sent(), expected);
    for (const auto &r : f.hid().records())
        EXPECT_EQ(r.reportId, KorvaReport::kOutputReportId);
    EXPECT_EQ(f.hid().iris(), 8); // the reset put the device's default back
    EXPECT_EQ(f.hid().exposureLock(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("setReport with data [0x2, 0x6, 0x7, 0x0, 0x0]")));
    EXPECT_TRUE(log.contains(QStringLiteral("setReport with data [0x2, 0x4, 0x1, 0x0, 0x0]")));
    EXPECT_TRUE(log.contains(QStringLiteral("finished")));
    EXPECT_EQ(log.messages().filter(QStringLiteral("setReport ok")).size(), 2);
    EXPECT_TRUE(f.sleeps.empty());
}

TEST(KorvaReports, QueriesSendTheirReportThenReadByteOneOfInputReportOne) {
    KorvaFixture<> f;
    f.hid().setIris(9);
    f.hid().setPowerFrequency(2);
    LogCapture log;
    EXPECT_EQ(f.camera->korvaGetIris(), 9);
    EXPECT_EQ(f.camera->korvaGetPowerFrequency(), 2);
    EXPECT_EQ(f.sent(), (std::vector<Bytes>{{0x01, 0x00, 0x06, 0, 0}, {0x01, 0x00, 0x04, 0, 0}}));
    const auto records = f.hid().records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].reportId, KorvaReport::kInputReportId);
    EXPECT_EQ(records[1].data, (Bytes{0x01, 0x09, 0, 0, 0}));
    EXPECT_TRUE(log.contains(QStringLiteral("getReport: 0x2")));
    // The answer is one unsigned byte: never negative on success.
    f.hid().setIris(200);
    EXPECT_EQ(f.camera->korvaGetIris(), 200);
    EXPECT_EQ(f.camera->exposure(), 200);
}

TEST(KorvaReports, FocusModeQueryIsAnsweredOnceThenFromTheCache) {
    KorvaFixture<> f(QStringLiteral("Wren-HD"), false);
    f.hid().failTransfers(-EPIPE); // preparation cannot learn the mode
    f.prepare();
    EXPECT_EQ(f.camera->isContinousFocusMode(), -1);
    f.hid().failTransfers(0);
    f.hid().setFocusMode(0);
    LogCapture log;
    EXPECT_EQ(f.camera->autoFocusMode(), 1);
    EXPECT_EQ(f.sent(), (std::vector<Bytes>{{0x02, 0x00, 0x03, 0, 0}}));
    EXPECT_TRUE(log.contains(QStringLiteral("setReport with data [0x2, 0x0, 0x3, 0x0, 0x0]")));
    EXPECT_TRUE(log.contains(QStringLiteral("getReport data [0x1, 0x0, 0x0, 0x0, 0x0]")));
    f.hid().setFocusMode(1);
    EXPECT_EQ(f.camera->autoFocusMode(), 1); // cached: no second report
    EXPECT_EQ(f.sent().size(), 1u);
}

TEST(KorvaReports, PreparationReadsFirmwareAndFocusModeAndSeizesTheInterface) {
    KorvaFixture<> f(QStringLiteral("Wren-HD"), false);
    f.sim->setProperties({0x1778, 0x0206, 0xfa120000, 0x0107});
    LogCapture log;
    f.prepare();
    EXPECT_EQ(f.camera->firmwareVersion(), 0x0107);
    EXPECT_TRUE(log.contains(QStringLiteral("set up hidInterface ok")));
    EXPECT_TRUE(log.contains(QStringLiteral("update firmware version: 0x0107")));
    EXPECT_EQ(f.camera->hidControlInterfaceNumber(), SimHidDevice::kInterfaceNumber);
    EXPECT_TRUE(f.hid().seized());
    EXPECT_EQ(f.camera->isContinousFocusMode(), 1);
    EXPECT_EQ(f.camera->vendorId(), 0x1778u);

    f.camera->prepareToDetatch();
    EXPECT_FALSE(f.hid().seized());
    EXPECT_TRUE(log.contains(QStringLiteral("gHardwareInfo.hidInterface ready for release")));
    EXPECT_EQ(f.camera->korvaSetIris(3), -1);
    EXPECT_TRUE(f.sent().empty());
    EXPECT_TRUE(f.sleeps.empty()); // a detached device is not coming back
}

// Failures ----------------------------------------------------------------------------------------

TEST(KorvaFailures, StallsTimeOutsAndVanishingAnswerMinusOneWithTheirLines) {
    KorvaFixture<> f;
    LogCapture log;
    f.hid().failTransfers(-EPIPE);
    EXPECT_EQ(f.camera->korvaSetIris(3), -1);
    EXPECT_TRUE(log.contains(QStringLiteral("setReport failed: 0x20")));
    EXPECT_EQ(f.camera->korvaForceFocusAgain(), -1);
    EXPECT_FALSE(f.camera->resetImageControl());
    f.hid().failTransfers(-ETIMEDOUT);
    EXPECT_EQ(f.camera->korvaGetPowerFrequency(), -1);
    EXPECT_TRUE(log.contains(QStringLiteral("setReport failed: 0x6e")));
    EXPECT_EQ(f.camera->exposure(), DCCamera::kNotAvailable);
    f.hid().failTransfers(0);
    f.sim->vanish();
    EXPECT_EQ(f.camera->korvaSetPowerFrequency(1), -1);
    EXPECT_TRUE(log.contains(QStringLiteral("setReport failed: 0x13")));
    EXPECT_FALSE(f.camera->setExposureLock(true));
    EXPECT_TRUE(log.contains(QStringLiteral("korvaSetExposureLock failed")));
    EXPECT_FALSE(f.camera->focusAgain());
}

TEST(KorvaFailures, AQueryFailsWithEitherReportAndNeverAnswersFromAStaleInputReport) {
    // The device keeps the input report of an older question.
    struct HalfBroken : HidTransport {
        int setResult = -EPIPE;
        int getResult = 0;
        int reads = 0;
        uint16_t deviceReleaseNumber() const override { return 0; }
        uint8_t interfaceNumber() const override { return 0; }
        int seize() override { return 0; }
        int setReport(uint8_t, std::span<const uint8_t>, std::chrono::milliseconds) override {
            return setResult;
        }
        int getReport(uint8_t, std::span<uint8_t> out, std::chrono::milliseconds t) override {
            ++reads;
            EXPECT_EQ(t, DCCameraKorva::kReportTimeout);
            out[1] = 4;
            return getResult;
        }
        int startEvents(EventHandler) override { return 0; }
        void close() override {}
    };
    auto transport = std::make_shared<HalfBroken>();
    auto camera = DCCameraKorva::camera();
    camera->setHidDeviceInterface(transport);
    EXPECT_EQ(camera->korvaGetIris(), -1);
    EXPECT_EQ(camera->korvaGetPowerFrequency(), -1);
    EXPECT_EQ(camera->korvaCurrentFocusMode(), -1);
    EXPECT_EQ(camera->exposure(), DCCamera::kNotAvailable);
    EXPECT_EQ(transport->reads, 0);

    transport->setResult = 0;
    transport->getResult = -ETIMEDOUT;
    LogCapture log;
    EXPECT_EQ(camera->korvaGetIris(), -1);
    EXPECT_TRUE(log.contains(QStringLiteral("getReport failed: 0x6e")));
}

TEST(KorvaFailures, ACameraWhoseHidClaimFailsAnswersAtOnceSaysOnceWhatToDoAndPicksUpLaterAccess) {
    KorvaFixture<> f(QStringLiteral("Wren-HD"), false);
    f.hid().refuseClaim(-EACCES);
    LogCapture log;
    f.prepare();
    f.camera->setSleeper(nullptr); // were it to wait, it would wait for real
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(f.camera->exposure(), DCCamera::kNotAvailable);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(f.camera->korvaSetIris(3), -1);
    EXPECT_FALSE(f.camera->setExposureLock(true));
    EXPECT_TRUE(f.sent().empty());

    // The retries back off, and none of them adds to the one line that says what to do.
    for (int tick = 0; tick < 40; ++tick)
        f.camera->retryHidSetup();
    EXPECT_GE(f.hid().claimAttempts(), 3);
    EXPECT_LE(f.hid().claimAttempts(), 8);
    EXPECT_EQ(log.messages().filter(QStringLiteral("70-korva-lectern.rules")).size(), 1);

    f.hid().refuseClaim(0);
    for (int tick = 0; tick <= DCCameraKorva::kMaxHidRetryTicks && !f.camera->hidDeviceInterface(); ++tick)
        f.camera->retryHidSetup();
    ASSERT_TRUE(f.camera->hidDeviceInterface());
    EXPECT_TRUE(log.contains(QStringLiteral("is usable now")));
    f.hid().setIris(9);
    EXPECT_EQ(f.camera->exposure(), 9);
    f.camera->setActive(true);
    NotificationLog notes(kEventNotes);
    f.hid().injectEvent(0x0001);
    EXPECT_EQ(notes.names(), QStringList{DCNote::DCNotificationSnapshot});
    EXPECT_TRUE(f.sleeps.empty());
}

TEST(KorvaFailures, ACommandWaitsForAHidSetUpUnderWay) {
    // The HID interface opens only once the test lets it.
    struct SlowHid : SimUsbDevice {
        using SimUsbDevice::SimUsbDevice;
        std::promise<void> reached;
        std::shared_future<void> go;
        std::unique_ptr<HidTransport> openHid(int *error) override {
            reached.set_value();
            go.wait();
            return SimUsbDevice::openHid(error);
        }
    };
    KorvaFixture<> f(QStringLiteral("Wren-HD"), false);
    f.camera->setSleeper(nullptr);
    auto device = std::make_shared<SlowHid>(f.sim);
    std::promise<void> go;
    device->go = go.get_future().share();
    std::thread preparer([&] { f.camera->prepareToWorkWithDevice(device); });
    device->reached.get_future().wait();
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        go.set_value();
    });
    EXPECT_EQ(f.camera->korvaSetIris(3), 0);
    opener.join();
    preparer.join();
    ASSERT_FALSE(f.sent().empty());
    EXPECT_EQ(f.sent().back(), (Bytes{0x02, 0x06, 0x03, 0, 0}));
}

// Exposure lock -------------------------------------------------------------------------------------

TEST(KorvaExposureLock, RefusedWithoutSendingOnModelsWithoutItAndOnlyZeroOrOneIsSent) {
    KorvaFixture<DCCameraOrb> orb(QStringLiteral("Orb"));
    EXPECT_EQ(orb.camera->korvaSetExposureLock(1), -1);
    EXPECT_FALSE(orb.camera->setExposureLock(true));
    EXPECT_TRUE(orb.sent().empty());
    EXPECT_TRUE(orb.sleeps.empty());

    KorvaFixture<DCCameraWren> f(QStringLiteral("Wren"));
    LogCapture log;
    EXPECT_EQ(f.camera->korvaSetExposureLock(2), -1);
    EXPECT_TRUE(log.contains(QStringLiteral("not valid exposureLock value")));
    EXPECT_TRUE(f.sent().empty());
    EXPECT_TRUE(f.camera->setExposureLock(true));
    EXPECT_TRUE(f.camera->setExposureLock(false));
    EXPECT_EQ(f.sent(), (std::vector<Bytes>{{0x02, 0x05, 0x01, 0, 0}, {0x02, 0x05, 0x00, 0, 0}}));
}

// Focus again -------------------------------------------------------------------------------------

TEST(KorvaFocusAgain, TurnsAutoFocusOnFirstThenAnnouncesTheBegin) {
    KorvaFixture<DCCameraKite_1> f(QStringLiteral("Kite-1 HD"));
    f.sim->setControl(1, 0x08, {2, 0, 0, 1, 1}); // focus auto off
    NotificationLog notes({DCNote::DCNotificationCameraDidBeginAutoFocus});
    EXPECT_TRUE(f.camera->focusAgain());
    EXPECT_EQ(f.sim->control(1, 0x08)->current, 1);
    EXPECT_EQ(f.sent(), (std::vector<Bytes>{{0x02, 0x4F, 0, 0, 0}}));
    ASSERT_EQ(notes.entries.size(), 1u);
    EXPECT_EQ(notes.entries[0].object, f.camera);
}

// Events ------------------------------------------------------------------------------------------

TEST(KorvaEvents, EveryValueGivesItsLineStateAndNotification) {
    struct Row {
        uint32_t value;
        const char *line;
        QString note; // empty: none
        int32_t mode; // focus mode afterwards
    };
    const std::vector<Row> rows{
        {0x0001, "snapshot button", DCNote::DCNotificationSnapshot, -1},
        {0x0003, "to signal focus mode ", DCNote::DCNotificationCameraSetToSingleFocus, 0},
        {0x0102, "Focus begin ", DCNote::DCNotificationCameraDidBeginAutoFocus, 0},
        {0x0103, "to continuous focus mode ", DCNote::DCNotificationCameraSetToContinueFocus, 1},
        {0x0202, "Focus Done ", DCNote::DCNotificationCameraDidEndAutoFocus, 1},
        {0x0302, "custom button", DCNote::DCNotificationCameraCustomButton, 1},
        {0x0506, "report exposure value: 5", {}, 1},
        {0x0404, "error, unknow event value:0x404", {}, 1},
        {0x0000, "error, unknow event value:0x0", {}, 1},
        {0x10001, "error, unknow event value:0x10001", {}, 1},
    };
    KorvaFixture<> f(QStringLiteral("Wren-HD"), false);
    f.hid().failTransfers(-EPIPE); // the focus mode stays unknown until an event tells it
    f.prepare();
    f.hid().failTransfers(0);
    f.camera->setActive(true);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        LogCapture log;
        NotificationLog notes(kEventNotes);
        f.hid().injectEvent(row.value);
        EXPECT_EQ(log.messages().size(), 1) << log.messages().join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(log.contains(QString::fromLatin1(row.line)));
        if (row.note.isEmpty()) {
            EXPECT_TRUE(notes.entries.empty());
        } else {
            ASSERT_EQ(notes.entries.size(), 1u);
            EXPECT_EQ(notes.entries[0].name, row.note);
            EXPECT_EQ(notes.entries[0].object, f.camera);
            EXPECT_EQ(notes.entries[0].thread, QThread::currentThread());
        }
        EXPECT_EQ(f.camera->isContinousFocusMode(), row.mode);
    }
    // The events filled the focus-mode cache: the query is answered without a report.
    EXPECT_EQ(f.camera->autoFocusMode(), 2);
    f.hid().injectEvent(3);
    EXPECT_EQ(f.camera->autoFocusMode(), 1);
    EXPECT_TRUE(f.sent().empty());
}

TEST(KorvaEvents, EightEventsWaitWhileInactiveAndTheNewestIsDropped) {
    KorvaFixture<> f;
    NotificationLog notes(kEventNotes);
    LogCapture log;
    const std::vector<uint32_t> values{0x0001, 0x0102, 0x0202, 0x0302, 0x0106, 0x0206, 0x0306, 0x0406};
    for (uint32_t v : values)
        f.hid().injectEvent(v);
    f.hid().injectEvent(0x0003); // the ninth
    EXPECT_TRUE(notes.entries.empty());
    EXPECT_EQ(f.camera->waitingEventCount(), 8u);
    EXPECT_TRUE(log.contains(QStringLiteral("event queue full, event value:0x3 dropped")));

    f.camera->setActive(true);
    ASSERT_TRUE(waitUntil([&] { return f.camera->waitingEventCount() == 0; }));
    EXPECT_EQ(
        notes.names(),
        (QStringList{DCNote::DCNotificationSnapshot, DCNote::DCNotificationCameraDidBeginAutoFocus,
                     DCNote::DCNotificationCameraDidEndAutoFocus, DCNote::DCNotificationCameraCustomButton}));
    const QStringList exposures = log.messages().filter(QStringLiteral("report exposure value"));
    ASSERT_EQ(exposures.size(), 4);
    EXPECT_TRUE(exposures[0].endsWith(QStringLiteral("value: 1")));
    EXPECT_TRUE(exposures[3].endsWith(QStringLiteral("value: 4")));
    EXPECT_EQ(f.camera->isContinousFocusMode(), 1); // the dropped single-focus event never applied
}

TEST(KorvaEvents, ReportsOfAnotherLengthOrReportIdAreSkippedWithBoundedLines) {
    KorvaFixture<> f;
    f.camera->setActive(true);
    NotificationLog notes(kEventNotes);
    LogCapture log;
    f.hid().injectReport(Bytes{0x01, 0x01, 0, 0});
    f.hid().injectReport(Bytes{0x01, 0x01, 0, 0, 0, 0});
    f.hid().injectReport(Bytes{});
    EXPECT_TRUE(log.contains(QStringLiteral("get unknow event: 4")));
    EXPECT_TRUE(log.contains(QStringLiteral("get unknow event: 6")));
    EXPECT_TRUE(log.contains(QStringLiteral("get unknow event: 0")));
    // Well-formed snapshot values under other report IDs are not events.
    for (uint8_t id : {0, 2, 3})
        f.hid().injectReport(KorvaReport::eventReport(0x0001, id));
    EXPECT_TRUE(log.contains(QStringLiteral("skipped input report 2 (5 bytes): not an event report")));
    EXPECT_TRUE(notes.entries.empty());
    EXPECT_EQ(f.camera->waitingEventCount(), 0u);
    // A device that keeps sending them does not fill the log.
    for (int i = 0; i < 1000; ++i)
        f.hid().injectReport(KorvaReport::eventReport(0x0001, 2));
    EXPECT_LE(log.messages().size(), static_cast<int>(DCCameraKorva::kMaxLoggedUnusableReports) + 1);
    f.hid().injectEvent(0x0001);
    EXPECT_EQ(notes.names(), QStringList{DCNote::DCNotificationSnapshot});
}

TEST(KorvaEvents, EventsInjectedOnAnotherThreadArriveOnTheDeviceThreadAndNoneAfterDetach) {
    KorvaFixture<> f;
    f.camera->setActive(true);
    NotificationLog notes(kEventNotes);
    std::thread button([&f] { f.hid().injectEvent(0x0001); });
    button.join();
    ASSERT_TRUE(waitUntil([&] { return !notes.entries.empty(); }));
    EXPECT_EQ(notes.entries[0].thread, QThread::currentThread());

    f.camera->prepareToDetatch();
    f.hid().injectEvent(0x0001);
    QCoreApplication::processEvents();
    EXPECT_EQ(notes.entries.size(), 1u);
}

// The event report format -------------------------------------------------------------------------

TEST(KorvaEventReport, ValueIsLittleEndianAfterTheReportId) {
    const auto report = KorvaReport::eventReport(0x0A0B0C0D);
    EXPECT_EQ(Bytes(report.begin(), report.end()), (Bytes{0x01, 0x0D, 0x0C, 0x0B, 0x0A}));
    EXPECT_EQ(KorvaReport::eventValue(report), 0x0A0B0C0Du);
    EXPECT_EQ(KorvaReport::eventValue(Bytes{0x01, 0x02, 0x01}), std::nullopt);
}

TEST(KorvaConcurrency, CommandsOnOneThreadEventsAndActivationOnAnother) {
    KorvaFixture<DCCameraWren> f(QStringLiteral("Wren"));
    NotificationLog notes({DCNote::DCNotificationSnapshot});
    std::atomic<int> failures{0};
    std::thread user([&] {
        for (int i = 0; i < 200; ++i) {
            if (f.camera->korvaSetIris(static_cast<int16_t>(i % 16)) != 0) ++failures;
            if (f.camera->korvaGetIris() < 0) ++failures;
            if (!f.camera->setExposureLock(i % 2 == 0)) ++failures;
        }
    });
    for (int i = 0; i < 50; ++i) {
        f.camera->setActive(i % 2 == 0);
        f.hid().injectEvent(0x0001);
        f.hid().injectEvent(i % 2 ? 0x0003 : 0x0103);
    }
    f.camera->setActive(true);
    user.join();
    ASSERT_TRUE(waitUntil([&] { return f.camera->waitingEventCount() == 0; }));
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(f.sent().size(), 600u);
    // Events are lost only when more than eight wait: here at most two wait at a time.
    EXPECT_EQ(notes.entries.size(), 50u);
}
