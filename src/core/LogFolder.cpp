#include "LogFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// How many "... 2", "... 3" names are tried before giving up: far beyond what a user leaves behind.
constexpr int kMaxAsideNames = 100;

// A free name beside `path` for what stands there now; empty when none of them is free.
QString asideName(const QString &path) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
    const QString base = QStringLiteral("%1 (moved aside %2)").arg(path, stamp);
    for (int n = 1; n <= kMaxAsideNames; ++n) {
        const QString candidate = n == 1 ? base : QStringLiteral("%1 %2").arg(base).arg(n);
        const QFileInfo info(candidate);
        if (!info.exists() && !info.isSymLink()) return candidate;
    }
    return {};
}

} // namespace

QString LogFolder::defaultPath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("Orb"));
}

LogFolder::Outcome LogFolder::ensure(const QString &path, const QString &what) {
    const QFileInfo info(path);
    if (info.isDir()) return {true, {}};
    QString note;
    if (info.exists() || info.isSymLink()) {
        const QString aside = asideName(path);
        // QFile::rename never replaces an existing file, so a name taken meanwhile fails instead.
        if (aside.isEmpty() || !QFile::rename(path, aside))
            return {false,
                    QStringLiteral("The %1 %2 is not a folder and could not be moved aside").arg(what, path)};
        note =
            QStringLiteral("The %1 %2 was not a folder; what stood there is now %3").arg(what, path, aside);
    }
    if (!QDir().mkpath(path)) {
        const QString failure = QStringLiteral("The %1 %2 could not be created").arg(what, path);
        return {false, note.isEmpty() ? failure : note + QStringLiteral("; ") + failure};
    }
    return {true, note};
}
