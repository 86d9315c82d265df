#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include <QDateTime>
#include <QString>

#include "capture/FramePointer.h"
#include "core/DCNotificationCenter.h"
#include "devices/DCCamera.h"
#include "photos/SoundEffects.h"

class OperationQueue;
class QTimer;
class SnapshotNamer;
class UserDefaults;

// Turns requests to take a picture into numbered photo files, runs the self-timer countdown, plays
// the focus and shutter sounds and carries out the function of the camera's programmable button.
//
// Threads: the request, the countdown and every handler run on the main thread (requests and button
// presses from other threads are handed to it). The newest frame arrives on the frame-delivery thread
// and is kept under a mutex. Rendering, encoding and writing run on the controller's own operation
// queue; file numbering is serialised by the namer's lock; the file announcement goes back to the
// main thread.
class DCActionController {
public:
    using Clock = std::function<QDateTime()>;

    // The functions of the programmable button ("ProgramKeyFunctionKey").
    enum ProgrammableKeyFunction { Focus = 0, DigitalZoom = 1, Exposure = 2, Mirror = 3 };

    struct Dependencies {
        UserDefaults *defaults = nullptr;           // null: the standard user defaults
        Clock clock;                                // local time now; null: the system clock
        std::function<DCCameraPtr()> currentCamera; // null: the shared camera controller's
        std::shared_ptr<SoundEffects> sounds;       // null: QSoundEffect with the wav resources
        // False leaves the countdown's repeating timer out; tests call timerToSnapshot() themselves.
        bool countdownTimer = true;
        int concurrentSnapshots = 2;
    };

    DCActionController();
    explicit DCActionController(Dependencies dependencies);
    // Removes the observers and stops the countdown, then finishes the snapshots already queued.
    ~DCActionController();
    DCActionController(const DCActionController &) = delete;
    DCActionController &operator=(const DCActionController &) = delete;

    // Takes the picture now with the newest frame. Without any frame yet nothing is saved (logged);
    // answers whether a picture was queued.
    bool snapshot();
    // Renders, encodes and writes one file (the operation queue).
    void doRealCapturePhoto(const FramePointer &image, const QString &model);
    // Announces a written file (main thread).
    void notifyView(const QString &path);
    // One countdown step.
    void timerToSnapshot();
    QString calculatePrefix();
    void loadDefaults();

    // Notification handlers (also callable directly).
    void korvaDidSnapshot();
    void korvaDidPressCustomButton();
    void cameraWillBeginSelfAutoFocus();
    void cameraDidBeginFocus();
    void cameraDidEndFocus();

    QString custPrefix() const;
    void setCustPrefix(const QString &prefix);
    QString baseDir() const;
    void setBaseDir(const QString &folder);
    FramePointer currentImage() const;
    void setCurrentImage(FramePointer image);

    bool isCounting() const { return counting_; }
    int count() const { return count_; }
    int timerValue() const { return timerValue_; }
    float zoomFactor() const { return zoomFactor_; }
    int16_t exposure() const { return exposure_; }
    bool horizontalFlipped() const { return horizontalFilpped_; }
    bool verticalFlipped() const { return verticalFilpped_; }
    int programmableKeyFunc() const { return programmableKeyFunc_; }
    bool shouldPlayShutterSound() const { return shouldPlayShutterSound_; }
    bool shouldPlayFocusSound() const { return shouldPlayFocusSound_; }
    bool shouldUseCustPrefix() const;

    // Blocks until every queued snapshot is written (tests, the command line). Not on the queue.
    void waitUntilSnapshotsAreWritten();

private:
    void registerObservers();
    // Runs `work` on the main thread while the controller lives.
    void onMainThread(std::function<void()> work);
    void startCountdown();
    void stopCountdown();
    void playShutterSound(SoundEffects::Sound sound);
    // The programmable button's exposure function: the next of the five steps around the camera's default.
    void stepExposure();
    void announceFailure();
    QString currentModel() const;

    void setSnapshotSoundEffect(bool on);
    void setFocusSoundEffect(bool on);
    void setPhotoNameFormat(bool useCustPrefix, const QString &prefix);

    Dependencies deps_;
    UserDefaults &defaults_;
    std::unique_ptr<SnapshotNamer> namer_;
    std::shared_ptr<SoundEffects> sounds_;

    std::atomic<bool> shouldPlayShutterSound_{false};
    std::atomic<bool> shouldPlayFocusSound_{false};
    std::atomic<bool> isAutoFocus_{false};

    // Main thread.
    int programmableKeyFunc_ = 0;
    // The camera's own exposure step, as the toolbar shows it (0: not known yet).
    int16_t exposure_ = 0;
    float zoomFactor_ = 1.0f;
    int timerValue_ = 0;
    bool verticalFilpped_ = false;
    bool horizontalFilpped_ = false;
    int count_ = 0;
    bool counting_ = false;
    std::unique_ptr<QTimer> snapshotTimer_;

    mutable std::mutex settingsMutex_; // custPrefix_, baseDir_, shouldUseCustPrefix_
    QString custPrefix_;
    QString baseDir_;
    bool shouldUseCustPrefix_ = false;

    mutable std::mutex imageMutex_;
    FramePointer currentImage_;

    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
    DCObserverSet observers_;
    std::unique_ptr<OperationQueue> opQueue_;
};
