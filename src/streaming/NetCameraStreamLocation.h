#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include "dnssd/DnsSdResolver.h"

// Where a resolved stream service is watched: its address, the extra path its TXT record names and the
// URL made of them. Everything here comes from the network and is checked.
namespace NetCameraStreamLocation {

// The first IPv4 address with a port other than 0 (one stream per camera); other addresses are logged
// and skipped.
std::optional<DnsSdAddress> firstStreamAddress(const QList<DnsSdAddress> &addresses);

// The TXT record as a dictionary of texts. Without a "path" entry the whole record data is read as
// a JSON object instead (after a leading "%", which some publishers put before it; a record of one
// string that starts with "%" is read as that string). Entries that are
// not UTF-8 and data that is not a JSON object are left out with a log line naming `serviceName`.
QVariantMap userInfo(const QList<QByteArray> &txtRecord, const QString &serviceName);

// "http://ip:port/stream", or "http://ip:port" + path + "?" + param when the dictionary has both
// (as texts). A path that would not make a URL on that host falls back to "/stream" with a log line.
QUrl streamURL(const QString &ip, int port, const QVariantMap &userInfo);

} // namespace NetCameraStreamLocation
