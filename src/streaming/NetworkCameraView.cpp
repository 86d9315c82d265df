#include "streaming/NetworkCameraView.h"

#include <utility>

#include <QStringList>

#include "capture/Frame.h"
#include "capture/MjpegFrameCheck.h"
#include "core/DCLog.h"
#include "core/MainThread.h"
#include "devices/DCCamerasController.h"
#include "devices/DCNetCamera.h"
#include "dnssd/DnsSdProvider.h"
#include "streaming/InfoViewPresenter.h"
#include "streaming/NetCameraStreamLocation.h"

namespace {

QString addressesText(const QList<DnsSdAddress> &addresses) {
    QStringList texts;
    for (const DnsSdAddress &address : addresses)
        texts << QStringLiteral("%1:%2").arg(address.address.toString()).arg(address.port);
    return QLatin1Char('(') + texts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString serviceText(const DnsSdService &service) {
    return service.name + QLatin1Char('.') + service.type + service.domain;
}

} // namespace

NetworkCameraView::NetworkCameraView(Dependencies dependencies) : deps_(std::move(dependencies)) {
    if (!deps_.infoView) deps_.infoView = std::make_shared<LogInfoViewPresenter>();
    if (!deps_.currentCamera) deps_.currentCamera = DCCamerasController::sharedCurrentCamera;
    client_.setEndHandler([](const std::string &error) {
        if (error.empty()) DCLog("The network camera's stream ended");
    });
}

// The owner lets it go on the main thread, where the resolver lives.
NetworkCameraView::~NetworkCameraView() {
    client_.stop();
    if (resolver_) resolver_->stop();
}

void NetworkCameraView::onMainThread(std::function<void(NetworkCameraView &)> work) {
    MainThread::run([weak = weak_from_this(), work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    });
}

// ---- start and stop

void NetworkCameraView::start(DCCaptureViewController &controller, const DCCameraPtr &camera) {
    auto net = std::dynamic_pointer_cast<DCNetCamera>(camera);
    if (!net) return;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        controller_ = &controller;
        camera_ = net;
        generation = ++generation_;
        url_.clear();
    }
    if (const QUrl url = net->streamURL(); !url.isEmpty()) {
        startStream(url);
        return;
    }
    onMainThread([generation](NetworkCameraView &self) { self.resolve(generation); });
}

void NetworkCameraView::stop() {
    std::uint64_t generation = 0;
    {
        std::lock_guard streamLock(streamMutex_);
        {
            std::lock_guard lock(mutex_);
            generation = ++generation_;
            controller_ = nullptr;
            camera_.reset();
            url_.clear();
        }
        client_.stop();
    }
    const auto tidy = [generation](NetworkCameraView &self) {
        {
            std::lock_guard lock(self.mutex_);
            if (generation != self.generation_) return; // started again meanwhile
        }
        if (self.resolver_) self.resolver_->stop();
        self.setInfoView(false);
    };
    if (MainThread::isCurrent())
        tidy(*this);
    else
        onMainThread(tidy);
}

// ---- resolving (main thread)

void NetworkCameraView::resolve(std::uint64_t generation) {
    std::shared_ptr<DCNetCamera> camera;
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_ || !camera_) return;
        camera = camera_;
    }
    const auto service = camera->streamNetService();
    if (!service) {
        DCLog("%s has no stream service to resolve", qUtf8Printable(camera->description()));
        return;
    }
    if (!deps_.dnsSdProvider) {
        DCLog("no DNS-SD to resolve %s", qUtf8Printable(serviceText(*service)));
        return;
    }
    if (!resolver_) resolver_ = deps_.dnsSdProvider->createResolver(*this);
    resolver_->resolve(*service, std::chrono::milliseconds(0));
}

void NetworkCameraView::didResolveAddress(DnsSdResolver &, const DnsSdService &service,
                                          const DnsSdResolution &resolution) {
    netServiceDidResolveAddress(service, resolution);
}

void NetworkCameraView::didNotResolve(DnsSdResolver &, const DnsSdService &service, const DnsSdError &error) {
    DCLog("NetService: %s didNotResolve:%s", qUtf8Printable(serviceText(service)),
          qUtf8Printable(error.message));
}

void NetworkCameraView::netServiceDidResolveAddress(const DnsSdService &service,
                                                    const DnsSdResolution &resolution) {
    DCLog("sender addresses: %s", qUtf8Printable(addressesText(resolution.addresses)));
    const auto address = NetCameraStreamLocation::firstStreamAddress(resolution.addresses);
    if (!address) {
        DCLog("%s has no IPv4 address to stream from", qUtf8Printable(serviceText(service)));
        return;
    }
    if (!isStreamServiceOfCurrentCamera(service)) return;
    setNetCameraVideoWithIP(address->address.toString(), address->port,
                            NetCameraStreamLocation::userInfo(resolution.txtRecord, service.name));
}

bool NetworkCameraView::isStreamServiceOfCurrentCamera(const DnsSdService &service) const {
    const auto current = std::dynamic_pointer_cast<DCNetCamera>(deps_.currentCamera());
    if (!current) return false;
    {
        std::lock_guard lock(mutex_);
        if (current != camera_) return false;
    }
    const auto stream = current->streamNetService();
    return stream && stream->sameService(service);
}

// ---- the stream

void NetworkCameraView::setNetCameraVideoWithIP(const QString &ip, int andPort, const QVariantMap &userInfo) {
    startStream(NetCameraStreamLocation::streamURL(ip, andPort, userInfo));
}

void NetworkCameraView::startStream(const QUrl &url) {
    std::lock_guard streamLock(streamMutex_);
    DCCaptureViewController *controller = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (!controller_) return; // stopped meanwhile
        controller = controller_;
        url_ = url;
        ++streamStarts_;
    }
    DCLog("stream URL: %s", qUtf8Printable(url.toDisplayString(QUrl::RemovePassword)));
    client_.stop();
    client_.setStreamURL(url);
    // stop() waits for this handler, and the controller stops the branch before it goes.
    client_.setPartHandler(
        [this, controller](const MJPEGStreamClient::Part &part) { framePart(*controller, part); });
    client_.start();
}

void NetworkCameraView::framePart(DCCaptureViewController &controller, const MJPEGStreamClient::Part &part) {
    QString why;
    const QSize size = mjpegFrameSize(headerReader_, *part, &why);
    if (size.isEmpty()) {
        // A broken stream fails part after part: say so once, and again after the next good part.
        if (!std::exchange(partsFailing_, true))
            DCLog("Skipped an image that does not decode: %s", qUtf8Printable(why));
        return;
    }
    partsFailing_ = false;
    // The part's bytes stay as they are for as long as any frame shows them.
    controller.networkWillDisplayImage(Frame::fromJpeg(*part, size, part));
}

void NetworkCameraView::restartStream() {
    std::lock_guard streamLock(streamMutex_);
    {
        std::lock_guard lock(mutex_);
        if (!controller_ || url_.isEmpty()) return;
        ++streamStarts_;
    }
    client_.stop();
    client_.start();
}

// ---- the watchdog (main thread)

void NetworkCameraView::pictureIsAlive() {
    setInfoView(false);
}

void NetworkCameraView::pictureFroze(const DCCameraPtr &) {
    setInfoView(true);
    std::uint64_t generation = 0;
    bool playing = false;
    std::shared_ptr<DCNetCamera> camera;
    {
        std::lock_guard lock(mutex_);
        generation = generation_;
        playing = !url_.isEmpty();
        camera = camera_;
    }
    if (playing) {
        restartStream();
        return;
    }
    // A service that never resolved: ask again, it may have come back meanwhile.
    if (camera && camera->streamNetService()) {
        DCLog("NetService: %s has not resolved; resolving again",
              qUtf8Printable(serviceText(*camera->streamNetService())));
        resolve(generation);
    }
}

void NetworkCameraView::setInfoView(bool shown) {
    {
        std::lock_guard lock(mutex_);
        if (infoViewShown_ == shown) return;
        infoViewShown_ = shown;
    }
    if (shown)
        deps_.infoView->showInfoView();
    else
        deps_.infoView->hideInfoView();
}

// ---- state for observers

QUrl NetworkCameraView::streamURL() const {
    std::lock_guard lock(mutex_);
    return url_;
}

bool NetworkCameraView::isInfoViewShown() const {
    std::lock_guard lock(mutex_);
    return infoViewShown_;
}

int NetworkCameraView::streamStarts() const {
    std::lock_guard lock(mutex_);
    return streamStarts_;
}
