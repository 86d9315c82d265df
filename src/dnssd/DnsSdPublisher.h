#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "dnssd/DnsSdError.h"

struct DnsSdServiceDescription {
    QString type; // "_mjpegStreamer._tcp."
    quint16 port = 0;
    QList<QByteArray> txtRecord; // raw strings, "path=/stream"
};

class DnsSdPublisher;

// Publication events on the publisher's thread, from its event loop. The delegate may delete the
// publisher inside them.
class DnsSdPublisherDelegate {
public:
    // All services are announced under `name` (again after a daemon restart).
    virtual void didPublish(DnsSdPublisher &publisher, const QString &name) = 0;
    // Nothing is announced: the name is taken (Collision) or the daemon refused (the message says why).
    // The publisher stays withdrawn until `publish` is called again.
    virtual void didNotPublish(DnsSdPublisher &publisher, const DnsSdError &error) = 0;

protected:
    ~DnsSdPublisherDelegate() = default;
};

// Announces several services under one name, as one unit. Thread-bound like the browser. When the
// daemon is away the publisher waits for it, and re-announces when it comes back.
class DnsSdPublisher {
public:
    virtual ~DnsSdPublisher() = default;
    // Replaces whatever was published. A name longer than a DNS label (63 bytes) is cut at a character
    // boundary, with a log line; `name()` tells the one in use. `domain` empty means "local.".
    virtual void publish(const QString &name, const QList<DnsSdServiceDescription> &services,
                         const QString &domain = QString()) = 0;
    // Withdraws everything; the destructor does too.
    virtual void stop() = 0;
    virtual QString name() const = 0;
};
