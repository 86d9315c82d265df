#include "evernote/OAuthRequest.h"

#include <algorithm>

#include <QCryptographicHash>
#include <QDateTime>
#include <QMessageAuthenticationCode>
#include <QStringDecoder>
#include <QStringList>
#include <QUuid>

namespace {

QString encodedPair(const std::pair<QString, QString> &parameter) {
    return OAuthRequest::percentEncode(parameter.first) + u'=' +
           OAuthRequest::percentEncode(parameter.second);
}

int hexValue(QChar c) {
    if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
    return -1;
}

} // namespace

QString OAuthRequest::percentEncode(const QString &text) {
    // QUrl's default leaves exactly the unreserved characters of RFC 3986, as OAuth requires.
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

std::optional<QString> OAuthRequest::percentDecode(const QString &text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes.append(utf8[i]);
            continue;
        }
        if (i + 2 >= utf8.size()) return std::nullopt;
        const int high = hexValue(QChar(utf8[i + 1]));
        const int low = hexValue(QChar(utf8[i + 2]));
        if (high < 0 || low < 0) return std::nullopt;
        bytes.append(char(high * 16 + low));
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder(bytes);
    if (decoder.hasError()) return std::nullopt;
    return decoded;
}

QString OAuthRequest::queryStringFromParameters(const Parameters &parameters) {
    QStringList items;
    for (const auto &parameter : parameters)
        items << encodedPair(parameter);
    return items.join(u'&');
}

QMap<QString, QString> OAuthRequest::parametersFromQueryString(const QString &query) {
    QMap<QString, QString> parameters;
    for (const QString &piece : query.split(u'&')) {
        const QStringList parts = piece.split(u'=');
        if (parts.size() != 2) continue;
        const auto key = percentDecode(parts[0]);
        const auto value = percentDecode(parts[1]);
        if (key && value) parameters.insert(*key, *value);
    }
    return parameters;
}

QString OAuthRequest::signatureBaseString(const Signing &signing) {
    QStringList pairs;
    for (const auto &parameter : signing.parameters)
        pairs << encodedPair(parameter);
    // Sorting the encoded "key=value" texts orders by key, then by value for repeated keys.
    std::sort(pairs.begin(), pairs.end());
    const QString baseUrl =
        signing.scheme.toLower() + QStringLiteral("://") + signing.host.toLower() + signing.path;
    return percentEncode(signing.method.toUpper()) + u'&' + percentEncode(baseUrl) + u'&' +
           percentEncode(pairs.join(u'&'));
}

QString OAuthRequest::signature(const Signing &signing) {
    const QByteArray key =
        (percentEncode(signing.consumerSecret) + u'&' + percentEncode(signing.tokenSecret)).toUtf8();
    const QByteArray digest = QMessageAuthenticationCode::hash(signatureBaseString(signing).toUtf8(), key,
                                                               QCryptographicHash::Sha1);
    return QString::fromLatin1(digest.toBase64());
}

OAuthRequest::Signed OAuthRequest::signedGet(const QString &scheme, const QString &host, const QString &path,
                                             const Parameters &extra, const Credentials &credentials) {
    return signedGet(scheme, host, path, extra, credentials,
                     QUuid::createUuid().toString(QUuid::WithoutBraces),
                     quint64(QDateTime::currentSecsSinceEpoch()));
}

OAuthRequest::Signed OAuthRequest::signedGet(const QString &scheme, const QString &host, const QString &path,
                                             const Parameters &extra, const Credentials &credentials,
                                             const QString &nonce, quint64 timestamp) {
    Parameters protocol{{QStringLiteral("oauth_consumer_key"), credentials.consumerKey},
                        {QStringLiteral("oauth_nonce"), nonce},
                        {QStringLiteral("oauth_timestamp"), QString::number(timestamp)},
                        {QStringLiteral("oauth_version"), QStringLiteral("1.0")},
                        {QStringLiteral("oauth_signature_method"), QStringLiteral("HMAC-SHA1")}};
    if (!credentials.token.isEmpty()) protocol.append({QStringLiteral("oauth_token"), credentials.token});

    const QString encodedPath = QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
    const Signing signing{
        QStringLiteral("GET"),  scheme, host, encodedPath, protocol + extra, credentials.consumerSecret,
        credentials.tokenSecret};
    protocol.append({QStringLiteral("oauth_signature"), signature(signing)});

    QStringList fields;
    for (const auto &[key, value] : protocol)
        fields << percentEncode(key) + QStringLiteral("=\"") + percentEncode(value) + u'"';

    QString text = scheme + QStringLiteral("://") + host + encodedPath;
    if (!extra.isEmpty()) text += u'?' + queryStringFromParameters(extra);
    return {QUrl(text, QUrl::StrictMode), ("OAuth " + fields.join(u',')).toUtf8()};
}
