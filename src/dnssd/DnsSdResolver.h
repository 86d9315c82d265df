#pragma once

#include <chrono>

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

#include "dnssd/DnsSdError.h"
#include "dnssd/DnsSdService.h"

struct DnsSdAddress {
    QHostAddress address; // IPv4 or IPv6 (IPv6 link-local ones carry their interface as scope)
    quint16 port = 0;
};

struct DnsSdResolution {
    QString hostName; // "lectern.local"
    QList<DnsSdAddress> addresses;
    // The TXT record's strings, raw, in record order ("path=/stream"); bounded (DnsSdLimits).
    QList<QByteArray> txtRecord;
};

class DnsSdResolver;

// Receives the answer of a resolve on the resolver's thread, from its event loop. Exactly one call per
// resolve that is not stopped or replaced first. The delegate may delete the resolver inside it.
class DnsSdResolverDelegate {
public:
    virtual void didResolveAddress(DnsSdResolver &resolver, const DnsSdService &service,
                                   const DnsSdResolution &resolution) = 0;
    virtual void didNotResolve(DnsSdResolver &resolver, const DnsSdService &service,
                               const DnsSdError &error) = 0;

protected:
    ~DnsSdResolverDelegate() = default;
};

// Resolves one service at a time. Thread-bound like the browser.
class DnsSdResolver {
public:
    virtual ~DnsSdResolver() = default;
    // `timeout` 0 means no limit: the resolver keeps trying (also across a daemon restart) until it
    // answers or is stopped. A new resolve replaces the one running.
    virtual void resolve(const DnsSdService &service, std::chrono::milliseconds timeout) = 0;
    virtual void stop() = 0;
};
