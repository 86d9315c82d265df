#pragma once

#include <QByteArray>
#include <QImage>

struct RenderedPicture;

// The small JPEG a photo carries in its EXIF tags (IFD1), so that a browser shows it without decoding
// the photo: at most 160 x 120, made from the planes the photo itself is compressed from.
namespace ExifThumbnail {
QByteArray make(const RenderedPicture &picture);
// The thumbnail embedded in the JPEG file at `path`, decoded; null when it has none (or it cannot be
// read). Reads the file's header segments only.
QImage read(const QString &path);
} // namespace ExifThumbnail
