#pragma once

#include <optional>

#include <QByteArray>

// Small edits on the marker segments of a complete JPEG in memory.
class JpegSegments {
public:
    struct Density {
        int unit = 0; // 0 aspect ratio only, 1 dots per inch, 2 dots per cm
        int x = 1;
        int y = 1;
    };

    // The APP1 marker and length for `payload` (the segment without its payload).
    static QByteArray app1Header(const QByteArray &payload);
    // Where an EXIF segment goes: after SOI and after a JFIF APP0 that directly follows it.
    static qsizetype exifInsertionOffset(const QByteArray &jpeg);
    // `jpeg` with its EXIF segment (if any) replaced by one holding `payload`.
    static QByteArray withExif(const QByteArray &jpeg, const QByteArray &payload);

    static std::optional<Density> jfifDensity(const QByteArray &jpeg);
    // Changes the density of a JFIF APP0 that directly follows SOI; false when there is none.
    static bool setJfifDensity(QByteArray &jpeg, const Density &density);
};
