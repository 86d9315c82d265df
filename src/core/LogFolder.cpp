#include "LogFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString LogFolder::defaultPath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("Orb"));
}

bool LogFolder::ensure(const QString &path) {
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        if (info.isDir()) return true;
        QFile::remove(path);
    }
    return QDir().mkpath(path);
}
