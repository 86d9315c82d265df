#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QSize>

// What the markers in front of a JPEG's first scan tell: the pixel size (from the frame header),
// and where the EXIF segment is. Reads only the segment headers it needs, never the picture; the
// walk is bounded in segment count, so a hostile file cannot make it loop.
struct JpegHeader {
    // Reads up to `length` bytes at `offset` into `buffer`; answers the count read or -1.
    using ReadAt = std::function<qint64(qint64 offset, char *buffer, qint64 length)>;

    static constexpr int kMaxSegments = 4096;

    QSize size; // invalid when the frame header is missing or unusable
    int components = 0;
    bool progressive = false;
    qint64 exifSegmentOffset = -1; // offset of the APP1 marker (0xFF 0xE1) holding "Exif\0\0"
    qint64 exifSegmentLength = 0;  // marker, length field and payload
    QByteArray exifPayload;        // the APP1 payload, "Exif\0\0" included (when asked for)

    // Answers nothing when the data does not start like a JPEG. A JPEG whose frame header cannot
    // be reached (truncated, corrupt) answers a header with an invalid size.
    static std::optional<JpegHeader> parse(const ReadAt &read, qint64 fileSize, bool wantExif);
    static std::optional<JpegHeader> parse(const QByteArray &data, bool wantExif);
};
