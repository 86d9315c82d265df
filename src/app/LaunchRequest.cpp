#include "LaunchRequest.h"

#include <QUrlQuery>

// A query string: both parts are percent-encoded, so neither can break the line or the other part.
QByteArray LaunchRequest::encode() const {
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("token"), QString::fromLatin1(activationToken.toPercentEncoding()));
    if (url.isValid())
        query.addQueryItem(QStringLiteral("open"), QString::fromLatin1(url.toEncoded().toPercentEncoding()));
    return query.query(QUrl::FullyEncoded).toLatin1();
}

LaunchRequest LaunchRequest::decode(const QByteArray &line) {
    const QUrlQuery query(QString::fromLatin1(line));
    LaunchRequest request;
    request.activationToken = QByteArray::fromPercentEncoding(
        query.queryItemValue(QStringLiteral("token"), QUrl::FullyEncoded).toLatin1());
    const QByteArray open = QByteArray::fromPercentEncoding(
        query.queryItemValue(QStringLiteral("open"), QUrl::FullyEncoded).toLatin1());
    if (!open.isEmpty()) request.url = QUrl::fromEncoded(open, QUrl::StrictMode);
    return request;
}
