#include "photos/ExifThumbnail.h"

#include <vector>

#include <libyuv/convert_argb.h>
#include <libyuv/scale.h>
#include <libyuv/scale_argb.h>

#include "photos/ExifTags.h"
#include "photos/ImageUtilities.h"
#include "photos/JpegCodec.h"
#include "photos/JpegHeader.h"
#include "photos/PhotoWriter.h"
#include "photos/SafeFileReader.h"

namespace {

constexpr int kQuality = 75; // a preview: small beats sharp, and the whole must fit the APP1 segment

// The thumbnail's size: the picture's shape within 160 x 120, in even numbers for 4:2:0.
QSize thumbnailSize(QSize picture) {
    const QSize fitted = picture.scaled(ExifTags::kThumbnailSize, Qt::KeepAspectRatio);
    return QSize(std::max(2, fitted.width() & ~1), std::max(2, fitted.height() & ~1));
}

QByteArray fromI420(const RenderedPicture &picture, QSize size) {
    const int chromaWidth = size.width() / 2, chromaHeight = size.height() / 2;
    std::vector<uint8_t> y(size_t(size.width()) * size.height());
    std::vector<uint8_t> u(size_t(chromaWidth) * chromaHeight), v(u.size());
    if (libyuv::I420Scale(picture.planes[0], picture.strides[0], picture.planes[1], picture.strides[1],
                          picture.planes[2], picture.strides[2], picture.size.width(), picture.size.height(),
                          y.data(), size.width(), u.data(), chromaWidth, v.data(), chromaWidth, size.width(),
                          size.height(), libyuv::kFilterBox) != 0)
        return {};
    const uint8_t *planes[3] = {y.data(), u.data(), v.data()};
    const int strides[3] = {size.width(), chromaWidth, chromaWidth};
    return JpegCodec::compressI420(planes, strides, size, kQuality);
}

// Through libyuv rather than QImage, whose smooth scaling and conversions of large pictures run on
// Qt's thread pool: the thumbnail is made on the snapshot's own thread, and stays there.
QByteArray fromRGB(const RenderedPicture &picture, QSize size) {
    const QSize whole = picture.size;
    std::vector<uint8_t> argb(size_t(whole.width()) * whole.height() * 4);
    if (libyuv::RAWToARGB(picture.planes[0], picture.strides[0], argb.data(), whole.width() * 4,
                          whole.width(), whole.height()) != 0)
        return {};
    QImage small(size, QImage::Format_RGB32);
    if (libyuv::ARGBScale(argb.data(), whole.width() * 4, whole.width(), whole.height(), small.bits(),
                          int(small.bytesPerLine()), size.width(), size.height(), libyuv::kFilterBox) != 0)
        return {};
    return JpegCodec::compressImage(small, JpegCodec::Subsampling::S420, kQuality);
}

// Only what a thumbnail can be: a picture that says it is larger is not decoded (nor trusted as one).
QImage decoded(const QByteArray &jpeg) {
    const auto info = jpeg.isEmpty() ? std::nullopt : JpegCodec::info(jpeg);
    if (!info || info->size.width() > ExifTags::kThumbnailSize.width() * 2 ||
        info->size.height() > ExifTags::kThumbnailSize.height() * 2)
        return {};
    return JpegCodec::decode(jpeg);
}

} // namespace

namespace ExifThumbnail {

QByteArray make(const RenderedPicture &picture) {
    if (!picture.isValid()) return {};
    const QSize size = thumbnailSize(picture.size);
    return picture.format == RenderedPicture::Format::I420 ? fromI420(picture, size) : fromRGB(picture, size);
}

QImage read(const QString &path) {
    SafeFileReader file(path);
    if (!file.isOpen()) return {};
    const auto readAt = [&file](qint64 offset, char *buffer, qint64 length) {
        return file.readAt(offset, buffer, length);
    };
    const auto header = JpegHeader::parse(readAt, file.size(), true);
    if (!header || header->exifPayload.isEmpty()) return {};
    return decoded(ExifTags::thumbnail(header->exifPayload));
}

QByteArray turned(const QByteArray &payload, int degrees) {
    const QByteArray jpeg = ExifTags::thumbnail(payload);
    if (jpeg.isEmpty()) return payload;
    // Turned as the photo is turned, and on this thread (QImage's own transforms use Qt's thread pool).
    QImage image = ImageUtilities::rotateByAngle(decoded(jpeg), degrees);
    if (image.width() > ExifTags::kThumbnailSize.width() ||
        image.height() > ExifTags::kThumbnailSize.height())
        image = ImageUtilities::scaledToWidth(
            image, image.size().scaled(ExifTags::kThumbnailSize, Qt::KeepAspectRatio).width());
    const QByteArray turnedJpeg =
        image.isNull() ? QByteArray()
                       : JpegCodec::compressImage(image, JpegCodec::Subsampling::S420, kQuality);
    return ExifTags::withThumbnail(payload, turnedJpeg);
}

} // namespace ExifThumbnail
