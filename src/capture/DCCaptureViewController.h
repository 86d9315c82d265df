#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include <QMetaType>
#include <QSize>

#include "capture/AlertPresenter.h"
#include "capture/CaptureSource.h"
#include "capture/FramePointer.h"
#include "capture/ImageManipulator.h"
#include "core/DCNotificationCenter.h"
#include "devices/DCCamera.h"

class QTimer;
class DCCaptureViewController;

// The network camera's side of the live picture, plugged in by the network-camera code. The
// controller calls it on the thread that runs start()/stop() and on the watchdog's thread (main).
class NetworkCameraBranch {
public:
    virtual ~NetworkCameraBranch() = default;
    // Starts showing `camera` (a DCNetCamera); frames go to controller.willDisplayImage().
    virtual void start(DCCaptureViewController &controller, const DCCameraPtr &camera) = 0;
    virtual void stop() = 0;
    // The watchdog saw new frames: the frozen-stream warning can go.
    virtual void pictureIsAlive() = 0;
    // The watchdog saw none for a whole period.
    virtual void pictureFroze(const DCCameraPtr &camera) = 0;
};

// The logic of the live picture: opens the current camera's video device, zooms and mirrors every
// frame (by transform only), posts it as "DCWillDisplayImage" on the delivering thread, and watches
// for a frozen picture. It stops and starts itself when the current camera changes.
//
// Threads: start() runs on the main thread or on the thread that announced the camera change; its
// waits block that thread. stop(), the focus handling and the watchdog run on the main thread; the
// frame hook runs on the source's delivery thread. Session state is guarded by one mutex; the zoom
// state is the ImageManipulator's own; frameCount is atomic.
class DCCaptureViewController {
public:
    using Sleep = std::function<void(std::chrono::milliseconds)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Runs the work once after the delay, on the main thread.
    using Schedule = std::function<void(std::chrono::milliseconds, std::function<void()>)>;
    using FindDevice = std::function<std::unique_ptr<CaptureSource>(const DCCameraPtr &)>;

    static constexpr int kSearchRounds = 5;
    static constexpr std::chrono::milliseconds kSearchWait{1000};
    static constexpr std::chrono::milliseconds kOpenRetryWait{300};
    static constexpr std::chrono::milliseconds kOpenTimeLimit{3000};
    static constexpr std::chrono::milliseconds kWatchdogPeriod{3000};
    static constexpr std::chrono::milliseconds kRestartDelay{1000};
    static constexpr std::chrono::milliseconds kEndFocusDelay{2000};

    struct Dependencies {
        // Null: the shared camera controller's current camera.
        std::function<DCCameraPtr()> currentCamera;
        // Null: CaptureDevices::find (simulated cameras, then V4L2 nodes).
        FindDevice findDevice;
        Sleep sleep;       // null: real sleeps
        Clock now;         // null: steady_clock
        Schedule schedule; // null: a one-shot QTimer on the main thread
        // False leaves the repeating watchdog timer out; tests call watchdogProc() themselves.
        bool watchdogTimer = true;
        std::shared_ptr<AlertPresenter> alerts; // null: the log
    };

    DCCaptureViewController();
    explicit DCCaptureViewController(Dependencies dependencies);
    ~DCCaptureViewController();
    DCCaptureViewController(const DCCaptureViewController &) = delete;
    DCCaptureViewController &operator=(const DCCaptureViewController &) = delete;

    void setNetworkCameraBranch(std::shared_ptr<NetworkCameraBranch> branch);

    void start();
    void stop();
    void pause();
    void resume();
    void restart();
    void setResolution(QSize size);
    void setZoom(float zoom);

    // Zoom and mirror as the current state says; no pixels are touched.
    FramePointer manipulateImage(const FramePointer &image) const;
    // The frame hook: every delivered frame passes here (any thread). Returns what is to be shown.
    FramePointer willDisplayImage(const FramePointer &image);
    // The frame hook of a network camera's stream (its thread): zoomed, mirrored, posted and counted
    // like a live frame, but shown even while a snapshot image is set, and not kept as lastestImage.
    FramePointer networkWillDisplayImage(const FramePointer &image);
    // One watchdog period has passed (main thread).
    void watchdogProc();
    void endFocus();

    bool hFlipped() const { return manipulator_.state().hFlipped; }
    void setHFlipped(bool flipped) { manipulator_.setHFlipped(flipped); }
    bool vFlipped() const { return manipulator_.state().vFlipped; }
    void setVFlipped(bool flipped) { manipulator_.setVFlipped(flipped); }
    float zoom() const { return manipulator_.state().zoom; }
    float zoomXLocation() const { return manipulator_.state().zoomXLocation; }
    float zoomYLocation() const { return manipulator_.state().zoomYLocation; }
    void setZoomXLocation(float x);
    void setZoomYLocation(float y);
    QSize resolution() const;
    FramePointer snapshotImage() const;
    void setSnapshotImage(FramePointer image);
    FramePointer lastestImage() const;
    void setLastestImage(FramePointer image);
    uint32_t frameCount() const { return frameCount_.load(std::memory_order_relaxed); }
    bool isFocusing() const;
    bool isSelfAutoFocus() const;
    // A USB camera's stream was started and not stopped or paused.
    bool isSessionRunning() const;
    bool isWatchdogRunning() const;

private:
    void registerObservers();
    void startUsbCamera(const DCCameraPtr &camera);
    std::unique_ptr<CaptureSource> searchDevice(const DCCameraPtr &camera);
    bool openDevice(CaptureSource &source);
    void startWatchdog();
    void stopWatchdog();
    void deviceWillChange();
    void alert(const QString &title, const QString &text);
    CaptureSource::FrameCallback frameCallback();
    // Posts "DCWillDisplayImage" with the processed frame and counts it.
    FramePointer postDisplayedImage(FramePointer result);

    Dependencies deps_;
    ImageManipulator manipulator_;
    std::shared_ptr<NetworkCameraBranch> network_;

    mutable std::mutex sessionMutex_; // source_, sessionRunning_, resolution_, watchdog state
    std::unique_ptr<CaptureSource> source_;
    bool sessionRunning_ = false;
    bool networkRunning_ = false;
    QSize resolution_{1280, 960};
    bool watchdogRunning_ = false;
    uint32_t watchedFrameCount_ = 0;
    QTimer *watchdogTimer_ = nullptr; // main thread

    mutable std::mutex imageMutex_;
    FramePointer snapshotImage_;
    FramePointer lastestImage_;
    std::atomic<uint32_t> frameCount_{0};

    mutable std::mutex focusMutex_;
    bool isFocusing_ = false;
    bool isSelfAutoFocus_ = false;

    // Delayed work checks this before touching the controller.
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
    // A camera change posted on another thread waits here for the main thread's stop.
    std::mutex handoffMutex_;
    std::condition_variable handoffDone_;
    DCObserverSet observers_;
};

Q_DECLARE_METATYPE(DCCaptureViewController *)
