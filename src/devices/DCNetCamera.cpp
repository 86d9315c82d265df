#include "DCNetCamera.h"

std::shared_ptr<DCNetCamera> DCNetCamera::camera() {
    struct Made : DCNetCamera {};
    return std::make_shared<Made>();
}

QString DCNetCamera::model() const {
    std::lock_guard lock(mutex_);
    if (deviceNetService_) return deviceNetService_->name;
    if (streamNetService_) return streamNetService_->name;
    if (streamURL_.isValid())
        return streamURL_.host() + QLatin1Char(':') + QString::number(streamURL_.port(80));
    return QStringLiteral("Unknown");
}

std::optional<DnsSdService> DCNetCamera::deviceNetService() const {
    std::lock_guard lock(mutex_);
    return deviceNetService_;
}

void DCNetCamera::setDeviceNetService(std::optional<DnsSdService> service) {
    std::lock_guard lock(mutex_);
    deviceNetService_ = std::move(service);
}

std::optional<DnsSdService> DCNetCamera::streamNetService() const {
    std::lock_guard lock(mutex_);
    return streamNetService_;
}

void DCNetCamera::setStreamNetService(std::optional<DnsSdService> service) {
    std::lock_guard lock(mutex_);
    streamNetService_ = std::move(service);
}

QUrl DCNetCamera::streamURL() const {
    std::lock_guard lock(mutex_);
    return streamURL_;
}

void DCNetCamera::setStreamURL(QUrl url) {
    std::lock_guard lock(mutex_);
    streamURL_ = std::move(url);
}
