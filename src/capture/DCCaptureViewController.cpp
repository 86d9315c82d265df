#include "capture/DCCaptureViewController.h"

#include <condition_variable>
#include <thread>

#include <QCoreApplication>
#include <QTimer>

#include "capture/CaptureDevices.h"
#include "capture/Frame.h"
#include "core/DCLog.h"
#include "core/DCVocabulary.h"
#include "core/MainThread.h"
#include "devices/DCCameraKorva.h"
#include "devices/DCCamerasController.h"
#include "devices/DCNetCamera.h"
#include "devices/DCUVCCamera.h"

namespace {
QString sizeText(QSize size) {
    return QStringLiteral("{%1, %2}").arg(size.width()).arg(size.height());
}
} // namespace

DCCaptureViewController::DCCaptureViewController() : DCCaptureViewController(Dependencies{}) {}

DCCaptureViewController::DCCaptureViewController(Dependencies dependencies) : deps_(std::move(dependencies)) {
    if (!deps_.currentCamera) deps_.currentCamera = DCCamerasController::sharedCurrentCamera;
    if (!deps_.findDevice)
        deps_.findDevice = [](const DCCameraPtr &camera) { return CaptureDevices::find(camera); };
    if (!deps_.sleep) deps_.sleep = [](std::chrono::milliseconds time) { std::this_thread::sleep_for(time); };
    if (!deps_.now) deps_.now = [] { return std::chrono::steady_clock::now(); };
    if (!deps_.schedule)
        deps_.schedule = [](std::chrono::milliseconds delay, std::function<void()> work) {
            MainThread::run([delay, work = std::move(work)] {
                QTimer::singleShot(delay, QCoreApplication::instance(), work);
            });
        };
    if (!deps_.alerts) deps_.alerts = std::make_shared<LogAlertPresenter>();
    if (deps_.watchdogTimer) {
        watchdogTimer_ = new QTimer;
        watchdogTimer_->setInterval(kWatchdogPeriod);
        QObject::connect(watchdogTimer_, &QTimer::timeout, [this] { watchdogProc(); });
    }
    registerObservers();
}

DCCaptureViewController::~DCCaptureViewController() {
    {
        // Under the hand-off's lock, so a poster waiting in deviceWillChange() sees it and leaves: it
        // waits for this (main) thread, which waits for it to leave the observer.
        std::lock_guard lock(handoffMutex_);
        alive_->store(false);
    }
    handoffDone_.notify_all();
    observers_.clear();
    stop();
    delete watchdogTimer_;
}

void DCCaptureViewController::registerObservers() {
    observers_.add(DCNote::DCCameraWillChange, [this](const DCNotification &) { deviceWillChange(); });
    observers_.add(DCNote::DCCameraDidChange, [this](const DCNotification &) { start(); });
    observers_.add(DCNote::DCCameraModeZoomAreaChange, [this](const DCNotification &note) {
        if (!manipulator_.changeZoomArea(note.userInfo))
            DCLog("zoom area change without usable offsets ignored");
    });
    observers_.add(DCNote::DCNotificationCameraDidBeginAutoFocus, [this](const DCNotification &) {
        std::lock_guard lock(focusMutex_);
        isFocusing_ = true;
        manipulator_.setZoomSuppressed(isFocusing_ && !isSelfAutoFocus_);
    });
    observers_.add(DCNote::DCNotificationCameraWillBeginSelfAutoFocus, [this](const DCNotification &) {
        std::lock_guard lock(focusMutex_);
        isSelfAutoFocus_ = true;
        manipulator_.setZoomSuppressed(isFocusing_ && !isSelfAutoFocus_);
    });
    observers_.add(DCNote::DCNotificationCameraDidEndAutoFocus, [this](const DCNotification &) {
        // The whole picture stays a little longer, so the user sees the focus settle.
        auto alive = alive_;
        deps_.schedule(kEndFocusDelay, [this, alive] {
            if (alive->load()) endFocus();
        });
    });
    observers_.add(DCNote::DCNotificationCameraDidCancelAutoFocus,
                   [this](const DCNotification &) { endFocus(); });
}

void DCCaptureViewController::deviceWillChange() {
    // The poster (the camera queue) must not go on before the old camera's stream is stopped.
    if (MainThread::isCurrent()) {
        stop();
        return;
    }
    // A wait of our own rather than a blocking queued call: Qt's semaphore is invisible to the thread
    // sanitizer, ours is not, and the behaviour is the same. A controller going away while the
    // poster waits releases it (see the destructor); the queued stop then finds it gone.
    auto stopped = std::make_shared<bool>(false); // guarded by handoffMutex_
    MainThread::run([this, stopped, alive = alive_] {
        if (!alive->load()) return;
        stop();
        std::lock_guard lock(handoffMutex_);
        *stopped = true;
        handoffDone_.notify_all();
    });
    std::unique_lock lock(handoffMutex_);
    handoffDone_.wait(lock, [&] { return *stopped || !alive_->load(); });
}

void DCCaptureViewController::setNetworkCameraBranch(std::shared_ptr<NetworkCameraBranch> branch) {
    std::lock_guard lock(sessionMutex_);
    network_ = std::move(branch);
}

// ---- session

void DCCaptureViewController::start() {
    const DCCameraPtr camera = deps_.currentCamera();
    if (std::dynamic_pointer_cast<DCNetCamera>(camera)) {
        std::shared_ptr<NetworkCameraBranch> branch;
        {
            std::lock_guard lock(sessionMutex_);
            branch = network_;
            networkRunning_ = branch != nullptr;
        }
        if (branch)
            branch->start(*this, camera);
        else
            DCLog("no network camera support for %s", qUtf8Printable(camera->description()));
        startWatchdog();
        return;
    }
    if (!std::dynamic_pointer_cast<DCUVCCamera>(camera)) return;
    startUsbCamera(camera);
}

void DCCaptureViewController::startUsbCamera(const DCCameraPtr &camera) {
    std::unique_lock lock(sessionMutex_);
    if (sessionRunning_) return;
    if (source_) {
        source_->close();
        source_.reset();
    }
    std::unique_ptr<CaptureSource> source = searchDevice(camera);
    if (!source) {
        DCLog("No available device");
        return;
    }
    if (!openDevice(*source)) return;
    if (!source->start(resolution_, frameCallback())) {
        DCLog("no output");
        source->close();
        return;
    }
    source_ = std::move(source);
    sessionRunning_ = true;
    lock.unlock();
    startWatchdog();
}

std::unique_ptr<CaptureSource> DCCaptureViewController::searchDevice(const DCCameraPtr &camera) {
    const auto uvc = std::dynamic_pointer_cast<DCUVCCamera>(camera);
    const QString location = uvc ? uvc->captureDeviceLocationId() : QString();
    for (int round = 0; round < kSearchRounds; ++round) {
        DCLog("Search Device: %s, location: %s", qUtf8Printable(camera->description()),
              qUtf8Printable(location));
        if (auto source = deps_.findDevice(camera)) {
            DCLog("Found.");
            return source;
        }
        DCLog("Not found. Wait 1 sec and try again.");
        deps_.sleep(kSearchWait);
    }
    return nullptr;
}

bool DCCaptureViewController::openDevice(CaptureSource &source) {
    const auto firstAttempt = deps_.now();
    while (!source.open()) {
        if (deps_.now() - firstAttempt > kOpenTimeLimit) {
            DCLog("Can not open device.");
            alert(source.errorDescription(), source.recoverySuggestion());
            return false;
        }
        DCLog("Device open failed, sleep 0.3s and try again");
        deps_.sleep(kOpenRetryWait);
    }
    return true;
}

void DCCaptureViewController::alert(const QString &title, const QString &text) {
    auto alerts = deps_.alerts;
    MainThread::run([alerts, title, text] { alerts->showAlert(title, text, QStringLiteral("OK")); });
}

CaptureSource::FrameCallback DCCaptureViewController::frameCallback() {
    return [this](std::shared_ptr<const Frame> frame) { willDisplayImage(frame); };
}

void DCCaptureViewController::stop() {
    DCLog("stop");
    std::shared_ptr<NetworkCameraBranch> branch;
    std::unique_ptr<CaptureSource> source;
    {
        std::lock_guard lock(sessionMutex_);
        if (networkRunning_) branch = network_;
        networkRunning_ = false;
        source = std::move(source_);
        sessionRunning_ = false;
    }
    if (branch) branch->stop();
    if (source) {
        source->stop();
        source->close();
    }
    stopWatchdog();
}

void DCCaptureViewController::pause() {
    DCLog("pause");
    std::lock_guard lock(sessionMutex_);
    if (source_ && sessionRunning_) {
        source_->stop();
        sessionRunning_ = false;
    }
}

void DCCaptureViewController::resume() {
    DCLog("resume");
    std::lock_guard lock(sessionMutex_);
    if (source_ && !sessionRunning_) sessionRunning_ = source_->start(resolution_, frameCallback());
}

void DCCaptureViewController::restart() {
    stop();
    auto alive = alive_;
    deps_.schedule(kRestartDelay, [this, alive] {
        if (alive->load()) start();
    });
}

void DCCaptureViewController::setResolution(QSize size) {
    DCLog("set resolution to: %s", qUtf8Printable(sizeText(size)));
    std::lock_guard lock(sessionMutex_);
    resolution_ = size;
    if (!sessionRunning_ || !source_) return;
    // The camera's vendor commands take the same lock: no report crosses the format change.
    const auto korva = std::dynamic_pointer_cast<DCCameraKorva>(deps_.currentCamera());
    if (korva) {
        std::lock_guard cameraLock(korva->cameraLock());
        source_->setResolution(size);
    } else {
        source_->setResolution(size);
    }
}

QSize DCCaptureViewController::resolution() const {
    std::lock_guard lock(sessionMutex_);
    return resolution_;
}

bool DCCaptureViewController::isSessionRunning() const {
    std::lock_guard lock(sessionMutex_);
    return sessionRunning_;
}

// ---- watchdog

void DCCaptureViewController::startWatchdog() {
    {
        std::lock_guard lock(sessionMutex_);
        if (watchdogRunning_) return;
        watchdogRunning_ = true;
        watchedFrameCount_ = frameCount();
    }
    if (watchdogTimer_) {
        QTimer *timer = watchdogTimer_;
        QMetaObject::invokeMethod(timer, [timer] { timer->start(); });
    }
}

void DCCaptureViewController::stopWatchdog() {
    {
        std::lock_guard lock(sessionMutex_);
        watchdogRunning_ = false;
    }
    if (watchdogTimer_) {
        QTimer *timer = watchdogTimer_;
        if (MainThread::isCurrent())
            timer->stop();
        else
            QMetaObject::invokeMethod(timer, [timer] { timer->stop(); });
    }
}

bool DCCaptureViewController::isWatchdogRunning() const {
    std::lock_guard lock(sessionMutex_);
    return watchdogRunning_;
}

void DCCaptureViewController::watchdogProc() {
    // A start still searching for its device holds the session: this period is skipped.
    std::unique_lock lock(sessionMutex_, std::try_to_lock);
    if (!lock.owns_lock() || !watchdogRunning_) return;
    const uint32_t count = frameCount();
    if (count != watchedFrameCount_) {
        watchedFrameCount_ = count;
        if (networkRunning_ && network_) {
            auto branch = network_;
            lock.unlock();
            branch->pictureIsAlive();
        }
        return;
    }
    DCLog("video freezed!");
    const DCCameraPtr camera = deps_.currentCamera();
    if (std::dynamic_pointer_cast<DCNetCamera>(camera)) {
        auto branch = network_;
        lock.unlock();
        if (branch) branch->pictureFroze(camera);
        return;
    }
    if (std::dynamic_pointer_cast<DCUVCCamera>(camera) && sessionRunning_ && source_) {
        source_->stop();
        if (!source_->start(resolution_, frameCallback())) DCLog("restart of the frozen stream failed");
    }
}

// ---- frames

FramePointer DCCaptureViewController::manipulateImage(const FramePointer &image) const {
    return manipulator_.manipulateImage(image);
}

FramePointer DCCaptureViewController::willDisplayImage(const FramePointer &image) {
    if (FramePointer snapshot = snapshotImage()) return snapshot;
    FramePointer result = postDisplayedImage(manipulateImage(image));
    setLastestImage(result);
    return result;
}

FramePointer DCCaptureViewController::networkWillDisplayImage(const FramePointer &image) {
    return postDisplayedImage(manipulateImage(image));
}

FramePointer DCCaptureViewController::postDisplayedImage(FramePointer result) {
    QVariantMap userInfo;
    if (result) userInfo.insert(DCKey::Image, QVariant::fromValue(result));
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCWillDisplayImage,
                                                               QVariant::fromValue(this), userInfo);
    frameCount_.fetch_add(1, std::memory_order_relaxed);
    return result;
}

void DCCaptureViewController::setZoom(float zoom) {
    manipulator_.setZoom(zoom);
    DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCCameraModeZoomDidChange,
                                                               QVariant::fromValue(this),
                                                               {{DCKey::Zoom, QVariant::fromValue(zoom)}});
}

void DCCaptureViewController::setZoomXLocation(float x) {
    manipulator_.setZoomLocation(x, zoomYLocation());
}
void DCCaptureViewController::setZoomYLocation(float y) {
    manipulator_.setZoomLocation(zoomXLocation(), y);
}

FramePointer DCCaptureViewController::snapshotImage() const {
    std::lock_guard lock(imageMutex_);
    return snapshotImage_;
}
void DCCaptureViewController::setSnapshotImage(FramePointer image) {
    std::lock_guard lock(imageMutex_);
    snapshotImage_ = std::move(image);
}
FramePointer DCCaptureViewController::lastestImage() const {
    std::lock_guard lock(imageMutex_);
    return lastestImage_;
}
void DCCaptureViewController::setLastestImage(FramePointer image) {
    FramePointer old;
    std::lock_guard lock(imageMutex_);
    old = std::exchange(lastestImage_, std::move(image));
}

// ---- focus

void DCCaptureViewController::endFocus() {
    std::lock_guard lock(focusMutex_);
    isFocusing_ = false;
    isSelfAutoFocus_ = false;
    manipulator_.setZoomSuppressed(false);
}

bool DCCaptureViewController::isFocusing() const {
    std::lock_guard lock(focusMutex_);
    return isFocusing_;
}
bool DCCaptureViewController::isSelfAutoFocus() const {
    std::lock_guard lock(focusMutex_);
    return isSelfAutoFocus_;
}
