#pragma once

#include <memory>

#include "dnssd/DnsSdProvider.h"
#include "dnssd/FakeDnsSdNetwork.h"

// Makes browsers, resolvers and publishers on a FakeDnsSdNetwork. Like the real ones, each object
// delivers its events on the event loop of the thread that made it, never from inside a call into it;
// events are queued in the order the network changed, so a test sees them after one turn of the loop
// (QCoreApplication::processEvents, or waitUntil). Several providers may share one network: they act
// as several programs on one local network.
class FakeDnsSdProvider final : public DnsSdProvider {
public:
    explicit FakeDnsSdProvider(std::shared_ptr<FakeDnsSdNetwork> network);

    std::unique_ptr<DnsSdBrowser> createBrowser(DnsSdBrowserDelegate &delegate) override;
    std::unique_ptr<DnsSdResolver> createResolver(DnsSdResolverDelegate &delegate) override;
    std::unique_ptr<DnsSdPublisher> createPublisher(DnsSdPublisherDelegate &delegate) override;

    FakeDnsSdNetwork &network() { return *network_; }

private:
    std::shared_ptr<FakeDnsSdNetwork> network_;
};
