#include "evernote/EvernoteTokenStore.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#include "core/DCLog.h"

namespace {
// A token is a few hundred bytes; anything much longer is not ours.
constexpr qint64 kMaxTokenBytes = 8192;

bool writeAll(int fd, const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}
} // namespace

EvernoteTokenStore::EvernoteTokenStore(QString path)
    : path_(path.isEmpty() ? defaultPath() : std::move(path)) {}

QString EvernoteTokenStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/korva-lectern/evernote-token");
}

QString EvernoteTokenStore::load() const {
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno != ENOENT)
            DCLog("Cannot read the Evernote token file %s: %s", qPrintable(path_), strerror(errno));
        return {};
    }
    struct stat info {};
    QByteArray bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxTokenBytes) {
        // A file others could read is tightened rather than trusted as it is.
        if ((info.st_mode & 077) != 0) ::fchmod(fd, 0600);
        bytes.resize(qsizetype(info.st_size));
        const ssize_t n = ::read(fd, bytes.data(), size_t(bytes.size()));
        bytes.resize(n < 0 ? 0 : qsizetype(n));
    } else {
        DCLog("Ignoring the Evernote token file %s: not a small regular file", qPrintable(path_));
    }
    ::close(fd);
    const QString token = QString::fromUtf8(bytes).trimmed();
    for (QChar c : token) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7e) {
            DCLog("Ignoring the Evernote token file %s: unexpected characters", qPrintable(path_));
            return {};
        }
    }
    return token;
}

bool EvernoteTokenStore::save(const QString &token) const {
    const QFileInfo info(path_);
    QDir().mkpath(info.absolutePath());
    const QString temporary =
        info.absolutePath() +
        QStringLiteral("/.%1.%2").arg(info.fileName(), QUuid::createUuid().toString(QUuid::Id128));
    const QByteArray temporaryName = QFile::encodeName(temporary);
    const int fd =
        ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        DCLog("Cannot write the Evernote token file %s: %s", qPrintable(temporary), strerror(errno));
        return false;
    }
    const bool written = writeAll(fd, token.toUtf8()) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporaryName.constData(), QFile::encodeName(path_).constData()) != 0) {
        DCLog("Cannot write the Evernote token file %s: %s", qPrintable(path_), strerror(errno));
        ::unlink(temporaryName.constData());
        return false;
    }
    return true;
}

bool EvernoteTokenStore::remove() const {
    if (::unlink(QFile::encodeName(path_).constData()) == 0 || errno == ENOENT) return true;
    DCLog("Cannot remove the Evernote token file %s: %s", qPrintable(path_), strerror(errno));
    return false;
}
