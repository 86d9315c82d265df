#pragma once

#include <optional>
#include <utility>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>

// OAuth 1.0a requests signed with HMAC-SHA1, and the form encoding of the OAuth replies.
class OAuthRequest {
public:
    using Parameters = QList<std::pair<QString, QString>>; // in the order given

    // What is signed: method, scheme, host (with a non-default port) and path, and the parameters.
    struct Signing {
        QString method = QStringLiteral("GET");
        QString scheme;
        QString host;
        QString path;
        Parameters parameters; // protocol and extra parameters alike
        QString consumerSecret;
        QString tokenSecret;
    };

    // A signed GET for `path`: the extra parameters go into the query, the protocol parameters and
    // the signature into the Authorization header.
    struct Signed {
        QUrl url;
        QByteArray authorization;
    };
    struct Credentials {
        QString consumerKey;
        QString consumerSecret;
        QString token; // empty: no oauth_token
        QString tokenSecret;
    };
    static Signed signedGet(const QString &scheme, const QString &host, const QString &path,
                            const Parameters &extra, const Credentials &credentials);
    // The same with the nonce and timestamp given (tests).
    static Signed signedGet(const QString &scheme, const QString &host, const QString &path,
                            const Parameters &extra, const Credentials &credentials, const QString &nonce,
                            quint64 timestamp);

    static QString signatureBaseString(const Signing &signing);
    static QString signature(const Signing &signing);

    // Percent-encoding of the UTF-8 bytes, all but letters, digits and -._~ escaped.
    static QString percentEncode(const QString &text);
    // Percent escapes replaced as UTF-8; none when an escape is malformed or the bytes are not UTF-8.
    static std::optional<QString> percentDecode(const QString &text);

    // "k=v&k=v", key and value encoded, in the order given.
    static QString queryStringFromParameters(const Parameters &parameters);
    // Pieces split at "&"; a piece of exactly two "="-parts whose key and value decode counts, a later
    // duplicate key replacing an earlier one; any other piece is ignored.
    static QMap<QString, QString> parametersFromQueryString(const QString &query);
};
