#pragma once

#include <QList>
#include <QString>

// What the real avahi-daemon (inside tools/dnssd-netns.sh) knows: `avahi-browse -rpt`.
struct BrowseLine {
    QString name, address;
    int port = 0;
};

// Resolved IPv4 entries of `avahi-browse -rpt` for `type` (without the trailing dot).
QList<BrowseLine> avahiBrowse(const QString &type);
