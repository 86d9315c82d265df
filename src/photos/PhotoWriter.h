#pragma once

#include <cstdint>

#include <QDateTime>
#include <QSize>
#include <QString>

#include "photos/AtomicFileWriter.h"

// A picture ready to be saved, as the capture side renders it: planar YUV 4:2:0 (three planes) or
// packed RGB (plane 0 only). The writer only borrows the memory for the call.
struct RenderedPicture {
    enum class Format { I420, RGB888 };
    Format format = Format::I420;
    QSize size;
    const uint8_t *planes[3] = {nullptr, nullptr, nullptr};
    int strides[3] = {0, 0, 0};

    bool isValid() const;
};

// Turns a rendered picture into a photo file: JPEG pixels, our EXIF/TIFF tags in an APP1 segment,
// 72 dpi in the JFIF header, written atomically under a name that must not exist yet.
class PhotoWriter {
public:
    struct Metadata {
        QString model;      // the camera's model
        QDateTime saveTime; // the moment of encoding, local time
    };

    // False (with `error`) when the picture is unusable, the encoder fails, the name is taken or
    // the file cannot be written; no file is left under `path` then.
    // `durability` Rebuildable leaves the flush to the disk to the caller (AtomicFileWriter::syncFile).
    static bool writePhoto(const RenderedPicture &picture, const Metadata &metadata, const QString &path,
                           QString *error = nullptr,
                           AtomicFileWriter::Durability durability = AtomicFileWriter::Durability::Synced);

    // The complete file content, for callers that keep the bytes themselves.
    static QByteArray photoData(const RenderedPicture &picture, const Metadata &metadata,
                                QString *error = nullptr);

private:
    struct Parts;
    static bool encode(const RenderedPicture &picture, const Metadata &metadata, Parts &parts,
                       QString *error);
    static bool streamPhoto(const RenderedPicture &picture, const Metadata &metadata, const QString &path,
                            QString *error, AtomicFileWriter::Durability durability);
};
