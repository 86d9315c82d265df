#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include <QString>

#include "capture/FramePointer.h"
#include "core/DCNotificationCenter.h"
#include "devices/DCCamera.h"

class DCCamSettingController;
class DCCaptureViewController;
class SimUsbBus;
struct CommandLine;

// The live picture without windows, as the command-line modes use it: the log file, the demo cameras,
// the shared camera controller, the stored settings of the current camera and the capture pipeline
// with its network camera branch.
// When the current camera changes, its stored settings are restored and its mirror and resolution
// passed to the capture pipeline, as the main window does. Main thread only.
class LiveSession {
public:
    LiveSession();
    ~LiveSession();
    LiveSession(const LiveSession &) = delete;
    LiveSession &operator=(const LiveSession &) = delete;

    // Opens the log file, plugs the demo cameras of `cl`, starts discovery and capture (network cameras
    // included) and adds the cameras of its stream URLs. False with `error` set when the command line
    // names an unknown demo model or a stream URL that is not http.
    bool start(const CommandLine &cl, QString *error);

    // Spin the main event loop until there is a current camera / a displayed frame, or the time is up
    // (null then).
    DCCameraPtr waitForCamera(std::chrono::milliseconds limit);
    // Spins until the current camera's stored settings (mirror, resolution) are handed to the pipeline;
    // frames before that may still show the previous ones. False when the time is up.
    bool waitForStoredSettings(std::chrono::milliseconds limit);
    FramePointer waitForFirstFrame(std::chrono::milliseconds limit);
    // Turns the main event loop until `done` answers true or the time is up; answers `done` then.
    static bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit);

    DCCaptureViewController &capture() { return *capture_; }
    DCCamSettingController &settings();

private:
    void cameraDidChange();
    void applyStoredSettings();

    std::shared_ptr<SimUsbBus> demoBus_;
    std::unique_ptr<DCCaptureViewController> capture_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    DCObserverSet observers_;

    std::weak_ptr<DCCamera> settledCamera_; // main thread: the camera whose settings were applied last

    std::mutex frameMutex_;
    FramePointer firstFrame_;
};
