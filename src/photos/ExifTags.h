#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QSize>
#include <QString>

// The EXIF and TIFF tags of our photos, built and read with libexif. Every payload here is the body
// of a JPEG APP1 segment: "Exif\0\0" followed by the TIFF structure.
class ExifTags {
public:
    struct Snapshot {
        QString model;      // the camera's model
        QDateTime saveTime; // local time of encoding, read once by the caller
        QSize pixelSize;
        QByteArray thumbnail; // a JPEG of at most kThumbnailSize for IFD1; none when empty
    };
    static constexpr QSize kThumbnailSize{160, 120};

    // Make "Korva corp", Model, Software "Korva Lectern", Orientation 1, 72 dpi, DateTime,
    // DateTimeOriginal and DateTimeDigitized (all the same text), ExifVersion 0220, the pixel size and
    // the tags EXIF requires of every JPEG (component layout, FlashPix version, colour space), and the
    // thumbnail in IFD1 when there is one (and the whole still fits one APP1 segment).
    static QByteArray snapshotPayload(const Snapshot &snapshot);

    // The JPEG thumbnail of IFD1; empty when there is none or the payload cannot be read.
    static QByteArray thumbnail(const QByteArray &payload);
    // The same tags with `jpeg` as the thumbnail, or without one when `jpeg` is empty or would not fit.
    // Answers an empty array when the payload cannot be read.
    static QByteArray withThumbnail(const QByteArray &payload, const QByteArray &jpeg);

    // DateTimeOriginal, else DateTime; nothing when absent, unreadable or not a valid date.
    static std::optional<QDateTime> dateTimeOriginal(const QByteArray &payload);

    // The same tags with PixelXDimension/PixelYDimension (and the TIFF image size, where present) set
    // to `size`. Answers an empty array when the payload cannot be read.
    static QByteArray withPixelDimensions(const QByteArray &payload, QSize size);

    static QString dateText(const QDateTime &time); // "yyyy:MM:dd HH:mm:ss"

    static constexpr int kMaxPayload = 65533; // what one APP1 segment holds
};
