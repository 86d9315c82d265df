#pragma once

#include <QString>
#include <QUrl>

// Where the service lives and the program's OAuth client credentials. The credentials come from the
// build (CMake cache KL_EVERNOTE_CONSUMER_KEY / KL_EVERNOTE_CONSUMER_SECRET): the source carries none.
struct EvernoteConfig {
    QString host;   // host name, with ":port" when not the scheme's default
    QString scheme; // "https"; "http" is accepted only for a loopback host (the test double)
    QString consumerKey;
    QString consumerSecret;
    // PEM file of the certificate authorities to trust; empty means the system store. Tests only.
    QString caCertificatesFile;
    // Longest wait for the service on any one connect, send or receive.
    int timeoutMs = 15000;

    // The build's credentials and the service host, with the test override below applied.
    static EvernoteConfig fromBuild();
    // KL_EVERNOTE_SERVICE=http://127.0.0.1:PORT (or https://...) points the program at a test double.
    static constexpr const char *kServiceOverrideVariable = "KL_EVERNOTE_SERVICE";
    // The line `--help` shows for the override.
    static QString serviceOverrideHelp();

    bool hasConsumerKey() const { return !consumerKey.isEmpty() && !consumerSecret.isEmpty(); }
    // What the user is told when a build has no key, with how to set one.
    static QString missingConsumerKeyMessage();

    // scheme://host + path (and the fragment, when given): "/oauth", "/edam/user", "/Logout.action".
    QUrl serviceUrl(const QString &path, const QString &fragment = {}) const;
    // The web pages the window opens in the browser.
    QUrl homePageUrl() const;                                // the service's home page
    QUrl notebookPageUrl(const QString &notebookGuid) const; // /Home.action#b=GUID
    // /Home.action#b=NOTEBOOK&n=NOTE, or #n=NOTE without a notebook.
    QUrl notePageUrl(const QString &notebookGuid, const QString &noteGuid) const;
    QUrl logoutPageUrl() const; // loaded (unseen) in the web view at sign-out to end its session
};
