#include "AvahiDnsSdProvider.h"

#include <QThread>

#include "dnssd/AvahiConnection.h"
#include "dnssd/AvahiDnsSdBrowser.h"
#include "dnssd/AvahiDnsSdPublisher.h"
#include "dnssd/AvahiDnsSdResolver.h"

AvahiDnsSdProvider::AvahiDnsSdProvider(std::chrono::milliseconds retryInterval)
    : retryInterval_(retryInterval) {}

AvahiDnsSdProvider::~AvahiDnsSdProvider() = default;

std::shared_ptr<AvahiConnection> AvahiDnsSdProvider::connection() {
    std::lock_guard lock(mutex_);
    std::weak_ptr<AvahiConnection> &slot = connections_[QThread::currentThread()];
    std::shared_ptr<AvahiConnection> connection = slot.lock();
    if (!connection) {
        connection = std::make_shared<AvahiConnection>(retryInterval_);
        slot = connection;
    }
    return connection;
}

std::unique_ptr<DnsSdBrowser> AvahiDnsSdProvider::createBrowser(DnsSdBrowserDelegate &delegate) {
    return std::make_unique<AvahiDnsSdBrowser>(connection(), delegate);
}

std::unique_ptr<DnsSdResolver> AvahiDnsSdProvider::createResolver(DnsSdResolverDelegate &delegate) {
    return std::make_unique<AvahiDnsSdResolver>(connection(), delegate);
}

std::unique_ptr<DnsSdPublisher> AvahiDnsSdProvider::createPublisher(DnsSdPublisherDelegate &delegate) {
    return std::make_unique<AvahiDnsSdPublisher>(connection(), delegate);
}

bool AvahiDnsSdProvider::isDaemonRunning() const {
    std::lock_guard lock(mutex_);
    auto it = connections_.find(QThread::currentThread());
    if (it == connections_.end()) return false;
    const std::shared_ptr<AvahiConnection> connection = it->second.lock();
    return connection && connection->state() >= AvahiConnection::State::Connected;
}
