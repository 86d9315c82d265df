#include "LiveSession.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "CommandLine.h"
#include "capture/CaptureDevices.h"
#include "capture/DCCamSettingController.h"
#include "capture/DCCaptureViewController.h"
#include "core/DCLog.h"
#include "core/DCVocabulary.h"
#include "core/LogFolder.h"
#include "core/MainThread.h"
#include "devices/DCCamerasController.h"
#include "devices/sim/SimUsbBus.h"
#include "devices/sim/SimUsbBusDeviceSource.h"
#include "streaming/NetworkCameraView.h"

LiveSession::LiveSession() = default;

LiveSession::~LiveSession() {
    *alive_ = false;
    observers_.clear();
    if (capture_) capture_->stop();
    capture_.reset();
    if (demoBus_) CaptureDevices::removeSimulatedBus(demoBus_);
}

bool LiveSession::start(const CommandLine &cl, QString *error) {
    DCLog::openLogFile(LogFolder::defaultPath());
    auto dependencies = DCCamerasController::defaultDependencies();
    if (!cl.demoModels.isEmpty()) {
        demoBus_ = std::make_shared<SimUsbBus>();
        if (!demoBus_->plugDemoCameras(cl.demoModels, error)) return false;
        CaptureDevices::addSimulatedBus(demoBus_);
        dependencies.deviceSources.push_back(std::make_shared<SimUsbBusDeviceSource>(demoBus_));
    }
    // Network cameras are resolved through the same DNS-SD as they are found.
    NetworkCameraView::Dependencies network;
    network.dnsSdProvider = dependencies.dnsSdProvider;
    DCCamerasController::setSharedDependencies(std::move(dependencies));

    capture_ = std::make_unique<DCCaptureViewController>();
    capture_->setNetworkCameraBranch(std::make_shared<NetworkCameraView>(std::move(network)));
    observers_.add(DCNote::DCCameraDidChange, [this, alive = alive_](const DCNotification &) {
        MainThread::run([this, alive] {
            if (*alive) cameraDidChange();
        });
    });
    observers_.add(DCNote::DCWillDisplayImage, [this](const DCNotification &note) {
        if (note.object.value<DCCaptureViewController *>() != capture_.get()) return;
        std::lock_guard lock(frameMutex_);
        if (!firstFrame_) firstFrame_ = note.userInfo.value(DCKey::Image).value<FramePointer>();
    });
    DCCamerasController &cameras = DCCamerasController::sharedController();
    cameras.startToMonitor();
    // After the start, whose first change (to no camera) would otherwise undo theirs.
    for (const QString &url : cl.streamUrls)
        if (!cameras.addStreamCamera(QUrl(url), error)) return false;
    return true;
}

DCCamSettingController &LiveSession::settings() {
    return DCCamSettingController::sharedInstance();
}

void LiveSession::cameraDidChange() {
    if (!DCCamerasController::sharedController().currentCamera()) return;
    settings().resetCameraParameters();
    applyStoredSettings();
    settledCamera_ = DCCamerasController::sharedController().currentCamera();
}

// What the settings store restored for this camera model, handed to the pipeline. The zoom always
// starts at 1.0 for a new camera.
void LiveSession::applyStoredSettings() {
    DCCamSettingController &stored = settings();
    capture_->setHFlipped(stored.hFlipped());
    capture_->setVFlipped(stored.vFlipped());
    const DCCameraPtr camera = DCCamerasController::sharedController().currentCamera();
    if (!camera) return;
    const QSize size = camera->classResolutionAtIndex(stored.resolution()).toSize();
    if (!size.isEmpty()) capture_->setResolution(size);
}

// Camera changes and frames are posted to this thread, so it must never simply sleep.
bool LiveSession::spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    while (!done()) {
        if (clock.elapsed() >= limit.count()) return false;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

DCCameraPtr LiveSession::waitForCamera(std::chrono::milliseconds limit) {
    DCCamerasController &cameras = DCCamerasController::sharedController();
    spinUntil([&] { return cameras.currentCamera() != nullptr; }, limit);
    return cameras.currentCamera();
}

bool LiveSession::waitForStoredSettings(std::chrono::milliseconds limit) {
    DCCamerasController &cameras = DCCamerasController::sharedController();
    return spinUntil(
        [&] {
            const DCCameraPtr camera = cameras.currentCamera();
            return camera && camera == settledCamera_.lock();
        },
        limit);
}

FramePointer LiveSession::waitForFirstFrame(std::chrono::milliseconds limit) {
    const auto arrived = [this] {
        std::lock_guard lock(frameMutex_);
        return firstFrame_ != nullptr;
    };
    if (!spinUntil(arrived, limit)) return nullptr;
    std::lock_guard lock(frameMutex_);
    return firstFrame_;
}
