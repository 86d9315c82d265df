#include "photos/DCActionController.h"

#include <algorithm>

#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include "capture/FrameRenderer.h"
#include "capture/I420Image.h"
#include "core/DCLog.h"
#include "core/DCVocabulary.h"
#include "core/MainThread.h"
#include "core/OperationQueue.h"
#include "core/UserDefaults.h"
#include "devices/DCCamerasController.h"
#include "photos/PhotoWriter.h"
#include "photos/QtSoundEffects.h"
#include "photos/SnapshotNamer.h"

namespace {

constexpr int kCountdownStepMs = 1000;
// How many exposure steps the programmable button cycles through.
constexpr int32_t kExposureCycleLength = 5;

// The frame's pixels as the photo shows them. A decoded frame that is shown as it is goes to the
// encoder straight from its planes; anything else is rendered once, by a renderer of this thread.
std::shared_ptr<const I420Image> pixelsForPhoto(const Frame &frame) {
    if (frame.planes() && !frame.hasJpeg() && frame.transform().isIdentity())
        return std::shared_ptr<const I420Image>(std::shared_ptr<const void>(), frame.planes());
    thread_local FrameRenderer renderer(2);
    return renderer.render(frame);
}

RenderedPicture pictureOf(const I420Image &image) {
    RenderedPicture picture;
    picture.format = RenderedPicture::Format::I420;
    picture.size = image.size();
    picture.planes[0] = image.y();
    picture.planes[1] = image.u();
    picture.planes[2] = image.v();
    picture.strides[0] = image.strideY();
    picture.strides[1] = image.strideU();
    picture.strides[2] = image.strideV();
    return picture;
}

} // namespace

DCActionController::DCActionController() : DCActionController(Dependencies{}) {}

DCActionController::DCActionController(Dependencies dependencies)
    : deps_(std::move(dependencies)),
      defaults_(deps_.defaults ? *deps_.defaults : UserDefaults::standardUserDefaults()) {
    if (!deps_.clock) deps_.clock = &QDateTime::currentDateTime;
    if (!deps_.currentCamera) deps_.currentCamera = DCCamerasController::sharedCurrentCamera;
    sounds_ = deps_.sounds ? deps_.sounds : std::make_shared<QtSoundEffects>();
    namer_ = std::make_unique<SnapshotNamer>(defaults_, deps_.clock);
    opQueue_ = std::make_unique<OperationQueue>("DCActionController", std::max(1, deps_.concurrentSnapshots));
    loadDefaults();
    registerObservers();
}

DCActionController::~DCActionController() {
    observers_.clear();
    stopCountdown();
    // Snapshots already queued are still written: each one is a picture the user asked for.
    opQueue_.reset();
    *alive_ = false;
}

void DCActionController::loadDefaults() {
    shouldPlayFocusSound_ = defaults_.boolForKey(DCDefaults::FocusSoundEffectSwitch);
    shouldPlayShutterSound_ = defaults_.boolForKey(DCDefaults::SnapshotSoundEffectSwitch);
    programmableKeyFunc_ = static_cast<int>(defaults_.integerForKey(DCDefaults::ProgramKeyFunction));
    setPhotoNameFormat(defaults_.integerForKey(DCDefaults::PhotoNameFormatSel) != 0,
                       defaults_.stringForKey(DCDefaults::PhotoNameFormatSelPrefix));
    setBaseDir(defaults_.stringForKey(DCDefaults::PhotoLibraryLocation));
    zoomFactor_ = 1.0f;
    exposure_ = 0;
    timerValue_ = 0;
}

void DCActionController::onMainThread(std::function<void()> work) {
    MainThread::run([alive = alive_, work = std::move(work)] {
        if (*alive) work();
    });
}

void DCActionController::registerObservers() {
    auto &o = observers_;
    o.add(DCNote::DCDeviceCacheWillUpdateExposureNotification, [this](const DCNotification &n) {
        const auto value = static_cast<int16_t>(n.userInfo.value(DCKey::DevExposureValue).toInt());
        onMainThread([this, value] { exposure_ = value; });
    });
    o.add(DCNote::DCCameraDidChange, [this](const DCNotification &n) {
        // A new camera starts from its own default step: another model's step means nothing to it.
        const DCCameraPtr camera = n.userInfo.value(DCKey::NewCamera).value<DCCameraPtr>();
        const int32_t step = camera ? camera->exposureDef() : DCCamera::kNotAvailable;
        const auto value = static_cast<int16_t>(step == DCCamera::kNotAvailable ? 0 : step);
        onMainThread([this, value] { exposure_ = value; });
    });
    o.add(DCNote::DCDeviceCacheWillUpdateMirrorNotification, [this](const DCNotification &n) {
        const bool h = n.userInfo.value(DCKey::DevHorizontalValue).toBool();
        const bool v = n.userInfo.value(DCKey::DevVerticalValue).toBool();
        onMainThread([this, h, v] {
            horizontalFilpped_ = h;
            verticalFilpped_ = v;
        });
    });
    o.add(DCNote::DCDeviceCacheWillUpdateZoomFactorNotification, [this](const DCNotification &n) {
        const float value = n.userInfo.value(DCKey::DevZoomFactorValue).toFloat();
        onMainThread([this, value] { zoomFactor_ = value; });
    });
    o.add(DCNote::DCDeviceCacheWillUpdateTimerNotification, [this](const DCNotification &n) {
        int value = n.userInfo.value(DCKey::DevTimerValue).toInt();
        if (value < 0) {
            // A negative delay would count down forever without taking the picture.
            DCLog("Self-timer of %d seconds taken as none", value);
            value = 0;
        }
        onMainThread([this, value] { timerValue_ = value; });
    });
    o.add(DCNote::DCNotificationCameraSetToSingleFocus, [](const DCNotification &) {
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCCaptureFocusDidSetSingleNotification);
    });
    o.add(DCNote::DCNotificationCameraSetToContinueFocus, [](const DCNotification &) {
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCCaptureFocusDidSetContinousNotification);
    });
    o.add(DCNote::DCNotificationSnapshot, [this](const DCNotification &) { korvaDidSnapshot(); });
    o.add(DCNote::DCNotificationCameraDidBeginAutoFocus,
          [this](const DCNotification &) { cameraDidBeginFocus(); });
    o.add(DCNote::DCNotificationCameraDidEndAutoFocus,
          [this](const DCNotification &) { cameraDidEndFocus(); });
    o.add(DCNote::DCNotificationCameraWillBeginSelfAutoFocus,
          [this](const DCNotification &) { cameraWillBeginSelfAutoFocus(); });
    o.add(DCNote::DCNotificationCameraCustomButton,
          [this](const DCNotification &) { korvaDidPressCustomButton(); });
    o.add(DCNote::DCPhotoLibraryLocationDidChangeNotification, [this](const DCNotification &n) {
        setBaseDir(n.userInfo.contains(DCKey::PhotoLibraryLocation)
                       ? n.userInfo.value(DCKey::PhotoLibraryLocation).toString()
                       : defaults_.stringForKey(DCDefaults::PhotoLibraryLocation));
    });
    o.add(DCNote::DCPhotoNameFormatSelDidChangeNotification, [this](const DCNotification &n) {
        auto value = [&](const QString &key) {
            return n.userInfo.contains(key) ? n.userInfo.value(key) : defaults_.objectForKey(key);
        };
        setPhotoNameFormat(value(DCKey::PhotoNameFormatSel).toInt() != 0,
                           value(DCKey::PhotoNameFormatSelPrefix).toString());
    });
    o.add(DCNote::DCFocusSoundEffectDidChangeNotification, [this](const DCNotification &n) {
        setFocusSoundEffect(n.userInfo.value(DCKey::FocusSoundEffectSwitch).toBool());
    });
    o.add(DCNote::DCSnapshotSoundEffectDidChangeNotification, [this](const DCNotification &n) {
        setSnapshotSoundEffect(n.userInfo.value(DCKey::SnapshotSoundEffectSwitch).toBool());
    });
    o.add(DCNote::DCProgramKeyFunctionDidChangeNotification, [this](const DCNotification &n) {
        const int value = n.userInfo.value(DCKey::ProgramKeyFunction).toInt();
        onMainThread([this, value] { programmableKeyFunc_ = value; });
    });
    o.add(DCNote::DCWillDisplayImage, [this](const DCNotification &n) {
        setCurrentImage(n.userInfo.value(DCKey::Image).value<FramePointer>());
    });
}

// --- Taking the picture ---

bool DCActionController::snapshot() {
    const FramePointer image = currentImage();
    if (!image) {
        DCLog("Snapshot requested before any frame arrived: nothing to save");
        return false;
    }
    auto &center = DCNotificationCenter::defaultCenter();
    center.postNotificationName(DCNote::DCAppWillSnapshotNotification, {},
                                {{DCKey::Image, QVariant::fromValue(image)}});
    // The model is that of the camera which delivered the picture, read here on the main thread.
    const QString model = currentModel();
    opQueue_->addOperation([this, image, model] { doRealCapturePhoto(image, model); });
    center.postNotificationName(DCNote::DCCaptureViewWillFeedbackNotification);
    return true;
}

QString DCActionController::currentModel() const {
    const DCCameraPtr camera = deps_.currentCamera();
    return camera ? camera->model() : QString();
}

QString DCActionController::calculatePrefix() {
    return namer_->calculatePrefix();
}

void DCActionController::doRealCapturePhoto(const FramePointer &image, const QString &model) {
    if (shouldPlayShutterSound_) sounds_->play(SoundEffects::Sound::CameraShutter);
    if (baseDir().isEmpty()) {
        // An empty folder would put the photo at the root of the file system.
        DCLog("Photo not saved: no photo library folder is set");
        announceFailure();
        return;
    }
    // Prefix, day rule, number search and counter update, all under the namer's lock.
    const QString path = namer_->nextPath();
    if (path.isEmpty()) {
        announceFailure();
        return;
    }
    const std::shared_ptr<const I420Image> pixels = image ? pixelsForPhoto(*image) : nullptr;
    QString error = QStringLiteral("the frame could not be rendered");
    // The photo is complete under its name once renamed, and announced then; its flush to the disk
    // follows at once on this thread, instead of delaying the announcement by a journal commit.
    const bool written = pixels && PhotoWriter::writePhoto(pictureOf(*pixels), {model, deps_.clock()}, path,
                                                           &error, AtomicFileWriter::Durability::Rebuildable);
    if (!written) {
        DCLog("Photo not saved to %s: %s", qUtf8Printable(path), qUtf8Printable(error));
        announceFailure();
    } else {
        // The main thread gets text of its own: a shared QString would be released by whichever
        // thread lets go last, partly inside Qt, where ThreadSanitizer cannot follow the count.
        onMainThread([this, announced = QString(path.constData(), path.size())] { notifyView(announced); });
        if (!AtomicFileWriter::syncFile(path, &error))
            DCLog("Photo %s not flushed to the disk: %s", qUtf8Printable(path), qUtf8Printable(error));
    }
    // The counter has moved on either way; it must survive a restart (the day rule relies on it).
    defaults_.synchronize();
}

void DCActionController::notifyView(const QString &path) {
    auto &center = DCNotificationCenter::defaultCenter();
    const QVariantMap file{{DCKey::FileURL, QUrl::fromLocalFile(path)}};
    center.postNotificationName(DCNote::DCFileDidCreateNotification, file);
    center.postNotificationName(DCNote::DCCaptureDidInvalidateTimerNotification);
}

// A waiting user interface (the countdown display, the frozen preview) is released without
// announcing a file that does not exist.
void DCActionController::announceFailure() {
    onMainThread([] {
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCCaptureDidInvalidateTimerNotification);
    });
}

void DCActionController::waitUntilSnapshotsAreWritten() {
    opQueue_->waitUntilAllOperationsAreFinished();
}

// --- Self-timer ---

void DCActionController::korvaDidSnapshot() {
    if (!MainThread::isCurrent()) {
        onMainThread([this] { korvaDidSnapshot(); });
        return;
    }
    if (!counting_) count_ = timerValue_;
    if (timerValue_ == 3 || timerValue_ == 10) {
        playShutterSound(SoundEffects::Sound::TimerTick);
        if (!counting_)
            DCNotificationCenter::defaultCenter().postNotificationName(
                DCNote::DCCaptureDidTriggleTimerNotification);
    } else if (timerValue_ == 0) {
        snapshot();
        return;
    }
    if (counting_) return;
    startCountdown();
}

void DCActionController::startCountdown() {
    counting_ = true;
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCCaptureWillUpdateTimerNotification,
                                                               {}, {{DCKey::DevTimerValue, timerValue_}});
    if (!deps_.countdownTimer) return;
    snapshotTimer_ = std::make_unique<QTimer>();
    snapshotTimer_->setInterval(kCountdownStepMs);
    snapshotTimer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(snapshotTimer_.get(), &QTimer::timeout, [this] { timerToSnapshot(); });
    snapshotTimer_->start();
}

void DCActionController::stopCountdown() {
    counting_ = false;
    if (!snapshotTimer_) return;
    snapshotTimer_->stop();
    // This may run inside the timer's own timeout: let the event loop delete it afterwards.
    snapshotTimer_.release()->deleteLater();
}

void DCActionController::timerToSnapshot() {
    if (!counting_) return;
    if (count_ > 0) --count_;
    if (count_ != 0) playShutterSound(SoundEffects::Sound::TimerTick);
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCCaptureWillUpdateTimerNotification,
                                                               {}, {{DCKey::DevTimerValue, count_}});
    if (count_ != 0) return;
    stopCountdown();
    // The countdown announced a picture; without one the waiting display is released all the same.
    if (!snapshot()) announceFailure();
}

void DCActionController::playShutterSound(SoundEffects::Sound sound) {
    if (shouldPlayShutterSound_) sounds_->play(sound);
}

// --- Focus sounds ---

void DCActionController::cameraWillBeginSelfAutoFocus() {
    isAutoFocus_ = true;
}

void DCActionController::cameraDidBeginFocus() {
    if (shouldPlayFocusSound_ && !isAutoFocus_) sounds_->play(SoundEffects::Sound::CameraServoAutoFocus);
}

void DCActionController::cameraDidEndFocus() {
    if (!shouldPlayFocusSound_) return;
    if (!isAutoFocus_) sounds_->play(SoundEffects::Sound::CameraFocusBeep);
    isAutoFocus_ = false;
}

// --- Programmable button ---

void DCActionController::korvaDidPressCustomButton() {
    if (!MainThread::isCurrent()) {
        onMainThread([this] { korvaDidPressCustomButton(); });
        return;
    }
    auto &center = DCNotificationCenter::defaultCenter();
    switch (programmableKeyFunc_) {
    case Focus:
        if (const DCCameraPtr camera = deps_.currentCamera()) camera->focusAgain();
        break;
    case DigitalZoom:
        zoomFactor_ += 1.0f;
        if (zoomFactor_ > 2.0f) zoomFactor_ = 0.0f;
        center.postNotificationName(DCNote::DCCaptureWillDigitalZoomNotification, {},
                                    {{DCKey::DevZoomFactorValue, static_cast<int>(zoomFactor_)}});
        break;
    case Exposure:
        stepExposure();
        break;
    case Mirror:
        center.postNotificationName(DCNote::DCCaptureWillMirrorNotification);
        break;
    default:
        break;
    }
}

void DCActionController::stepExposure() {
    const DCCameraPtr camera = deps_.currentCamera();
    if (!camera) return;
    const int32_t def = camera->exposureDef();
    const int32_t first = camera->exposureMin();
    const int32_t last = camera->exposureMax();
    if (def == DCCamera::kNotAvailable || first == DCCamera::kNotAvailable ||
        last == DCCamera::kNotAvailable || last < first) {
        DCLog("the current camera has no exposure steps");
        return;
    }
    // Five steps around the default, moved (or cut) to fit the camera's own steps.
    const int32_t width = std::min(kExposureCycleLength, last - first + 1);
    const int32_t low = std::clamp(def - kExposureCycleLength / 2, first, last - width + 1);
    const int32_t high = low + width - 1;
    const int32_t next = exposure_ < low || exposure_ >= high ? low : exposure_ + 1;
    // The toolbar shows what the camera took: a refused step changes nothing.
    if (!camera->setExposure(next)) {
        DCLog("the camera refused exposure step %d", next);
        return;
    }
    exposure_ = static_cast<int16_t>(next);
    DCNotificationCenter::defaultCenter().postNotificationName(
        DCNote::DCCaptureViewWillUpdateExposureNotification, {}, {{DCKey::DevExposureValue, next}});
}

// --- Preferences ---

void DCActionController::setSnapshotSoundEffect(bool on) {
    shouldPlayShutterSound_ = on;
    if (on) return;
    sounds_->stop(SoundEffects::Sound::CameraShutter);
    sounds_->stop(SoundEffects::Sound::TimerTick);
}

void DCActionController::setFocusSoundEffect(bool on) {
    shouldPlayFocusSound_ = on;
    if (on) return;
    sounds_->stop(SoundEffects::Sound::CameraFocusBeep);
    sounds_->stop(SoundEffects::Sound::CameraServoAutoFocus);
}

void DCActionController::setPhotoNameFormat(bool useCustPrefix, const QString &prefix) {
    {
        std::lock_guard lock(settingsMutex_);
        shouldUseCustPrefix_ = useCustPrefix;
        custPrefix_ = prefix;
    }
    namer_->setShouldUseCustPrefix(useCustPrefix);
    namer_->setCustPrefix(prefix);
}

bool DCActionController::shouldUseCustPrefix() const {
    std::lock_guard lock(settingsMutex_);
    return shouldUseCustPrefix_;
}

QString DCActionController::custPrefix() const {
    std::lock_guard lock(settingsMutex_);
    return custPrefix_;
}

void DCActionController::setCustPrefix(const QString &prefix) {
    setPhotoNameFormat(shouldUseCustPrefix(), prefix);
}

QString DCActionController::baseDir() const {
    std::lock_guard lock(settingsMutex_);
    return baseDir_;
}

void DCActionController::setBaseDir(const QString &folder) {
    {
        std::lock_guard lock(settingsMutex_);
        baseDir_ = folder;
    }
    namer_->setBaseDir(folder);
}

FramePointer DCActionController::currentImage() const {
    std::lock_guard lock(imageMutex_);
    return currentImage_;
}

void DCActionController::setCurrentImage(FramePointer image) {
    std::lock_guard lock(imageMutex_);
    currentImage_ = std::move(image);
}
