#include <array>
#include <atomic>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include "PhotoTestSupport.h"
#include "capture/Frame.h"
#include "capture/I420Image.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/DCActionController.h"
#include "photos/JpegCodec.h"
#include "photos/QtSoundEffects.h"
#include "support/TestSupport.h"

namespace {

class CountingSounds : public SoundEffects {
public:
    void play(Sound sound) override { ++plays[static_cast<size_t>(sound)]; }
    void stop(Sound sound) override { ++stops[static_cast<size_t>(sound)]; }
    int played(Sound sound) const { return plays[static_cast<size_t>(sound)]; }
    std::array<std::atomic<int>, 4> plays{};
    std::array<std::atomic<int>, 4> stops{};
};

// Takes exposure steps first to last, as the maker's cameras do (1 to 5 or 1 to 15).
class FakeCamera : public DCCamera {
public:
    QString model() const override { return QStringLiteral("Wren-HD"); }
    bool focusAgain() override {
        ++focusRuns;
        return true;
    }
    int32_t exposureDef() override { return def; }
    int32_t exposureMin() override { return first; }
    int32_t exposureMax() override { return last; }
    bool setExposure(int32_t value) override {
        exposures.push_back(value);
        return !refuse && value >= first && value <= last;
    }
    int focusRuns = 0;
    int32_t def = 3, first = 1, last = 5;
    bool refuse = false;
    std::vector<int32_t> exposures;
};

// Every notification of the given names, in order, with its user info.
class NotificationLog {
public:
    explicit NotificationLog(const QStringList &names) {
        for (const QString &name : names)
            observers_.add(name, [this](const DCNotification &n) {
                std::lock_guard lock(mutex_);
                seen_.push_back(n);
            });
    }
    std::vector<DCNotification> seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    QStringList names() const {
        QStringList out;
        for (const auto &n : seen())
            out << n.name;
        return out;
    }
    int count(const QString &name) const { return static_cast<int>(names().count(name)); }
    QList<int> timerValues() const {
        QList<int> out;
        for (const auto &n : seen())
            if (n.name == DCNote::DCCaptureWillUpdateTimerNotification)
                out << n.userInfo.value(DCKey::DevTimerValue).toInt();
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::vector<DCNotification> seen_;
    DCObserverSet observers_;
};

FramePointer testFrame(QSize size) {
    auto planes = I420Image::create(size);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            planes->y()[y * planes->strideY() + x] = static_cast<uint8_t>((x + 2 * y) & 0xFF);
    std::fill(planes->u(), planes->u() + planes->strideU() * planes->chromaHeight(), 100);
    std::fill(planes->v(), planes->v() + planes->strideV() * planes->chromaHeight(), 160);
    return Frame::fromPlanes(std::move(planes));
}

class ActionControllerTest : public ::testing::Test {
protected:
    ActionControllerTest() { defaults_ = std::make_unique<UserDefaults>(defaultsPath()); }

    QString defaultsPath() const { return home_.filePath(QStringLiteral("defaults.json")); }

    std::unique_ptr<DCActionController> controller(bool withFrame = true, bool realTimer = false) {
        defaults_->setObject(library_.path(), DCDefaults::PhotoLibraryLocation);
        defaults_->setBool(true, DCDefaults::SnapshotSoundEffectSwitch);
        defaults_->setBool(true, DCDefaults::FocusSoundEffectSwitch);
        DCActionController::Dependencies deps;
        deps.defaults = defaults_.get();
        deps.clock = [this] {
            std::lock_guard lock(clockMutex_);
            return now_;
        };
        deps.currentCamera = [this] { return camera_; };
        deps.sounds = sounds_;
        deps.countdownTimer = realTimer;
        auto c = std::make_unique<DCActionController>(deps);
        if (withFrame) c->setCurrentImage(testFrame({320, 240}));
        return c;
    }
    void setNow(const QDateTime &time) {
        std::lock_guard lock(clockMutex_);
        now_ = time;
    }
    // Takes one picture and waits for its announcement; answers the file name.
    QString takePhoto(DCActionController &c) {
        NotificationLog log({DCNote::DCFileDidCreateNotification});
        if (!c.snapshot()) return {};
        c.waitUntilSnapshotsAreWritten();
        if (!waitUntil([&] { return log.count(DCNote::DCFileDidCreateNotification) == 1; })) return {};
        const QVariantMap file = log.seen().front().object.toMap();
        return QFileInfo(file.value(DCKey::FileURL).toUrl().toLocalFile()).fileName();
    }
    void post(const QString &name, const QVariantMap &info = {}) {
        DCNotificationCenter::defaultCenter().postNotificationName(name, {}, info);
    }
    qint64 counter() const { return defaults_->integerForKey(DCDefaults::CapturedNumber); }
    QStringList photos() const {
        return QDir(library_.path()).entryList({QStringLiteral("*.jpg")}, QDir::Files);
    }

    QTemporaryDir home_;
    QTemporaryDir library_;
    std::unique_ptr<UserDefaults> defaults_;
    std::mutex clockMutex_;
    QDateTime now_{QDate(2013, 4, 9), QTime(10, 0)};
    std::shared_ptr<FakeCamera> camera_ = std::make_shared<FakeCamera>();
    std::shared_ptr<CountingSounds> sounds_ = std::make_shared<CountingSounds>();
};

using Sound = SoundEffects::Sound;

} // namespace

TEST_F(ActionControllerTest, SnapshotIsAnnouncedAndNumberedPastExistingFiles) {
    auto c = controller();
    writeFileBytes(library_.filePath(QStringLiteral("2013-04-09_0001.jpg")), "x");
    writeFileBytes(library_.filePath(QStringLiteral("2013-04-09_0002.jpg")), "x");
    NotificationLog log({DCNote::DCAppWillSnapshotNotification, DCNote::DCCaptureViewWillFeedbackNotification,
                         DCNote::DCFileDidCreateNotification,
                         DCNote::DCCaptureDidInvalidateTimerNotification});

    EXPECT_EQ(takePhoto(*c), QStringLiteral("2013-04-09_0003.jpg"));
    EXPECT_EQ(counter(), 4);
    ASSERT_TRUE(waitUntil([&] { return log.count(DCNote::DCCaptureDidInvalidateTimerNotification) == 1; }));
    EXPECT_EQ(
        log.names(),
        QStringList({DCNote::DCAppWillSnapshotNotification, DCNote::DCCaptureViewWillFeedbackNotification,
                     DCNote::DCFileDidCreateNotification, DCNote::DCCaptureDidInvalidateTimerNotification}));
    EXPECT_TRUE(log.seen().front().userInfo.value(DCKey::Image).value<FramePointer>());
    EXPECT_EQ(sounds_->played(Sound::CameraShutter), 1);

    const auto info =
        JpegCodec::info(readFileBytes(library_.filePath(QStringLiteral("2013-04-09_0003.jpg"))));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->size, QSize(320, 240));
    // The counter is on disk, for the next start of the program.
    EXPECT_EQ(UserDefaults(defaultsPath()).integerForKey(DCDefaults::CapturedNumber), 4);
}

TEST_F(ActionControllerTest, NumberingStartsAgainAfterMidnightAlsoAcrossARestart) {
    {
        auto c = controller();
        EXPECT_EQ(takePhoto(*c), QStringLiteral("2013-04-09_0001.jpg"));
        EXPECT_EQ(takePhoto(*c), QStringLiteral("2013-04-09_0002.jpg"));
        setNow(QDateTime(QDate(2013, 4, 10), QTime(0, 0, 1)));
        EXPECT_EQ(takePhoto(*c), QStringLiteral("2013-04-10_0001.jpg")); // running past midnight
        EXPECT_EQ(takePhoto(*c), QStringLiteral("2013-04-10_0002.jpg"));
    }
    // The program stops at night and starts again the next morning with the settings from disk.
    defaults_ = std::make_unique<UserDefaults>(defaultsPath());
    setNow(QDateTime(QDate(2013, 4, 11), QTime(8, 30)));
    auto c = controller();
    EXPECT_EQ(takePhoto(*c), QStringLiteral("2013-04-11_0001.jpg"));
    EXPECT_EQ(counter(), 2);
}

TEST_F(ActionControllerTest, CustomPrefixSharesTheCounter) {
    auto c = controller();
    EXPECT_EQ(takePhoto(*c), QStringLiteral("2013-04-09_0001.jpg"));
    post(DCNote::DCPhotoNameFormatSelDidChangeNotification,
         {{DCKey::PhotoNameFormatSel, 1}, {DCKey::PhotoNameFormatSelPrefix, QStringLiteral("Lesson 4")}});
    EXPECT_EQ(takePhoto(*c), QStringLiteral("Lesson 4_0002.jpg"));

    // Prefixes that would leave the library are the namer's own tests.
    post(DCNote::DCPhotoNameFormatSelDidChangeNotification, {{DCKey::PhotoNameFormatSel, 0}});
    EXPECT_EQ(takePhoto(*c), QStringLiteral("2013-04-09_0003.jpg"));
}

TEST_F(ActionControllerTest, TwoSnapshotsAtOnceGetTwoNumbersAndTwoCompleteFiles) {
    auto c = controller();
    c->setCurrentImage(testFrame({1280, 960}));
    NotificationLog log({DCNote::DCFileDidCreateNotification});
    ASSERT_TRUE(c->snapshot());
    ASSERT_TRUE(c->snapshot());
    c->waitUntilSnapshotsAreWritten();
    ASSERT_TRUE(waitUntil([&] { return log.count(DCNote::DCFileDidCreateNotification) == 2; }));
    EXPECT_EQ(photos(),
              QStringList({QStringLiteral("2013-04-09_0001.jpg"), QStringLiteral("2013-04-09_0002.jpg")}));
    for (const QString &name : photos()) {
        const QImage decoded = JpegCodec::decode(readFileBytes(library_.filePath(name)));
        EXPECT_EQ(decoded.size(), QSize(1280, 960)) << qPrintable(name);
    }
    // Only the two photos: no temporary files left behind.
    EXPECT_EQ(QDir(library_.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    EXPECT_EQ(counter(), 3);
}

TEST_F(ActionControllerTest, FailedWriteIsLoggedAndNotAnnounced) {
    auto c = controller();
    const QString missing = library_.filePath(QStringLiteral("gone"));
    post(DCNote::DCPhotoLibraryLocationDidChangeNotification, {{DCKey::PhotoLibraryLocation, missing}});
    NotificationLog log(
        {DCNote::DCFileDidCreateNotification, DCNote::DCCaptureDidInvalidateTimerNotification});
    LogCapture capture;
    ASSERT_TRUE(c->snapshot());
    c->waitUntilSnapshotsAreWritten();
    ASSERT_TRUE(waitUntil([&] { return log.count(DCNote::DCCaptureDidInvalidateTimerNotification) == 1; }));
    EXPECT_EQ(log.count(DCNote::DCFileDidCreateNotification), 0);
    EXPECT_TRUE(capture.contains(QStringLiteral("Photo not saved to %1/2013-04-09_0001.jpg: ").arg(missing)));

    if (::geteuid() == 0) return; // the superuser writes into read-only folders
    QFile::setPermissions(library_.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    post(DCNote::DCPhotoLibraryLocationDidChangeNotification,
         {{DCKey::PhotoLibraryLocation, library_.path()}});
    ASSERT_TRUE(c->snapshot());
    c->waitUntilSnapshotsAreWritten();
    ASSERT_TRUE(waitUntil([&] { return log.count(DCNote::DCCaptureDidInvalidateTimerNotification) == 2; }));
    QFile::setPermissions(library_.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(log.count(DCNote::DCFileDidCreateNotification), 0);
    EXPECT_TRUE(QDir(library_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(ActionControllerTest, SnapshotBeforeAnyFrameSavesNothing) {
    auto c = controller(false);
    NotificationLog log(
        {DCNote::DCAppWillSnapshotNotification, DCNote::DCCaptureViewWillFeedbackNotification});
    LogCapture capture;
    post(DCNote::DCNotificationSnapshot);
    c->waitUntilSnapshotsAreWritten();
    EXPECT_TRUE(log.names().isEmpty());
    EXPECT_TRUE(photos().isEmpty());
    EXPECT_TRUE(capture.contains(QStringLiteral("before any frame")));

    // The newest live frame is what the next snapshot saves.
    post(DCNote::DCWillDisplayImage, {{DCKey::Image, QVariant::fromValue(testFrame({64, 48}))}});
    EXPECT_EQ(takePhoto(*c), QStringLiteral("2013-04-09_0001.jpg"));
}

TEST_F(ActionControllerTest, CountdownTicksAnnouncesAndTakesOnePicture) {
    auto c = controller();
    post(DCNote::DCDeviceCacheWillUpdateTimerNotification, {{DCKey::DevTimerValue, 3}});
    NotificationLog log({DCNote::DCCaptureDidTriggleTimerNotification,
                         DCNote::DCCaptureWillUpdateTimerNotification,
                         DCNote::DCAppWillSnapshotNotification});
    post(DCNote::DCNotificationSnapshot);
    EXPECT_TRUE(c->isCounting());
    EXPECT_EQ(sounds_->played(Sound::TimerTick), 1);
    // Further presses during the countdown only tick.
    post(DCNote::DCNotificationSnapshot);
    post(DCNote::DCNotificationSnapshot);
    EXPECT_EQ(sounds_->played(Sound::TimerTick), 3);
    EXPECT_EQ(log.count(DCNote::DCCaptureDidTriggleTimerNotification), 1);

    c->timerToSnapshot();
    c->timerToSnapshot();
    EXPECT_EQ(log.count(DCNote::DCAppWillSnapshotNotification), 0);
    c->timerToSnapshot();
    EXPECT_FALSE(c->isCounting());
    EXPECT_EQ(log.timerValues(), QList<int>({3, 2, 1, 0}));
    EXPECT_EQ(sounds_->played(Sound::TimerTick), 5); // the press ticks, then the steps 2 and 1
    EXPECT_EQ(log.count(DCNote::DCAppWillSnapshotNotification), 1);
    c->waitUntilSnapshotsAreWritten();
    EXPECT_EQ(photos().size(), 1);

    // Without a delay (a negative one included) the picture is taken at once; with the sound switched
    // off nothing ticks.
    post(DCNote::DCSnapshotSoundEffectDidChangeNotification, {{DCKey::SnapshotSoundEffectSwitch, false}});
    post(DCNote::DCDeviceCacheWillUpdateTimerNotification, {{DCKey::DevTimerValue, -5}});
    post(DCNote::DCNotificationSnapshot);
    EXPECT_FALSE(c->isCounting());
    c->waitUntilSnapshotsAreWritten();
    EXPECT_EQ(photos().size(), 2);
    EXPECT_EQ(sounds_->played(Sound::CameraShutter), 1);
    EXPECT_GE(sounds_->stops[static_cast<size_t>(Sound::CameraShutter)], 1);
}

TEST_F(ActionControllerTest, RealCountdownTimerTakesThePictureAfterThreeSeconds) {
    auto c = controller(true, true);
    NotificationLog log({DCNote::DCFileDidCreateNotification, DCNote::DCCaptureWillUpdateTimerNotification});
    post(DCNote::DCDeviceCacheWillUpdateTimerNotification, {{DCKey::DevTimerValue, 3}});
    post(DCNote::DCNotificationSnapshot);
    ASSERT_TRUE(waitUntil([&] { return log.count(DCNote::DCFileDidCreateNotification) == 1; },
                          std::chrono::seconds(10)));
    EXPECT_EQ(log.timerValues(), QList<int>({3, 2, 1, 0}));
}

TEST_F(ActionControllerTest, ProgrammableButtonSequences) {
    auto c = controller();
    NotificationLog log({DCNote::DCCaptureWillDigitalZoomNotification,
                         DCNote::DCCaptureViewWillUpdateExposureNotification,
                         DCNote::DCCaptureWillMirrorNotification});
    auto press = [&] { post(DCNote::DCNotificationCameraCustomButton); };

    post(DCNote::DCProgramKeyFunctionDidChangeNotification, {{DCKey::ProgramKeyFunction, 1}});
    press();
    press();
    press();
    QList<int> zooms;
    for (const auto &n : log.seen())
        zooms << n.userInfo.value(DCKey::DevZoomFactorValue).toInt();
    EXPECT_EQ(zooms, QList<int>({2, 0, 1}));

    post(DCNote::DCProgramKeyFunctionDidChangeNotification, {{DCKey::ProgramKeyFunction, 2}});
    post(DCNote::DCDeviceCacheWillUpdateExposureNotification, {{DCKey::DevExposureValue, 4}});
    press();
    press();
    EXPECT_EQ(camera_->exposures, std::vector<int32_t>({5, 1}));
    EXPECT_EQ(log.seen().back().userInfo.value(DCKey::DevExposureValue).toInt(), 1);

    post(DCNote::DCProgramKeyFunctionDidChangeNotification, {{DCKey::ProgramKeyFunction, 0}});
    press();
    EXPECT_EQ(camera_->focusRuns, 1);
    post(DCNote::DCProgramKeyFunctionDidChangeNotification, {{DCKey::ProgramKeyFunction, 3}});
    press();
    EXPECT_EQ(log.count(DCNote::DCCaptureWillMirrorNotification), 1);
    post(DCNote::DCProgramKeyFunctionDidChangeNotification, {{DCKey::ProgramKeyFunction, 7}});
    press();
    EXPECT_EQ(log.seen().size(), 6u);
}

TEST_F(ActionControllerTest, ProgrammableExposureCyclesFiveStepsAroundTheCamerasDefault) {
    auto c = controller();
    NotificationLog log({DCNote::DCCaptureViewWillUpdateExposureNotification});
    auto announced = [&] {
        QList<int> steps;
        for (const auto &n : log.seen())
            steps << n.userInfo.value(DCKey::DevExposureValue).toInt();
        return steps;
    };
    auto pressTimes = [&](int times) {
        for (int i = 0; i < times; ++i)
            post(DCNote::DCNotificationCameraCustomButton);
    };
    auto changeTo = [&](std::shared_ptr<FakeCamera> camera) {
        camera_ = std::move(camera);
        post(DCNote::DCCameraDidChange, {{DCKey::NewCamera, QVariant::fromValue(DCCameraPtr(camera_))}});
    };
    post(DCNote::DCProgramKeyFunctionDidChangeNotification, {{DCKey::ProgramKeyFunction, 2}});

    changeTo(std::make_shared<FakeCamera>()); // steps 1 to 5, default 3
    EXPECT_EQ(c->exposure(), 3);
    pressTimes(4);
    EXPECT_EQ(camera_->exposures, std::vector<int32_t>({4, 5, 1, 2}));
    EXPECT_EQ(announced(), QList<int>({4, 5, 1, 2}));

    // A step the camera refuses is neither announced nor kept.
    camera_->refuse = true;
    pressTimes(1);
    EXPECT_EQ(announced().size(), 4);
    EXPECT_EQ(c->exposure(), 2);

    auto wren = std::make_shared<FakeCamera>(); // steps 1 to 15, default 8
    wren->def = 8;
    wren->last = 15;
    changeTo(wren);
    EXPECT_EQ(c->exposure(), 8);
    pressTimes(3);
    EXPECT_EQ(camera_->exposures, std::vector<int32_t>({9, 10, 6}));
    // Near the end of the camera's steps the five move inside them.
    auto edge = std::make_shared<FakeCamera>();
    edge->def = 1;
    changeTo(edge);
    pressTimes(6);
    EXPECT_EQ(camera_->exposures, std::vector<int32_t>({2, 3, 4, 5, 1, 2}));
    // A camera without exposure steps is left alone.
    changeTo(nullptr);
    EXPECT_EQ(c->exposure(), 0);
    const auto before = announced().size();
    pressTimes(1);
    EXPECT_EQ(announced().size(), before);
}

TEST_F(ActionControllerTest, FocusSoundsAreSilentForTheProgramsOwnFocusRuns) {
    auto c = controller();
    post(DCNote::DCNotificationCameraWillBeginSelfAutoFocus);
    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    post(DCNote::DCNotificationCameraDidEndAutoFocus);
    EXPECT_EQ(sounds_->played(Sound::CameraServoAutoFocus) + sounds_->played(Sound::CameraFocusBeep), 0);

    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    post(DCNote::DCNotificationCameraDidEndAutoFocus);
    EXPECT_EQ(sounds_->played(Sound::CameraServoAutoFocus), 1);
    EXPECT_EQ(sounds_->played(Sound::CameraFocusBeep), 1);

    post(DCNote::DCFocusSoundEffectDidChangeNotification, {{DCKey::FocusSoundEffectSwitch, false}});
    post(DCNote::DCNotificationCameraDidBeginAutoFocus);
    post(DCNote::DCNotificationCameraDidEndAutoFocus);
    EXPECT_EQ(sounds_->played(Sound::CameraServoAutoFocus), 1);

    NotificationLog relays(
        {DCNote::DCCaptureFocusDidSetSingleNotification, DCNote::DCCaptureFocusDidSetContinousNotification});
    post(DCNote::DCNotificationCameraSetToSingleFocus);
    post(DCNote::DCNotificationCameraSetToContinueFocus);
    EXPECT_EQ(relays.names(), QStringList({DCNote::DCCaptureFocusDidSetSingleNotification,
                                           DCNote::DCCaptureFocusDidSetContinousNotification}));
}

TEST(QtSoundEffects, TheFourSoundsAreShortWavResources) {
    for (auto sound :
         {Sound::CameraFocusBeep, Sound::CameraServoAutoFocus, Sound::CameraShutter, Sound::TimerTick}) {
        QFile file(QtSoundEffects::resourcePath(sound));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(file.fileName());
        const QByteArray data = file.readAll();
        EXPECT_TRUE(data.startsWith("RIFF") && data.mid(8, 4) == "WAVE") << qPrintable(file.fileName());
        EXPECT_LT(data.size(), 100 * 1024);
    }
}

TEST(QtSoundEffects, WithoutAnAudioDeviceNothingPlaysAndThatIsLoggedOnce) {
    if (QtSoundEffects::hasAudioOutput()) GTEST_SKIP() << "this machine has an audio output";
    LogCapture capture;
    {
        QtSoundEffects sounds;
        sounds.play(Sound::CameraShutter);
        sounds.play(Sound::TimerTick);
        sounds.stop(Sound::TimerTick);
    }
    EXPECT_EQ(capture.messages().filter(QStringLiteral("No audio output device")).size(), 1);
}
