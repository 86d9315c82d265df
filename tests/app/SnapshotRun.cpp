#include "SnapshotRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

void PrivateHome::writeDefaults(const QJsonObject &defaults) const {
    QDir().mkpath(QFileInfo(defaultsFile()).absolutePath());
    QDir().mkpath(library());
    QFile file(defaultsFile());
    if (file.open(QIODevice::WriteOnly)) file.write(QJsonDocument(defaults).toJson());
}

ProgramRun PrivateHome::run(const QStringList &arguments) const {
    ProgramRun result = runProgram(arguments, path());
    result.out = result.out.trimmed();
    return result;
}
