#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support/ProgramRun.h"

class PrivateHome {
public:
    QString path(const QString &sub = {}) const { return sub.isEmpty() ? dir_.path() : dir_.filePath(sub); }
    QString defaultsFile() const { return path(QStringLiteral("config/korva-lectern/defaults.json")); }
    QString library() const { return path(QStringLiteral("photos")); }

    // Stores `defaults` as the user's settings file (and the library folder it names).
    void writeDefaults(const QJsonObject &defaults) const;

    // The program run in this home (runProgram); standard output trimmed.
    ProgramRun run(const QStringList &arguments) const;

private:
    QTemporaryDir dir_;
};
