#include "DCCamerasController.h"

#include <algorithm>
#include <future>
#include <thread>

#include <QObject>
#include <QThread>
#include <QTimer>

#include "core/DCLog.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/SharedInstance.h"
#include "devices/DCCameraKorva.h"
#include "devices/DCNetCamera.h"
#include "devices/DCProductTable.h"
#include "devices/DCUVCCamera.h"
#include "devices/ThreadWorkQueue.h"
#include "devices/UdevDeviceSource.h"
#include "devices/UsbDevice.h"
#include "dnssd/AvahiDnsSdProvider.h"
#include "dnssd/DnsSdLimits.h"
#include "dnssd/DnsSdOwnNames.h"
#include "dnssd/DnsSdProvider.h"

namespace {

const QString kAnnouncementType = QStringLiteral("_korDevPub._udp.");
const QString kStreamType = QStringLiteral("_mjpegStreamer._tcp.");
const QString kDomain = QStringLiteral("local.");

// A search that keeps failing is started again at once the first time, then after a growing pause,
// so a broken daemon cannot keep the device thread spinning.
constexpr int kMaxRetryDelayMs = 5000;

QByteArray wireNameOf(const DCNetCamera &camera) {
    if (const auto service = camera.deviceNetService()) return service->wireName();
    if (const auto service = camera.streamNetService()) return service->wireName();
    return {};
}

bool isComplete(const DCNetCamera &camera) {
    return (camera.deviceNetService() && camera.streamNetService()) || !camera.streamURL().isEmpty();
}

template <class List, class Camera> bool eraseFrom(List &list, const Camera &camera) {
    const auto it = std::find(list.begin(), list.end(), camera);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

} // namespace

DCCamerasController &DCCamerasController::sharedController() {
    if (DCCamerasController *controller = SharedInstance<DCCamerasController>::get()) return *controller;
    qFatal("No camera controller is installed; the application core makes and installs it");
}

DCCameraPtr DCCamerasController::sharedCurrentCamera() {
    DCCamerasController *controller = SharedInstance<DCCamerasController>::get();
    return controller ? controller->currentCamera() : nullptr;
}

DCCamerasController::Dependencies DCCamerasController::defaultDependencies() {
    Dependencies dependencies;
    dependencies.dnsSdProvider = std::make_shared<AvahiDnsSdProvider>();
    dependencies.deviceSources.push_back(std::make_shared<UdevDeviceSource>());
    return dependencies;
}

DCCamerasController::DCCamerasController(Dependencies dependencies)
    : dependencies_(std::move(dependencies)),
      opQueue_(std::make_shared<OperationQueue>("camera operations", 1)),
      deviceWork_(std::make_unique<ThreadWorkQueue>()) {
    if (!dependencies_.sleep)
        dependencies_.sleep = [](std::chrono::milliseconds time) { std::this_thread::sleep_for(time); };
    if (!dependencies_.ownServiceNames) dependencies_.ownServiceNames = DnsSdOwnNames::shared();
}

DCCamerasController::~DCCamerasController() {
    stop();
}

void DCCamerasController::stop() {
    std::lock_guard stopLock(stopMutex_);
    if (stopped_) return;
    {
        std::lock_guard lock(startMutex_);
        started_ = true; // a start after this does nothing
    }
    if (thread_) {
        // The device thread refuses new operations, runs those queued and detaches the cameras.
        runOnDeviceThreadAndWait([this] { stopMonitoring(); });
        thread_->quit();
        thread_->wait();
        threadFinished_.get_future().wait();
    }
    std::shared_ptr<OperationQueue> queue;
    {
        std::lock_guard lock(queueMutex_);
        queue = std::move(opQueue_);
    }
    // Never started: what was queued runs now. Either way the queue's thread ends here.
    if (queue) queue->waitUntilAllOperationsAreFinished();
    queue.reset();
    detachAll();
    stopped_ = true;
}

std::shared_ptr<OperationQueue> DCCamerasController::queue() const {
    std::lock_guard lock(queueMutex_);
    return opQueue_;
}

void DCCamerasController::addOperation(std::function<void()> operation) {
    if (const auto q = queue()) q->addOperation(std::move(operation));
}

void DCCamerasController::waitForQueuedOperations() {
    if (const auto q = queue()) q->waitUntilAllOperationsAreFinished();
}

void DCCamerasController::runOnDeviceThreadAndWait(std::function<void()> work) {
    // Work the device thread drops (it has stopped serving) breaks the promise and ends the wait.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    deviceWork_->post([work = std::move(work), done] {
        work();
        done->set_value();
    });
    finished.wait();
}

void DCCamerasController::postNotification(const QString &name, bool fromController,
                                           const QVariantMap &userInfo) {
    DCNotificationCenter::defaultCenter().postNotificationName(
        name, fromController ? QVariant::fromValue(this) : QVariant(), userInfo);
}

// --- the current camera ----------------------------------------------------------------------------

DCCameraPtr DCCamerasController::currentCamera() const {
    std::lock_guard lock(currentCameraLock_);
    return currentCamera_;
}

void DCCamerasController::setCurrentCamera(DCCameraPtr camera) {
    if (stopped_) return;
    QVariantMap userInfo;
    if (DCCameraPtr original = currentCamera())
        userInfo.insert(DCKey::OriginalCamera, QVariant::fromValue(original));
    if (camera) userInfo.insert(DCKey::NewCamera, QVariant::fromValue(camera));
    postNotification(DCNote::DCCameraWillChange, false, userInfo);
    DCCameraPtr old; // released only after the change is announced
    {
        std::lock_guard lock(currentCameraLock_);
        old = std::move(currentCamera_);
        if (old) old->setActive(false);
        currentCamera_ = camera;
        if (camera) camera->setActive(true);
    }
    postNotification(DCNote::DCCameraDidChange, true, userInfo);
}

QList<DCCameraPtr> DCCamerasController::availableCameras() const {
    QList<DCCameraPtr> cameras;
    std::lock_guard lock(listsMutex_);
    for (const auto &camera : usbCameras_)
        cameras.append(camera);
    for (const auto &camera : netCameras_)
        if (isComplete(*camera)) cameras.append(camera);
    return cameras;
}

std::vector<std::shared_ptr<DCUVCCamera>> DCCamerasController::usbCameras() const {
    std::lock_guard lock(listsMutex_);
    return usbCameras_;
}

std::vector<std::shared_ptr<DCNetCamera>> DCCamerasController::netCameras() const {
    std::lock_guard lock(listsMutex_);
    return netCameras_;
}

// --- operations ------------------------------------------------------------------------------------

void DCCamerasController::addUSBCamera(std::shared_ptr<DCUVCCamera> camera) {
    if (!camera || stopped_) return;
    DCLog("%s", qUtf8Printable(camera->description()));
    {
        std::lock_guard lock(listsMutex_);
        usbCameras_.push_back(camera);
    }
    // The maker's cameras always take over; another camera only when there is none.
    if (std::dynamic_pointer_cast<DCCameraKorva>(camera) || !currentCamera()) setCurrentCamera(camera);
    postNotification(DCNote::DCCameraDidAdd, true);
}

void DCCamerasController::addNetCamera(std::shared_ptr<DCNetCamera> camera) {
    if (!camera || stopped_) return;
    DCLog("%s", qUtf8Printable(camera->description()));
    {
        std::lock_guard lock(listsMutex_);
        if (std::find(netCameras_.begin(), netCameras_.end(), camera) == netCameras_.end()) {
            DCLog("%s went away before it was added", qUtf8Printable(camera->description()));
            return;
        }
    }
    if (!isComplete(*camera)) return;
    if (!currentCamera()) {
        DCLog("Set current camera to %s", qUtf8Printable(camera->description()));
        setCurrentCamera(camera);
    }
    postNotification(DCNote::DCCameraDidAdd, true);
}

std::shared_ptr<DCNetCamera> DCCamerasController::addStreamCamera(const QUrl &url, QString *error) {
    const auto refuse = [&](const QString &why) -> std::shared_ptr<DCNetCamera> {
        if (!stopped_) DCLog("%s", qUtf8Printable(why));
        if (error) *error = why;
        return nullptr;
    };
    const auto q = queue();
    if (!q) return refuse(QStringLiteral("the camera controller has stopped"));
    // The stream client speaks plain HTTP only.
    if (!url.isValid() || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 ||
        url.host().isEmpty())
        return refuse(
            QStringLiteral("not an http stream URL: %1").arg(url.toDisplayString(QUrl::RemovePassword)));
    auto camera = DCNetCamera::camera();
    camera->setStreamURL(url);
    {
        std::lock_guard lock(listsMutex_);
        netCameras_.push_back(camera);
    }
    q->addOperation([this, camera] { addNetCamera(camera); });
    return camera;
}

void DCCamerasController::removeCameraOperation(DCCameraPtr camera) {
    if (!camera || stopped_) return;
    DCLog("%s", "");
    bool listed = false;
    {
        std::lock_guard lock(listsMutex_);
        if (auto usb = std::dynamic_pointer_cast<DCUVCCamera>(camera))
            listed = eraseFrom(usbCameras_, usb);
        else if (auto net = std::dynamic_pointer_cast<DCNetCamera>(camera))
            listed = eraseFrom(netCameras_, net);
    }
    // A camera removed twice (by the device thread and through the queue) is announced once.
    if (!listed) {
        DCLog("%s is not listed any more", qUtf8Printable(camera->description()));
        return;
    }
    camera->setActive(false);
    camera->prepareToDetatch();
    if (currentCamera() == camera) {
        const QList<DCCameraPtr> available = availableCameras();
        setCurrentCamera(available.isEmpty() ? nullptr : available.first());
    }
    postNotification(DCNote::DCCameraDidRemove, true);
}

void DCCamerasController::removeCamera(DCCameraPtr camera) {
    addOperation([this, camera] { removeCameraOperation(camera); });
}

void DCCamerasController::detachAll() {
    std::vector<DCCameraPtr> cameras;
    {
        std::lock_guard lock(listsMutex_);
        cameras.insert(cameras.end(), usbCameras_.begin(), usbCameras_.end());
        cameras.insert(cameras.end(), netCameras_.begin(), netCameras_.end());
        usbCameras_.clear();
        netCameras_.clear();
    }
    {
        std::lock_guard lock(currentCameraLock_);
        currentCamera_.reset();
    }
    for (const auto &camera : cameras) {
        camera->setActive(false);
        camera->prepareToDetatch();
    }
}

// --- the device thread -----------------------------------------------------------------------------

void DCCamerasController::startToMonitor() {
    {
        std::lock_guard lock(startMutex_);
        if (started_) return;
        started_ = true;
    }
    setCurrentCamera(nullptr);
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName(QStringLiteral("device thread"));
    // Runs on the new thread before its event loop.
    QObject::connect(thread_.get(), &QThread::started, [this] { deviceThreadEntry(); });
    QObject::connect(thread_.get(), &QThread::finished, [this] { threadFinished_.set_value(); });
    thread_->start();
}

void DCCamerasController::waitUntilSettled() {
    if (stopped_) return;
    if (thread_) {
        runOnDeviceThreadAndWait([this] {
            for (const auto &source : startedSources_)
                source->flush();
        });
    }
    waitForQueuedOperations();
}

void DCCamerasController::deviceThreadEntry() {
    context_ = new QObject;
    deviceWork_->attach();
    ownNamesListener_ =
        dependencies_.ownServiceNames->addListener([this](const QString &name, DnsSdOwnNames::Change change) {
            deviceWork_->post([this, name, change] { ownServiceNameChanged(name, change); });
        });
    for (const auto &source : dependencies_.deviceSources) {
        if (source && source->start(*this)) startedSources_.push_back(source);
    }
    restartNetServiceBrowsers();
    setupCameraUpdateTimer();
}

void DCCamerasController::stopMonitoring() {
    // No news from here on: names, sources, browsers and timers go first.
    dependencies_.ownServiceNames->removeListener(ownNamesListener_);
    for (const auto &source : startedSources_)
        source->stop();
    startedSources_.clear();
    if (announcementServiceBrowser_) announcementServiceBrowser_->stop();
    if (streamServiceBrowser_) streamServiceBrowser_->stop();
    announcementServiceBrowser_.reset();
    streamServiceBrowser_.reset();
    delete context_; // and the timers
    context_ = nullptr;
    cameraStatusUpdateTimer_ = nullptr;
    // The operations already queued run to their end (they may add a camera); later ones are refused.
    std::shared_ptr<OperationQueue> queue;
    {
        std::lock_guard lock(queueMutex_);
        queue = std::move(opQueue_);
    }
    if (queue) queue->waitUntilAllOperationsAreFinished();
    // Cameras close their device interfaces here, where their events are served, while the loop still
    // runs: what they set up on this thread is freed on it.
    detachAll();
    deviceWork_->detach();
    // The queue's thread ends with the last reference, which stop() may hold too.
    queue.reset();
}

void DCCamerasController::setupCameraUpdateTimer() {
    cameraStatusUpdateTimer_ = new QTimer(context_);
    cameraStatusUpdateTimer_->setInterval(kStatusInterval);
    QObject::connect(cameraStatusUpdateTimer_, &QTimer::timeout, context_, [this] { updateCameraStatus(); });
    cameraStatusUpdateTimer_->start();
}

void DCCamerasController::updateCameraStatus() {
    // Access to a camera's HID interface may come later (a udev rule installed, a group joined).
    for (const auto &camera : usbCameras())
        if (auto korva = std::dynamic_pointer_cast<DCCameraKorva>(camera)) korva->retryHidSetup();
    if (DCCameraPtr camera = currentCamera()) camera->updateStatus();
}

void DCCamerasController::deviceAttached(std::shared_ptr<UsbDevice> device) {
    if (!device) return;
    const UsbDeviceProperties p = device->properties().value_or(UsbDeviceProperties{});
    DCLog("Got a device: vendor 0x%04x, product 0x%04x, version 0x%04x, location 0x%04x\n", p.idVendor,
          p.idProduct, p.bcdDevice, p.locationID);
    // The device finishes its own start-up first.
    dependencies_.sleep(kSettleTime);
    const auto product = DCProductTable::lookup(p.idVendor, p.idProduct);
    if (!product) return;
    DCLog("%s", product->logLine);
    std::shared_ptr<DCUVCCamera> camera = product->camera();
    camera->setProductId(p.idProduct);
    // A device that goes away during preparation can no longer be read; removal still finds the
    // camera by the location it arrived at.
    camera->setVendorId(p.idVendor);
    camera->setLocationId(p.locationID);
    camera->prepareToWorkWithDevice(std::move(device));
    addOperation([this, camera] { addUSBCamera(camera); });
}

void DCCamerasController::deviceDettached(uint32_t locationID) {
    // A camera still waiting to be added is in the list once the queued operations have run.
    waitForQueuedOperations();
    for (const auto &camera : usbCameras()) {
        if (camera->locationId() == locationID) removeCameraOperation(camera);
    }
}

void DCCamerasController::removeAfterQueuedOperations(const DCCameraPtr &camera) {
    waitForQueuedOperations();
    removeCameraOperation(camera);
}

// --- network cameras (device thread) ---------------------------------------------------------------

void DCCamerasController::restartNetServiceBrowsers() {
    if (announcementServiceBrowser_) announcementServiceBrowser_->stop();
    if (streamServiceBrowser_) streamServiceBrowser_->stop();
    announcementServiceBrowser_.reset();
    streamServiceBrowser_.reset();
    if (!dependencies_.dnsSdProvider) return;
    announcementServiceBrowser_ = dependencies_.dnsSdProvider->createBrowser(*this);
    streamServiceBrowser_ = dependencies_.dnsSdProvider->createBrowser(*this);
    announcementServiceBrowser_->searchForServicesOfType(kAnnouncementType, kDomain);
    streamServiceBrowser_->searchForServicesOfType(kStreamType, kDomain);
}

std::shared_ptr<DCNetCamera> DCCamerasController::netCameraNamed(const QByteArray &wireName) const {
    std::lock_guard lock(listsMutex_);
    for (const auto &camera : netCameras_)
        if (camera->streamURL().isEmpty() && wireNameOf(*camera) == wireName) return camera;
    return nullptr;
}

void DCCamerasController::didFindService(DnsSdBrowser &browser, const DnsSdService &service, bool) {
    DCLog("Found a service: %s.%s%s, %s", qUtf8Printable(service.name), qUtf8Printable(service.type),
          qUtf8Printable(service.domain), "(not resolved)");
    if (&browser == announcementServiceBrowser_.get()) announcementFailures_ = 0;
    if (&browser == streamServiceBrowser_.get()) streamFailures_ = 0;
    const QString type = DnsSdLimits::withTrailingDot(service.type);
    if (type != kAnnouncementType && type != kStreamType) return;
    if (dependencies_.ownServiceNames->contains(service.name)) {
        DCLog("Passing over our own announcement %s", qUtf8Printable(service.name));
        return;
    }
    // The two services of one instance share their name, which is also the camera's model name.
    std::shared_ptr<DCNetCamera> camera = netCameraNamed(service.wireName());
    const bool isNew = !camera;
    if (isNew) camera = DCNetCamera::camera();
    // Found again after the browsers started over: nothing new.
    const auto known = type == kAnnouncementType ? camera->deviceNetService() : camera->streamNetService();
    if (known && known->sameService(service)) return;
    if (type == kAnnouncementType)
        camera->setDeviceNetService(service);
    else
        camera->setStreamNetService(service);
    if (isNew) {
        std::lock_guard lock(listsMutex_);
        netCameras_.push_back(camera);
    }
    addOperation([this, camera] { addNetCamera(camera); });
}

void DCCamerasController::didRemoveService(DnsSdBrowser &, const DnsSdService &service, bool) {
    DCLog("Service removed: %s", qUtf8Printable(service.name));
    // Losing either service removes the camera.
    if (const auto camera = netCameraNamed(service.wireName())) removeAfterQueuedOperations(camera);
}

void DCCamerasController::ownServiceNameChanged(const QString &name, DnsSdOwnNames::Change change) {
    if (change == DnsSdOwnNames::Change::GivenUp) {
        restartNetServiceBrowsers();
        return;
    }
    if (change != DnsSdOwnNames::Change::Added) return;
    if (const auto camera = netCameraNamed(name.toUtf8())) {
        DCLog("%s is our own announcement: no longer a network camera", qUtf8Printable(name));
        removeAfterQueuedOperations(camera);
    }
}

void DCCamerasController::didNotSearch(DnsSdBrowser &browser, const DnsSdError &error) {
    DCLog("NSNetServiceBrowser: %p didNotSearch: %s", static_cast<void *>(&browser),
          qUtf8Printable(error.message));
    browser.stop();
    int *failures = nullptr;
    if (&browser == announcementServiceBrowser_.get())
        failures = &announcementFailures_;
    else if (&browser == streamServiceBrowser_.get())
        failures = &streamFailures_;
    if (!failures) return;
    const int delay = *failures == 0 ? 0 : std::min(kMaxRetryDelayMs, 100 << std::min(*failures - 1, 6));
    ++*failures;
    if (delay == 0) {
        restartSearch(&browser);
        return;
    }
    QTimer::singleShot(delay, context_, [this, which = &browser] { restartSearch(which); });
}

void DCCamerasController::restartSearch(DnsSdBrowser *browser) {
    // The browser may have been replaced by a restart of both meanwhile.
    if (browser == announcementServiceBrowser_.get())
        browser->searchForServicesOfType(kAnnouncementType, kDomain);
    else if (browser == streamServiceBrowser_.get())
        browser->searchForServicesOfType(kStreamType, kDomain);
}
