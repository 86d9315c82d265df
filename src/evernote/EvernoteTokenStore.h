#pragma once

#include <QString>

// Keeps the access token in a file of its own that only its owner can read (mode 0600 from the
// moment it exists), apart from the user defaults, which other programs and backups read freely.
// A file rather than the desktop's secret service: the program runs on machines and CI hosts
// without a secret-service daemon, and the token alone grants no more than the account's notes.
class EvernoteTokenStore {
public:
    // `path` empty: $XDG_CONFIG_HOME/korva-lectern/evernote-token.
    explicit EvernoteTokenStore(QString path = {});

    static QString defaultPath();
    QString path() const { return path_; }

    // The stored token, or empty when there is none or the file is unusable (with a log line).
    QString load() const;
    // Written whole into a new 0600 file that then replaces the old one.
    bool save(const QString &token) const;
    bool remove() const;

private:
    QString path_;
};
