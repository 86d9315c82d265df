#pragma once

#include <QByteArray>
#include <QString>

// What a DNS-SD browser found: enough to name the service and to resolve it later. A plain value;
// two handles are the same service when name, type and domain match.
struct DnsSdService {
    QString name;
    QString type;   // "_mjpegStreamer._tcp." form, with the trailing dot
    QString domain; // "local."
    int interfaceIndex = -1;
    int protocol = -1;
    // The name's bytes as they came off the network. Names that are not valid UTF-8 are shown with
    // replacement characters in `name`; resolving uses these bytes so such a service still resolves.
    // Empty for services built by hand: then `name` is used.
    QByteArray rawName;

    bool sameService(const DnsSdService &other) const {
        return name == other.name && type == other.type && domain == other.domain;
    }
    QByteArray wireName() const { return rawName.isEmpty() ? name.toUtf8() : rawName; }
};
