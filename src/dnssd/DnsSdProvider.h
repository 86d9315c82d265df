#pragma once

#include <memory>

#include "dnssd/DnsSdBrowser.h"
#include "dnssd/DnsSdPublisher.h"
#include "dnssd/DnsSdResolver.h"

// Makes the browsers, resolvers and publishers of one DNS-SD implementation (Avahi, or the in-process
// fake). Product code receives one provider and never names the implementation.
// The objects it makes belong to the thread that calls create...(); the delegate must outlive them.
class DnsSdProvider {
public:
    virtual ~DnsSdProvider() = default;
    virtual std::unique_ptr<DnsSdBrowser> createBrowser(DnsSdBrowserDelegate &delegate) = 0;
    virtual std::unique_ptr<DnsSdResolver> createResolver(DnsSdResolverDelegate &delegate) = 0;
    virtual std::unique_ptr<DnsSdPublisher> createPublisher(DnsSdPublisherDelegate &delegate) = 0;
};
