#pragma once

#include <QString>

// What a DNS-SD browser found: enough to name the service and to resolve it later. A plain value;
// two handles are the same service when name, type and domain match.
struct DnsSdService {
    QString name;
    QString type;   // "_mjpegStreamer._tcp." form, with the trailing dot
    QString domain; // "local."
    int interfaceIndex = -1;
    int protocol = -1;

    bool sameService(const DnsSdService& other) const
    {
        return name == other.name && type == other.type && domain == other.domain;
    }
};
