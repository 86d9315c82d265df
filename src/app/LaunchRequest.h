#pragma once

#include <QByteArray>
#include <QUrl>

// What a later launch of the window program asks of the running one, sent as one line over the
// single-instance channel: the desktop's activation token (so the window may come to the front) and,
// when the desktop's browser hands back the end of an Evernote sign-in, that callback URL.
struct LaunchRequest {
    QByteArray activationToken;
    QUrl url;

    QByteArray encode() const;
    // Anything that is not a request of ours gives an empty one.
    static LaunchRequest decode(const QByteArray &line);
};
