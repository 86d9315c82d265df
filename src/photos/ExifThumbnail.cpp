#include "photos/ExifThumbnail.h"

#include <vector>

#include <QTransform>

#include <libyuv/scale.h>

#include "photos/ExifTags.h"
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

QByteArray fromRGB(const RenderedPicture &picture, QSize size) {
    const QImage whole(picture.planes[0], picture.size.width(), picture.size.height(), picture.strides[0],
                       QImage::Format_RGB888);
    const QImage small = whole.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
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
    QImage image = decoded(jpeg);
    if (!image.isNull()) {
        // QTransform turns clockwise for positive angles on a y-down picture.
        image = image.transformed(QTransform().rotate(-degrees), Qt::SmoothTransformation);
        if (image.width() > ExifTags::kThumbnailSize.width() ||
            image.height() > ExifTags::kThumbnailSize.height())
            image = image.scaled(ExifTags::kThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    const QByteArray turnedJpeg =
        image.isNull() ? QByteArray()
                       : JpegCodec::compressImage(image, JpegCodec::Subsampling::S420, kQuality);
    return ExifTags::withThumbnail(payload, turnedJpeg);
}

} // namespace ExifThumbnail
