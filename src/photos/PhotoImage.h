#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>

// A photo of the library as a picture that is decoded only when it is drawn: its pixel size comes
// from the file's header (the JPEG frame header, or the image format's own header), the pixels from
// image() or scaledToWidth(). Cheap to copy.
class PhotoImage {
public:
    static constexpr qint64 kMaxFileSize = 256LL * 1024 * 1024;

    // What the head of a file tells without decoding it.
    struct Probe {
        bool readable = false; // a regular file that could be opened
        bool jpeg = false;
        QSize size; // invalid when unknown
        std::optional<QDateTime> exifDate;
        qint64 modificationTime = 0;
        QString error;
    };
    static Probe probe(const QString &path, bool wantExifDate);

    PhotoImage() = default;
    // Reads the header of `path`; a file whose size cannot be read gives a null image.
    static PhotoImage fromFile(const QString &path);

    bool isNull() const { return !size_.isValid(); }
    QSize size() const { return size_; }
    QString path() const { return path_; }

    // The whole picture; a null QImage (with a log line) when it cannot be decoded.
    QImage image() const;
    // The picture decoded at the smallest DCT scale that still covers `width`, then scaled to it.
    QImage scaledToWidth(int width) const;

    // The file's bytes, bounded by kMaxFileSize; empty with `error` on failure.
    static QByteArray readFile(const QString &path, QString *error);
    // The pixel size of a picture in memory, from its header; invalid when unknown.
    static QSize sizeOfData(const QByteArray &data);
    // Any supported picture in memory, at least `minimumWidth` wide when that is > 0 (JPEG via
    // DCT scaling, other formats via their reader).
    static QImage decodeData(const QByteArray &data, int minimumWidth, QString *error);

private:
    PhotoImage(QString path, QSize size) : path_(std::move(path)), size_(size) {}

    QString path_;
    QSize size_;
};
