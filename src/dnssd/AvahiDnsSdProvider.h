#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>

#include "dnssd/DnsSdProvider.h"

class AvahiConnection;

// DNS-SD through avahi-daemon. Each thread that makes objects (the device thread, the server's thread)
// gets its own connection to the daemon, run by that thread's Qt event loop; it lives as long as the
// objects made on it. Every object must be used and deleted on the thread that made it. The provider
// itself may be shared by threads and deleted anywhere.
class AvahiDnsSdProvider final : public DnsSdProvider {
public:
    explicit AvahiDnsSdProvider(std::chrono::milliseconds retryInterval = std::chrono::seconds(5));
    ~AvahiDnsSdProvider() override;

    std::unique_ptr<DnsSdBrowser> createBrowser(DnsSdBrowserDelegate &delegate) override;
    std::unique_ptr<DnsSdResolver> createResolver(DnsSdResolverDelegate &delegate) override;
    std::unique_ptr<DnsSdPublisher> createPublisher(DnsSdPublisherDelegate &delegate) override;

    // True while avahi-daemon answers the calling thread's connection (for status lines and tests).
    bool isDaemonRunning() const;

private:
    std::shared_ptr<AvahiConnection> connection();

    std::chrono::milliseconds retryInterval_;
    mutable std::mutex mutex_;
    std::map<const void *, std::weak_ptr<AvahiConnection>> connections_; // by QThread
};
