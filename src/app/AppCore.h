#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QString>
#include <QStringList>

#include "capture/FramePointer.h"
#include "core/DCNotificationCenter.h"
#include "devices/DCCamera.h"
#include "devices/DCCamerasController.h"

class DCActionController;
class DCCamSettingController;
class DCCaptureViewController;
class DnsSdProvider;
class HTTPServer;
class JPEGCompressor;
class SimUsbBus;
class StreamServiceAnnouncer;

// The owner of the program's top-level objects, without any window: the window's application
// controller and the command-line modes are front ends on it. It makes them in the start-up order
// (the log and the user defaults, the action controller, the camera controller, the settings store,
// the capture pipeline with its network branch, and the stream's compressor, server and announcement
// when asked), installs the process-wide ones where their shared accessors find them, and stops them
// in reverse. Discovery begins only with startToMonitor(), once a front end is ready for cameras.
//
// Main thread only. One core runs at a time (appCore()).
class AppCore {
public:
    enum class Streaming { AsStored, On, Off };

    struct Options {
        QStringList demoModels; // one simulated camera each ("" the default model)
        QStringList streamUrls; // network cameras at these MJPEG URLs, added by startToMonitor()
        // The window's start-up sends standard output and error into the log; the command-line modes
        // keep their own and write the log file beside them.
        bool redirectStandardStreams = false;
        // The action controller: photos from the camera's button, the self-timer, the sounds.
        bool actions = false;
        // The live picture of the current camera (off for modes that only look at the cameras).
        bool capture = true;
        // Restores the stored settings of each new current camera and hands its mirror and resolution
        // to the capture pipeline (the window's own reactions do this where there is one).
        bool followCameraChanges = true;
        // AsStored: serve the stream at start() when "VideoStreamSetKey" says so.
        Streaming streaming = Streaming::AsStored;
        std::optional<std::uint16_t> port; // instead of the stored or default port
        // A simulated camera when no USB camera has arrived shortly after discovery began.
        bool demoWhenNoCamera = false;
        // Where cameras come from and which DNS-SD is used (tests); unset: udev and Avahi.
        std::optional<DCCamerasController::Dependencies> cameraDependencies;
    };

    // The core that is running, or null (before start() and after stop()).
    static AppCore *appCore();

    explicit AppCore(Options options);
    ~AppCore(); // stop()
    AppCore(const AppCore &) = delete;
    AppCore &operator=(const AppCore &) = delete;

    // Makes everything up to the stream (which it starts when asked). False, with `error` set and
    // everything made so far stopped again, for a demo model or stream URL that cannot be used.
    bool start(QString *error);
    // The camera controller starts discovery; the cameras of the stream URLs are added.
    bool startToMonitor(QString *error);
    // Starts the stream's compressor, server and announcement (once); false with `error` when the
    // server cannot listen. The stream then stays off.
    bool startStreaming(QString *error);
    // Stops everything in the reverse order of its making; only the first call does anything.
    void stop();

    // A stop was asked for (a signal): waits give up, front ends leave.
    void requestStop();
    bool stopRequested() const { return stopRequested_; }

    DCCamerasController &cameras() { return *cameras_; }
    DCCamSettingController &settings() { return *settings_; }
    DCCaptureViewController *capture() { return capture_.get(); }
    DCActionController *actions() { return actions_.get(); }
    HTTPServer *server() { return server_.get(); }
    // The simulated camera stands in because no camera was attached (demoWhenNoCamera).
    bool showsDemoForMissingCamera() const { return demoPlugged_; }

    // Turn the main event loop (cameras and frames are posted to it) until the condition holds, the
    // time is up or a stop is requested; answer the condition then.
    bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit);
    // The current camera once there is one; null when the time is up.
    DCCameraPtr waitForCamera(std::chrono::milliseconds limit);
    // The current camera's stored settings (mirror, resolution) are handed to the pipeline; frames
    // before that may still show the previous ones.
    bool waitForStoredSettings(std::chrono::milliseconds limit);
    FramePointer waitForFirstFrame(std::chrono::milliseconds limit);

private:
    bool makeCameras(QString *error);
    void makeCapture();
    void observe();
    void cameraDidChange();
    void applyStoredSettings();
    void plugDemoIfNoCamera();

    Options options_;
    bool started_ = false;
    bool stopped_ = false;
    bool monitoring_ = false;
    bool stopRequested_ = false;
    bool demoPlugged_ = false;

    // In the order of their making; stop() releases them in reverse.
    std::unique_ptr<DCActionController> actions_;
    std::shared_ptr<DnsSdProvider> dnsSd_;
    std::shared_ptr<SimUsbBus> demoBus_;
    std::unique_ptr<DCCamerasController> cameras_;
    std::unique_ptr<DCCamSettingController> settings_;
    std::unique_ptr<DCCaptureViewController> capture_;
    std::unique_ptr<JPEGCompressor> compressor_;
    std::unique_ptr<HTTPServer> server_;
    std::shared_ptr<StreamServiceAnnouncer> announcer_;

    DCObserverSet observers_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true); // guards work queued to this thread
    std::weak_ptr<DCCamera> settledCamera_; // the camera whose settings were applied last

    std::mutex frameMutex_;
    FramePointer firstFrame_;
};
