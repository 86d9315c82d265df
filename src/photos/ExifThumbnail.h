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
// The EXIF payload with its thumbnail turned as the photo was (`degrees` counter-clockwise) and fitted
// to 160 x 120 again; unchanged when it has none, without one when it cannot be turned.
QByteArray turned(const QByteArray &payload, int degrees);
} // namespace ExifThumbnail
