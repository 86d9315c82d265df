#include "evernote/EvernoteConfig.h"

#include <QHostAddress>

#include "core/DCLog.h"

#ifndef KL_EVERNOTE_CONSUMER_KEY
#define KL_EVERNOTE_CONSUMER_KEY ""
#endif
#ifndef KL_EVERNOTE_CONSUMER_SECRET
#define KL_EVERNOTE_CONSUMER_SECRET ""
#endif
#ifndef KL_EVERNOTE_HOST
#define KL_EVERNOTE_HOST "www.evernote.com"
#endif

namespace {

bool isLoopback(const QString &host) {
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) return true;
    return QHostAddress(host).isLoopback();
}

// Plain HTTP would send the token in the clear, so it is taken only for a double on this machine.
void applyServiceOverride(EvernoteConfig &config) {
    const QString value = qEnvironmentVariable(EvernoteConfig::kServiceOverrideVariable);
    if (value.isEmpty()) return;
    const QUrl url(value, QUrl::StrictMode);
    const bool https = url.scheme() == QStringLiteral("https");
    if (!url.isValid() || url.host().isEmpty() || (!https && url.scheme() != QStringLiteral("http")) ||
        (!https && !isLoopback(url.host()))) {
        DCLog("Ignoring %s=%s: only https, or http to this machine, is taken",
              EvernoteConfig::kServiceOverrideVariable, qUtf8Printable(value));
        return;
    }
    config.scheme = url.scheme();
    config.host = url.port() > 0 ? QStringLiteral("%1:%2").arg(url.host()).arg(url.port()) : url.host();
    DCLog("Evernote service overridden for testing: %s", qUtf8Printable(value));
}

} // namespace

EvernoteConfig EvernoteConfig::fromBuild() {
    EvernoteConfig config;
    config.host = QStringLiteral(KL_EVERNOTE_HOST);
    config.scheme = QStringLiteral("https");
    config.consumerKey = QStringLiteral(KL_EVERNOTE_CONSUMER_KEY);
    config.consumerSecret = QStringLiteral(KL_EVERNOTE_CONSUMER_SECRET);
    applyServiceOverride(config);
    return config;
}

QString EvernoteConfig::serviceOverrideHelp() {
    return QStringLiteral("For testing only: the environment variable %1=http://127.0.0.1:PORT points the "
                          "Evernote mode at a test service on this machine.")
        .arg(QLatin1String(kServiceOverrideVariable));
}

QString EvernoteConfig::missingConsumerKeyMessage() {
    // The build options on lines of their own, so that a narrow view never breaks one at its hyphen.
    return QStringLiteral("This build has no Evernote key, so it cannot sign in to Evernote. Build it with\n"
                          "-DKL_EVERNOTE_CONSUMER_KEY=<key>\n-DKL_EVERNOTE_CONSUMER_SECRET=<secret>\n"
                          "(the consumer key and secret of an Evernote API key).");
}

QUrl EvernoteConfig::serviceUrl(const QString &path, const QString &fragment) const {
    QUrl url(scheme + QStringLiteral("://") + host);
    url.setPath(path);
    if (!fragment.isEmpty()) url.setFragment(fragment, QUrl::TolerantMode);
    return url;
}

QUrl EvernoteConfig::homePageUrl() const {
    // The home page is plain http on the real service, which redirects; a double is reached as given.
    return QUrl((scheme == QStringLiteral("https") ? QStringLiteral("http") : scheme) +
                QStringLiteral("://") + host);
}

QUrl EvernoteConfig::notebookPageUrl(const QString &notebookGuid) const {
    return serviceUrl(QStringLiteral("/Home.action"), QStringLiteral("b=") + notebookGuid);
}

QUrl EvernoteConfig::notePageUrl(const QString &notebookGuid, const QString &noteGuid) const {
    const QString fragment = notebookGuid.isEmpty() ? QStringLiteral("n=%1").arg(noteGuid)
                                                    : QStringLiteral("b=%1&n=%2").arg(notebookGuid, noteGuid);
    return serviceUrl(QStringLiteral("/Home.action"), fragment);
}

QUrl EvernoteConfig::logoutPageUrl() const {
    return serviceUrl(QStringLiteral("/Logout.action"));
}
