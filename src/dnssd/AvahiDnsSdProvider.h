#pragma once

#include <chrono>
#include <memory>

#include "dnssd/DnsSdProvider.h"

class AvahiConnection;

// DNS-SD through avahi-daemon. The connection is made on the thread of the first create...() call (the
// device thread in the program, the main thread in the headless server) and lives on that thread's
// event loop; every object must be made, used and deleted there. Delete the provider on that thread
// too, or after that thread has finished.
class AvahiDnsSdProvider final : public DnsSdProvider {
public:
    explicit AvahiDnsSdProvider(std::chrono::milliseconds retryInterval = std::chrono::seconds(5));
    ~AvahiDnsSdProvider() override;

    std::unique_ptr<DnsSdBrowser> createBrowser(DnsSdBrowserDelegate &delegate) override;
    std::unique_ptr<DnsSdResolver> createResolver(DnsSdResolverDelegate &delegate) override;
    std::unique_ptr<DnsSdPublisher> createPublisher(DnsSdPublisherDelegate &delegate) override;

    // True while avahi-daemon answers (for status lines and tests).
    bool isDaemonRunning() const;

private:
    std::shared_ptr<AvahiConnection> connection();

    std::chrono::milliseconds retryInterval_;
    std::shared_ptr<AvahiConnection> connection_;
};
