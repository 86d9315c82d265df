#include "AppCore.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>

#include "capture/CaptureDevices.h"
#include "capture/DCCamSettingController.h"
#include "capture/DCCaptureViewController.h"
#include "core/DCLog.h"
#include "core/DCVocabulary.h"
#include "core/FirstRunDefaults.h"
#include "core/LogFolder.h"
#include "core/MainThread.h"
#include "core/SharedInstance.h"
#include "core/UserDefaults.h"
#include "devices/sim/SimUsbBus.h"
#include "devices/sim/SimUsbBusDeviceSource.h"
#include "dnssd/AvahiDnsSdProvider.h"
#include "photos/DCActionController.h"
#include "streaming/HTTPServer.h"
#include "streaming/JPEGCompressor.h"
#include "streaming/NetworkCameraView.h"
#include "streaming/StreamServiceAnnouncer.h"

namespace {

AppCore *gRunning = nullptr; // main thread only
// Twice the settle time a USB camera gets after it appears.
constexpr std::chrono::milliseconds kCameraArrivalWait{1000};

} // namespace

AppCore *AppCore::appCore() {
    return gRunning;
}

AppCore::AppCore(Options options) : options_(std::move(options)) {}

AppCore::~AppCore() {
    stop();
}

bool AppCore::start(QString *error) {
    if (started_) return true;
    started_ = true;
    gRunning = this;
    if (options_.redirectStandardStreams)
        DCLog::redirectStandardStreams(LogFolder::defaultPath());
    else
        DCLog::openLogFile(LogFolder::defaultPath());
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    FirstRunDefaults::setAppDefault(defaults);
    if (options_.actions) actions_ = std::make_unique<DCActionController>();
    if (!makeCameras(error)) {
        stop();
        return false;
    }
    settings_ = std::make_unique<DCCamSettingController>(defaults);
    SharedInstance<DCCamSettingController>::install(settings_.get());
    if (options_.capture) makeCapture();
    observe();
    const bool stream =
        options_.streaming == Streaming::On ||
        (options_.streaming == Streaming::AsStored && defaults.boolForKey(DCDefaults::VideoStreamSet));
    if (stream) {
        QString failure;
        if (!startStreaming(&failure)) DCLog("The stream is off: %s", qUtf8Printable(failure));
    }
    return true;
}

bool AppCore::makeCameras(QString *error) {
    DCCamerasController::Dependencies dependencies = options_.cameraDependencies
                                                         ? *options_.cameraDependencies
                                                         : DCCamerasController::defaultDependencies();
    dnsSd_ = dependencies.dnsSdProvider;
    if (!options_.demoModels.isEmpty() || options_.demoWhenNoCamera) {
        demoBus_ = std::make_shared<SimUsbBus>();
        if (!demoBus_->plugDemoCameras(options_.demoModels, error)) return false;
        CaptureDevices::addSimulatedBus(demoBus_);
        dependencies.deviceSources.push_back(std::make_shared<SimUsbBusDeviceSource>(demoBus_));
    }
    cameras_ = std::make_unique<DCCamerasController>(std::move(dependencies));
    SharedInstance<DCCamerasController>::install(cameras_.get());
    return true;
}

void AppCore::makeCapture() {
    capture_ = std::make_unique<DCCaptureViewController>();
    // Network cameras are resolved through the DNS-SD that found them.
    NetworkCameraView::Dependencies network;
    network.dnsSdProvider = dnsSd_;
    capture_->setNetworkCameraBranch(std::make_shared<NetworkCameraView>(std::move(network)));
}

void AppCore::observe() {
    // "Keep the camera's settings" off means: restore the stored ones on every camera change.
    observers_.add(DCNote::DCKeepCameraSetDidChangeNotification, [this](const DCNotification &note) {
        const bool restoreable = note.userInfo.value(DCDefaults::KeepCameraSet).toInt() == 0;
        MainThread::run([this, alive = alive_, restoreable] {
            if (*alive) settings_->setRestoreable(restoreable);
        });
    });
    if (options_.followCameraChanges && capture_) {
        observers_.add(DCNote::DCCameraDidChange, [this](const DCNotification &) {
            MainThread::run([this, alive = alive_] {
                if (*alive) cameraDidChange();
            });
        });
    }
    observers_.add(DCNote::DCWillDisplayImage, [this](const DCNotification &note) {
        if (note.object.value<DCCaptureViewController *>() != capture_.get()) return;
        std::lock_guard lock(frameMutex_);
        if (!firstFrame_) firstFrame_ = note.userInfo.value(DCKey::Image).value<FramePointer>();
    });
}

bool AppCore::startToMonitor(QString *error) {
    if (monitoring_ || !cameras_) return monitoring_;
    monitoring_ = true;
    cameras_->startToMonitor();
    // After the start, whose first change (to no camera) would otherwise undo theirs.
    for (const QString &url : options_.streamUrls)
        if (!cameras_->addStreamCamera(QUrl(url), error)) return false;
    if (options_.demoWhenNoCamera && options_.demoModels.isEmpty())
        QTimer::singleShot(kCameraArrivalWait, [this, alive = alive_] {
            if (*alive) plugDemoIfNoCamera();
        });
    return true;
}

// Attached cameras arrive within their settle time after discovery begins; a camera plugged in later
// still becomes current.
void AppCore::plugDemoIfNoCamera() {
    if (!cameras_->usbCameras().empty()) return;
    DCLog("No camera is attached: the simulated camera stands in");
    QString error;
    demoPlugged_ = demoBus_->plugDemoCameras({QString()}, &error);
}

bool AppCore::startStreaming(QString *error) {
    if (server_) return server_->state() == HTTPServer::Running;
    compressor_ = std::make_unique<JPEGCompressor>();
    HTTPServer::Configuration configuration = HTTPServer::defaultConfiguration();
    if (options_.port) configuration.port = *options_.port;
    server_ = std::make_unique<HTTPServer>(configuration);
    HTTPServer *server = server_.get();
    compressor_->setFrameSink(
        [server](std::shared_ptr<const JpegFrame> frame) { server->publishFrame(std::move(frame)); });
    compressor_->compressOnlyWhileWatched(*server);
    HTTPServer::Hooks hooks;
    hooks.startFrameSource = [compressor = compressor_.get()] { compressor->start(); };
    hooks.stopFrameSource = [compressor = compressor_.get()] { compressor->stop(); };
    announcer_ = StreamServiceAnnouncer::create(dnsSd_ ? dnsSd_ : std::make_shared<AvahiDnsSdProvider>());
    announcer_->install(hooks);
    server_->setHooks(std::move(hooks));
    SharedInstance<JPEGCompressor>::install(compressor_.get());
    SharedInstance<HTTPServer>::install(server_.get());
    server_->start();
    if (server_->state() == HTTPServer::Running) return true;
    if (error) {
        const auto lastError = server_->lastError();
        *error = lastError ? lastError->localizedDescription : QStringLiteral("unknown error");
    }
    return false;
}

void AppCore::stop() {
    if (!started_ || stopped_) return;
    stopped_ = true;
    *alive_ = false;
    observers_.clear();
    // The stream first: its withdrawal runs here, on this thread, before anything it shows goes.
    if (server_) {
        server_->stop();
        SharedInstance<HTTPServer>::uninstall(server_.get());
        SharedInstance<JPEGCompressor>::uninstall(compressor_.get());
        server_.reset();
        announcer_.reset();
        compressor_.reset();
    }
    if (capture_) capture_->stop();
    capture_.reset();
    SharedInstance<DCCamSettingController>::uninstall(settings_.get());
    settings_.reset();
    if (cameras_) {
        cameras_->stop(); // ends the device thread and releases every camera
        SharedInstance<DCCamerasController>::uninstall(cameras_.get());
        cameras_.reset();
    }
    if (demoBus_) CaptureDevices::removeSimulatedBus(demoBus_);
    demoBus_.reset();
    actions_.reset(); // finishes the photos already queued
    dnsSd_.reset();
    {
        std::lock_guard lock(frameMutex_);
        firstFrame_.reset();
    }
    UserDefaults::standardUserDefaults().synchronize();
    DCLog("Stopped");
    if (gRunning == this) gRunning = nullptr;
}

void AppCore::requestStop() {
    stopRequested_ = true;
}

void AppCore::cameraDidChange() {
    const DCCameraPtr camera = cameras_->currentCamera();
    if (!camera) return;
    settings_->resetCameraParameters();
    applyStoredSettings();
    settledCamera_ = camera;
}

// What the settings store restored for this camera model, handed to the pipeline. The zoom always
// starts at 1.0 for a new camera.
void AppCore::applyStoredSettings() {
    capture_->setHFlipped(settings_->hFlipped());
    capture_->setVFlipped(settings_->vFlipped());
    const DCCameraPtr camera = cameras_->currentCamera();
    if (!camera) return;
    const QSize size = camera->classResolutionAtIndex(settings_->resolution()).toSize();
    if (!size.isEmpty()) capture_->setResolution(size);
}

// Camera changes and frames are posted to this thread, so it must never simply sleep.
bool AppCore::spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    while (!done()) {
        if (stopRequested_ || clock.elapsed() >= limit.count()) return false;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

DCCameraPtr AppCore::waitForCamera(std::chrono::milliseconds limit) {
    spinUntil([&] { return cameras_->currentCamera() != nullptr; }, limit);
    return cameras_->currentCamera();
}

bool AppCore::waitForStoredSettings(std::chrono::milliseconds limit) {
    return spinUntil(
        [&] {
            const DCCameraPtr camera = cameras_->currentCamera();
            return camera && camera == settledCamera_.lock();
        },
        limit);
}

FramePointer AppCore::waitForFirstFrame(std::chrono::milliseconds limit) {
    const auto arrived = [this] {
        std::lock_guard lock(frameMutex_);
        return firstFrame_ != nullptr;
    };
    if (!spinUntil(arrived, limit)) return nullptr;
    std::lock_guard lock(frameMutex_);
    return firstFrame_;
}
