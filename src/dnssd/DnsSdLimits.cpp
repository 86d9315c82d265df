#include "DnsSdLimits.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include "core/DCLog.h"

namespace DnsSdLimits {

QList<QByteArray> boundedTxtRecord(QList<QByteArray> entries, const QString &context) {
    if (entries.size() > kMaxTxtEntries) {
        DCLog("DNS-SD: TXT record of %s has %lld entries; keeping the first %d", qUtf8Printable(context),
              static_cast<long long>(entries.size()), kMaxTxtEntries);
        entries.resize(kMaxTxtEntries);
    }
    for (QByteArray &entry : entries) {
        if (entry.size() > kMaxTxtEntryBytes) {
            DCLog("DNS-SD: TXT entry of %s is %lld bytes; cut to %d", qUtf8Printable(context),
                  static_cast<long long>(entry.size()), kMaxTxtEntryBytes);
            entry.truncate(kMaxTxtEntryBytes);
        }
    }
    return entries;
}

namespace {

// At most `bytes` bytes of the name's UTF-8, without splitting a character.
QString cutToBytes(const QString &name, qsizetype bytes) {
    QByteArray utf8 = name.toUtf8();
    if (utf8.size() <= bytes) return name;
    qsizetype cut = bytes;
    // Step back over continuation bytes so no character is split.
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    utf8.truncate(cut);
    return QString::fromUtf8(utf8);
}

} // namespace

QString boundedServiceName(const QString &name) {
    const QString bounded = cutToBytes(name, kMaxNameBytes);
    if (bounded.size() == name.size()) return name;
    DCLog("DNS-SD: service name \"%s\" is longer than %d bytes; using \"%s\"", qUtf8Printable(name),
          kMaxNameBytes, qUtf8Printable(bounded));
    return bounded;
}

QString alternativeServiceName(const QString &name) {
    static const QRegularExpression numbered(QStringLiteral("^(.*) #(\\d{1,9})$"));
    QString base = name;
    long long number = 2;
    if (const QRegularExpressionMatch match = numbered.match(name); match.hasMatch()) {
        base = match.captured(1);
        number = match.captured(2).toLongLong() + 1;
    }
    const QString suffix = QStringLiteral(" #%1").arg(number);
    return cutToBytes(base, kMaxNameBytes - suffix.toUtf8().size()) + suffix;
}

QString serviceNameFromWire(const QByteArray &raw) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString name = decoder(raw);
    if (decoder.hasError())
        DCLog("DNS-SD: service name is not valid UTF-8 (%s); showing it as \"%s\"",
              raw.toPercentEncoding().constData(), qUtf8Printable(name));
    return name;
}

QString withTrailingDot(const QString &name) {
    if (name.isEmpty()) return QStringLiteral("local.");
    return name.endsWith(QLatin1Char('.')) ? name : name + QLatin1Char('.');
}

QString withoutTrailingDot(const QString &name) {
    return name.endsWith(QLatin1Char('.')) ? name.chopped(1) : name;
}

QByteArray txtRecordData(const QList<QByteArray> &entries) {
    QByteArray data;
    for (const QByteArray &entry : entries) {
        const QByteArray bounded = entry.left(kMaxTxtEntryBytes);
        data.append(static_cast<char>(bounded.size()));
        data.append(bounded);
    }
    return data;
}

QList<QByteArray> txtRecordEntries(const QByteArray &data) {
    QList<QByteArray> entries;
    qsizetype at = 0;
    while (at < data.size() && entries.size() < kMaxTxtEntries) {
        const int length = static_cast<unsigned char>(data[at]);
        ++at;
        if (at + length > data.size()) {
            DCLog("DNS-SD: TXT record data ends inside an entry; %lld bytes ignored",
                  static_cast<long long>(data.size() - at + 1));
            break;
        }
        if (length > 0) entries.append(data.mid(at, length));
        at += length;
    }
    if (at < data.size() && entries.size() == kMaxTxtEntries)
        DCLog("DNS-SD: TXT record has more than %d entries; the rest is ignored", kMaxTxtEntries);
    return entries;
}

QMap<QString, QByteArray> txtRecordDictionary(const QList<QByteArray> &entries) {
    QMap<QString, QByteArray> dictionary;
    for (const QByteArray &entry : entries) {
        const qsizetype equals = entry.indexOf('=');
        const QByteArray key = equals < 0 ? entry : entry.left(equals);
        if (key.isEmpty()) continue;
        const QString name = QString::fromUtf8(key).toLower();
        if (dictionary.contains(name)) continue;
        dictionary.insert(name, equals < 0 ? QByteArray() : entry.mid(equals + 1));
    }
    return dictionary;
}

} // namespace DnsSdLimits
