#include "photos/SafeFileReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <QFile>

SafeFileReader::SafeFileReader(const QString &path) {
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO must not wait for a writer. It has no effect on regular files.
    fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = QStringLiteral("not a regular file");
        ::close(fd_);
        fd_ = -1;
        return;
    }
    size_ = st.st_size;
    mtime_ = st.st_mtim.tv_sec;
}

SafeFileReader::~SafeFileReader() {
    if (fd_ >= 0) ::close(fd_);
}

qint64 SafeFileReader::readAt(qint64 offset, char *buffer, qint64 length) const {
    if (fd_ < 0 || offset < 0 || length < 0) return -1;
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd_, buffer + done, static_cast<size_t>(length - done), offset + done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

QByteArray SafeFileReader::readAll(qint64 limit) {
    if (fd_ < 0) return {};
    if (size_ > limit) {
        error_ = QStringLiteral("file too large (%1 bytes)").arg(size_);
        return {};
    }
    QByteArray data(static_cast<qsizetype>(size_), Qt::Uninitialized);
    const qint64 n = readAt(0, data.data(), size_);
    if (n < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }
    data.truncate(static_cast<qsizetype>(n));
    return data;
}
