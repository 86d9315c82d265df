#include "photos/PhotoRotator.h"

#include "core/DCLog.h"
#include "photos/AtomicFileWriter.h"
#include "photos/ExifTags.h"
#include "photos/ExifThumbnail.h"
#include "photos/ImageUtilities.h"
#include "photos/JpegCodec.h"
#include "photos/JpegHeader.h"
#include "photos/JpegSegments.h"
#include "photos/PhotoImage.h"

namespace {

bool failed(const QString &path, const QString &reason, QString *error) {
    DCLog("Cannot rotate %s: %s", qUtf8Printable(path), qUtf8Printable(reason));
    if (error) *error = reason;
    return false;
}

// Decodes, turns and encodes again with the source's chroma subsampling and density.
QByteArray reencodeTurned(const QByteArray &source, int angle, QString *error) {
    const auto info = JpegCodec::info(source, error);
    if (!info) return {};
    QString warning;
    const QImage picture = JpegCodec::decode(source, 0, &warning);
    // A picture that decodes only partly is not written back: that would bake the damage in.
    if (picture.isNull() || !warning.isEmpty()) {
        if (error) *error = warning.isEmpty() ? QStringLiteral("cannot decode") : warning;
        return {};
    }
    const QImage turned = ImageUtilities::rotateByAngle(picture, angle);
    QByteArray out = JpegCodec::compressImage(turned, info->subsampling, JpegCodec::kDefaultQuality, error);
    if (const auto density = JpegSegments::jfifDensity(source); density && !out.isEmpty())
        JpegSegments::setJfifDensity(out, *density);
    return out;
}

} // namespace

bool PhotoRotator::rotateImageAtPath(const QString &path, int withDegree, QString *error) {
    QString reason;
    const QByteArray source = PhotoImage::readFile(path, &reason);
    if (source.isEmpty()) return failed(path, reason, error);
    const auto header = JpegHeader::parse(source, true);
    if (!header || !header->size.isValid()) return failed(path, QStringLiteral("not a readable JPEG"), error);

    const int angle = withDegree % 360;
    if (angle == 0) return true; // nothing to turn: the file stays as it is

    QByteArray turned;
    if (angle % 90 == 0) {
        const int clockwiseQuarters = ((360 - angle) % 360) / 90;
        if (auto lossless = JpegCodec::turnLosslessly(source, clockwiseQuarters, &reason)) turned = *lossless;
    }
    if (turned.isEmpty()) turned = reencodeTurned(source, angle, &reason);
    if (turned.isEmpty()) return failed(path, reason, error);

    const QSize size = ImageUtilities::rotatedSize(header->size, angle);
    if (!header->exifPayload.isEmpty()) {
        // The photo's own thumbnail turns with it; a browser would show it the old way round.
        QByteArray exif =
            ExifTags::withPixelDimensions(ExifThumbnail::turned(header->exifPayload, angle), size);
        if (exif.isEmpty()) {
            DCLog("EXIF tags of %s cannot be read; they are kept unchanged", qUtf8Printable(path));
            exif = header->exifPayload;
        }
        turned = JpegSegments::withExif(turned, exif);
    }
    const auto check = JpegHeader::parse(turned, false);
    if (!check || check->size != size)
        return failed(path, QStringLiteral("the turned picture has the wrong size"), error);
    if (!AtomicFileWriter::writeFile(path, {turned}, AtomicFileWriter::Mode::Replace, &reason))
        return failed(path, reason, error);
    return true;
}
