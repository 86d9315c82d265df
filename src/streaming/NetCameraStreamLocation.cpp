#include "streaming/NetCameraStreamLocation.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringDecoder>

#include "core/DCLog.h"
#include "dnssd/DnsSdLimits.h"

namespace NetCameraStreamLocation {

namespace {

const QString kPath = QStringLiteral("path");
const QString kParam = QStringLiteral("param");
const QString kDefaultPath = QStringLiteral("/stream");

std::optional<QString> strictUtf8(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

QVariantMap dictionaryOf(const QList<QByteArray> &txtRecord, const QString &serviceName) {
    QVariantMap info;
    const QMap<QString, QByteArray> entries = DnsSdLimits::txtRecordDictionary(txtRecord);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (const auto text = strictUtf8(it.value()))
            info.insert(it.key(), *text);
        else
            DCLog("TXT entry \"%s\" of %s is not UTF-8; ignored", qUtf8Printable(it.key()),
                  qUtf8Printable(serviceName));
    }
    return info;
}

// The record as other platforms hand it over (each string after its length byte), read as JSON.
QVariantMap jsonOf(const QList<QByteArray> &txtRecord, const QString &serviceName) {
    QByteArray text = DnsSdLimits::txtRecordData(txtRecord);
    // A publisher that gives the same text as one TXT string, not as raw record data, is read alike.
    if (!text.startsWith('%') && txtRecord.size() == 1 && txtRecord.first().startsWith('%'))
        text = txtRecord.first();
    if (text.startsWith('%')) text.remove(0, 1);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        if (txtRecord.isEmpty()) return {}; // nothing to complain about
        DCLog("TXT record of %s has no path and is no JSON object (%s); the stream is at %s",
              qUtf8Printable(serviceName),
              qUtf8Printable(error.error != QJsonParseError::NoError ? error.errorString()
                                                                     : QStringLiteral("not an object")),
              qUtf8Printable(kDefaultPath));
        return {};
    }
    return document.object().toVariantMap();
}

bool isText(const QVariant &value) {
    return value.typeId() == QMetaType::QString;
}

} // namespace

std::optional<DnsSdAddress> firstStreamAddress(const QList<DnsSdAddress> &addresses) {
    for (const DnsSdAddress &address : addresses) {
        if (address.address.protocol() != QAbstractSocket::IPv4Protocol || address.port == 0) {
            DCLog("Skipped address %s port %d", qUtf8Printable(address.address.toString()), address.port);
            continue;
        }
        DCLog("Found service at %s:%d", qUtf8Printable(address.address.toString()), address.port);
        return address;
    }
    return std::nullopt;
}

QVariantMap userInfo(const QList<QByteArray> &txtRecord, const QString &serviceName) {
    QVariantMap info = dictionaryOf(txtRecord, serviceName);
    if (info.contains(kPath)) return info;
    return jsonOf(txtRecord, serviceName);
}

QUrl streamURL(const QString &ip, int port, const QVariantMap &userInfo) {
    const QString base = QStringLiteral("http://%1:%2").arg(ip).arg(port);
    const QUrl fallback(base + kDefaultPath);
    if (!userInfo.contains(kPath) || !userInfo.contains(kParam)) return fallback;
    const QVariant path = userInfo.value(kPath);
    const QVariant param = userInfo.value(kParam);
    if (!isText(path) || !isText(param)) {
        DCLog("stream path or param is not a text; the stream is at %s", qUtf8Printable(kDefaultPath));
        return fallback;
    }
    QString target = QStringLiteral("%1?%2").arg(path.toString(), param.toString());
    // Without its slash the path would run into the port.
    if (!target.startsWith(QLatin1Char('/'))) target.prepend(QLatin1Char('/'));
    const QUrl url(base + target, QUrl::TolerantMode);
    if (!url.isValid() || url.host() != ip || url.port() != port) {
        DCLog("stream path \"%s\" makes no URL; the stream is at %s", qUtf8Printable(target),
              qUtf8Printable(kDefaultPath));
        return fallback;
    }
    return url;
}

} // namespace NetCameraStreamLocation
