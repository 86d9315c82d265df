#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// What we accept from the network and what we hand to the daemon. TXT strings longer than a DNS
// character-string, records with more entries than any real service uses, and names longer than a
// DNS label are cut, each time with a log line naming `context`.
namespace DnsSdLimits {

constexpr int kMaxTxtEntryBytes = 255;
constexpr int kMaxTxtEntries = 64;
constexpr int kMaxNameBytes = 63;
constexpr int kMaxServicesPerBrowser = 1024;

QList<QByteArray> boundedTxtRecord(QList<QByteArray> entries, const QString &context);
// Cut to kMaxNameBytes of UTF-8 without splitting a character.
QString boundedServiceName(const QString &name);
// The name to try when `name` is taken on the network, as DNS-SD responders choose it: "Name" gives
// "Name #2", "Name #2" gives "Name #3"; the base is cut so the result stays within kMaxNameBytes.
QString alternativeServiceName(const QString &name);
// The name's bytes as text; invalid UTF-8 becomes replacement characters, with a log line.
QString serviceNameFromWire(const QByteArray &raw);
// "_x._tcp" or "_x._tcp." -> "_x._tcp." ; empty domain -> "local."
QString withTrailingDot(const QString &name);
QString withoutTrailingDot(const QString &name);

// The record in DNS wire form (each string preceded by its length byte), as other platforms hand it
// to programs as "the TXT record data".
QByteArray txtRecordData(const QList<QByteArray> &entries);
QList<QByteArray> txtRecordEntries(const QByteArray &data);
// "key=value" strings as a map of key to value (a key without '=' maps to an empty value; the first of
// repeated keys wins; keys compare case-insensitively, so they are stored lower-case).
QMap<QString, QByteArray> txtRecordDictionary(const QList<QByteArray> &entries);

} // namespace DnsSdLimits
