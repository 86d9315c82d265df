#include "SnapshotRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <gtest/gtest.h>

void PrivateHome::writeDefaults(const QJsonObject &defaults) const {
    QDir().mkpath(QFileInfo(defaultsFile()).absolutePath());
    QDir().mkpath(library());
    QFile file(defaultsFile());
    if (file.open(QIODevice::WriteOnly)) file.write(QJsonDocument(defaults).toJson());
}

ProgramRun PrivateHome::run(const QStringList &arguments) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_PICTURES_DIR"), path(QStringLiteral("pictures")));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KL_PROGRAM), arguments);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}, QStringLiteral("timed out")};
    }
    ProgramRun result{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
                      QString::fromUtf8(p.readAllStandardError())};
    if (result.err.contains(QLatin1String("Sanitizer"))) ADD_FAILURE() << qPrintable(result.err);
    return result;
}
