#include "photos/AtomicFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

namespace {

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

int renameWithoutReplacing(const QByteArray &from, const QByteArray &to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    // File systems without RENAME_NOREPLACE: link() refuses an existing name just the same.
    if (::link(from.constData(), to.constData()) != 0) return -1;
    ::unlink(from.constData());
    return 0;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(QString finalPath, Mode mode, Durability durability)
    : finalPath_(std::move(finalPath)), mode_(mode), durability_(durability) {}

AtomicFileWriter::~AtomicFileWriter() {
    if (!committed_) discard();
}

bool AtomicFileWriter::fail(const QString &step) {
    error_ = QStringLiteral("%1: %2").arg(step, QString::fromLocal8Bit(std::strerror(errno)));
    discard();
    return false;
}

void AtomicFileWriter::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporaryPath_.isEmpty()) {
        ::unlink(native(temporaryPath_).constData());
        temporaryPath_.clear();
    }
}

bool AtomicFileWriter::open() {
    const QFileInfo info(finalPath_);
    if (mode_ == Mode::NeverOverwrite && info.exists()) {
        errno = EEXIST;
        return fail(QStringLiteral("exists"));
    }
    QByteArray pattern =
        native(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) return fail(QStringLiteral("create temporary file"));
    temporaryPath_ = QFile::decodeName(pattern);

    mode_t permissions = 0644;
    struct stat st {};
    if (mode_ == Mode::Replace && ::stat(native(finalPath_).constData(), &st) == 0)
        permissions = st.st_mode & 07777;
    if (::fchmod(fd_, permissions) != 0) return fail(QStringLiteral("set permissions"));
    return true;
}

bool AtomicFileWriter::write(const char *data, qint64 length) {
    if (fd_ < 0) {
        errno = EBADF;
        return fail(QStringLiteral("write"));
    }
    while (length > 0) {
        const ssize_t n = ::write(fd_, data, static_cast<size_t>(length));
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(QStringLiteral("write"));
        }
        data += n;
        length -= n;
    }
    return true;
}

bool AtomicFileWriter::commit() {
    if (fd_ < 0) {
        errno = EBADF;
        return fail(QStringLiteral("commit"));
    }
    if (durability_ == Durability::Synced && ::fsync(fd_) != 0) return fail(QStringLiteral("fsync"));
    if (::close(fd_) != 0) {
        fd_ = -1;
        return fail(QStringLiteral("close"));
    }
    fd_ = -1;
    const QByteArray from = native(temporaryPath_);
    const QByteArray to = native(finalPath_);
    const int rc = mode_ == Mode::NeverOverwrite ? renameWithoutReplacing(from, to)
                                                 : ::rename(from.constData(), to.constData());
    if (rc != 0) return fail(QStringLiteral("rename"));
    temporaryPath_.clear();
    // The folder is not synced after the rename: the name change becomes durable with the file
    // system's next journal commit. Until then a power cut can only leave the complete file under its
    // hidden temporary name, never a partial file under the final one; syncing the folder as well
    // would add a second journal commit (about 5 ms here) to every photo.
    committed_ = true;
    return true;
}

bool AtomicFileWriter::writeFile(const QString &path, std::initializer_list<QByteArray> pieces, Mode mode,
                                 QString *error, Durability durability) {
    AtomicFileWriter writer(path, mode, durability);
    bool ok = writer.open();
    for (const QByteArray &piece : pieces)
        ok = ok && writer.write(piece);
    ok = ok && writer.commit();
    if (!ok && error) *error = writer.error();
    return ok;
}

bool AtomicFileWriter::syncFile(const QString &path, QString *error) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0 && ::fdatasync(fd) == 0;
    if (!ok && error) *error = QString::fromLocal8Bit(std::strerror(errno));
    if (fd >= 0) ::close(fd);
    return ok;
}
