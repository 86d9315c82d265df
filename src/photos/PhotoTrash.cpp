#include "photos/PhotoTrash.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include "core/DCLog.h"
#include "photos/SafeFileReader.h"

namespace {

constexpr qint64 kMaxInfoFile = 64 * 1024;
constexpr int kMaxRestoredNames = 100;

// Moves without ever replacing what is at `to`: the kernel refuses the rename atomically if a file
// appears there meanwhile. Across file systems the copy refuses an existing target the same way.
bool moveWithoutReplacing(const QString &from, const QString &to, QString *error) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    const int failure = errno;
    if (failure != EXDEV && failure != EINVAL && failure != ENOSYS) {
        *error = QString::fromLocal8Bit(std::strerror(failure));
        return false;
    }
    QFile file(from);
    if (!file.copy(to)) {
        *error = file.errorString();
        return false;
    }
    if (!QFile::remove(from)) DCLog("The copy in the Trash stays behind: %s", qUtf8Printable(from));
    return true;
}

} // namespace

std::optional<QString> PhotoTrash::moveToTrash(const QString &path, QString *error) {
    // The Trash lives in the data folder, which a fresh account may not have yet.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    // On success the file's name becomes its place in the Trash.
    QFile file(path);
    if (!file.moveToTrash()) {
        *error = file.errorString();
        DCLog("Cannot move %s to the Trash: %s", qUtf8Printable(path), qUtf8Printable(*error));
        return std::nullopt;
    }
    const QString inTrash = file.fileName();
    // When no Trash folder can be set up, Qt moves the file into "files/" under the working folder
    // instead; such a photo goes back where it was and the delete fails.
    if (QFileInfo(inTrash).isRelative()) {
        QString ignored;
        moveWithoutReplacing(inTrash, path, &ignored);
        QFile::remove(infoPath(inTrash));
        *error = QStringLiteral("There is no Trash folder that can be used.");
        DCLog("Cannot move %s to the Trash: no usable Trash folder", qUtf8Printable(path));
        return std::nullopt;
    }
    return inTrash;
}

QString PhotoTrash::infoPath(const QString &trashPath) {
    const QFileInfo file(trashPath);
    return QStringLiteral("%1/../info/%2.trashinfo").arg(file.absolutePath(), file.fileName());
}

std::optional<PhotoTrash::Info> PhotoTrash::infoOf(const QString &trashPath) {
    SafeFileReader reader(infoPath(trashPath));
    if (!reader.isOpen()) return std::nullopt;
    const QByteArray data = reader.readAll(kMaxInfoFile);
    const QList<QByteArray> lines = data.split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != "[Trash Info]") return std::nullopt;
    Info info;
    for (const QByteArray &line : lines) {
        if (line.startsWith("Path="))
            info.originalPath = QUrl::fromPercentEncoding(line.mid(5).trimmed());
        else if (line.startsWith("DeletionDate="))
            info.deletionDate =
                QDateTime::fromString(QString::fromLatin1(line.mid(13).trimmed()), Qt::ISODate);
    }
    if (info.originalPath.isEmpty()) return std::nullopt;
    return info;
}

QString PhotoTrash::freeNameFor(const QString &originalPath) {
    if (!QFileInfo::exists(originalPath)) return originalPath;
    const QFileInfo file(originalPath);
    const QString suffix = file.suffix().isEmpty() ? QString() : QLatin1Char('.') + file.suffix();
    const QString stem = file.absolutePath() + QLatin1Char('/') + file.completeBaseName();
    for (int n = 1; n <= kMaxRestoredNames; ++n) {
        const QString mark = n == 1 ? QStringLiteral(" (restored)") : QStringLiteral(" (restored %1)").arg(n);
        const QString candidate = stem + mark + suffix;
        if (!QFileInfo::exists(candidate)) return candidate;
    }
    return {};
}

std::optional<QString> PhotoTrash::restore(const QString &trashPath, const QString &originalPath,
                                           QString *error) {
    if (!QFileInfo::exists(trashPath)) {
        *error = QStringLiteral("It is no longer in the Trash.");
        return std::nullopt;
    }
    // Twice at most: a file may take the free name between the look and the move.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString target = freeNameFor(originalPath);
        if (target.isEmpty()) {
            *error = QStringLiteral("There is no free name for it beside %1.").arg(originalPath);
            return std::nullopt;
        }
        if (moveWithoutReplacing(trashPath, target, error)) {
            QFile::remove(infoPath(trashPath));
            return target;
        }
        if (QFileInfo::exists(trashPath) && !QFileInfo::exists(target)) break; // not a clash: give up
    }
    DCLog("Cannot put %s back: %s", qUtf8Printable(trashPath), qUtf8Printable(*error));
    return std::nullopt;
}
