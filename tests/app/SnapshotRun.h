#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs the built program as a user would: its own home and XDG folders, no display.
struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class PrivateHome {
public:
    QString path(const QString &sub = {}) const { return sub.isEmpty() ? dir_.path() : dir_.filePath(sub); }
    QString defaultsFile() const { return path(QStringLiteral("config/korva-lectern/defaults.json")); }
    QString library() const { return path(QStringLiteral("photos")); }

    // Stores `defaults` as the user's settings file (and the library folder it names).
    void writeDefaults(const QJsonObject &defaults) const;

    ProgramRun run(const QStringList &arguments) const;

private:
    QTemporaryDir dir_;
};
