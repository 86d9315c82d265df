#include "AvahiDnsSdProvider.h"

#include "dnssd/AvahiConnection.h"
#include "dnssd/AvahiDnsSdBrowser.h"
#include "dnssd/AvahiDnsSdPublisher.h"
#include "dnssd/AvahiDnsSdResolver.h"

AvahiDnsSdProvider::AvahiDnsSdProvider(std::chrono::milliseconds retryInterval)
    : retryInterval_(retryInterval) {}

AvahiDnsSdProvider::~AvahiDnsSdProvider() = default;

std::shared_ptr<AvahiConnection> AvahiDnsSdProvider::connection() {
    if (!connection_) connection_ = std::make_shared<AvahiConnection>(retryInterval_);
    return connection_;
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
    return connection_ && connection_->state() >= AvahiConnection::State::Connected;
}
