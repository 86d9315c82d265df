#pragma once

#include <QByteArray>
#include <QString>

// Reads files of the photo library without ever blocking or reading without bound: only regular
// files are opened (a FIFO or a device named like a photo would otherwise hang the caller), and every
// read is limited in size.
class SafeFileReader {
public:
    // Opens `path` for reading. isOpen() answers false (and error() says why) for anything but a
    // readable regular file.
    explicit SafeFileReader(const QString &path);
    ~SafeFileReader();
    SafeFileReader(const SafeFileReader &) = delete;
    SafeFileReader &operator=(const SafeFileReader &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    QString error() const { return error_; }
    qint64 size() const { return size_; }
    qint64 modificationTime() const { return mtime_; } // seconds since the epoch

    // Reads up to `length` bytes at `offset`; answers the number read, or -1 on error.
    qint64 readAt(qint64 offset, char *buffer, qint64 length) const;

    // The whole file when it is at most `limit` bytes; an empty array (with error()) otherwise.
    QByteArray readAll(qint64 limit);

private:
    int fd_ = -1;
    qint64 size_ = 0;
    qint64 mtime_ = 0;
    QString error_;
};
