#include "photos/PhotoImage.h"

#include <QBuffer>
#include <QImageReader>

#include "core/DCLog.h"
#include "photos/ExifTags.h"
#include "photos/ImageUtilities.h"
#include "photos/JpegCodec.h"
#include "photos/JpegHeader.h"
#include "photos/SafeFileReader.h"

namespace {

constexpr qint64 kOtherFormatHeadBytes = 64 * 1024;

bool looksLikeJpeg(const QByteArray &data) {
    return data.size() >= 3 && static_cast<unsigned char>(data[0]) == 0xFF &&
           static_cast<unsigned char>(data[1]) == 0xD8;
}

} // namespace

PhotoImage::Probe PhotoImage::probe(const QString &path, bool wantExifDate) {
    Probe result;
    SafeFileReader file(path);
    if (!file.isOpen()) {
        result.error = file.error();
        return result;
    }
    result.readable = true;
    result.modificationTime = file.modificationTime();
    const auto read = [&file](qint64 offset, char *buffer, qint64 length) {
        return file.readAt(offset, buffer, length);
    };
    if (const auto header = JpegHeader::parse(read, file.size(), wantExifDate)) {
        result.jpeg = true;
        result.size = header->size;
        if (!header->size.isValid()) result.error = QStringLiteral("no readable JPEG frame header");
        if (wantExifDate && !header->exifPayload.isEmpty())
            result.exifDate = ExifTags::dateTimeOriginal(header->exifPayload);
        return result;
    }
    // Not a JPEG whatever its name says: let the image readers look at the head of it.
    QByteArray head(static_cast<qsizetype>(std::min(file.size(), kOtherFormatHeadBytes)), Qt::Uninitialized);
    const qint64 n = file.readAt(0, head.data(), head.size());
    head.truncate(static_cast<qsizetype>(std::max<qint64>(n, 0)));
    QBuffer buffer(&head);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    result.size = reader.size();
    if (!result.size.isValid()) result.error = QStringLiteral("not a picture");
    return result;
}

PhotoImage PhotoImage::fromFile(const QString &path) {
    const Probe probed = probe(path, false);
    if (!probed.size.isValid())
        DCLog("Cannot read the picture size of %s: %s", qUtf8Printable(path), qUtf8Printable(probed.error));
    return PhotoImage(path, probed.size);
}

QByteArray PhotoImage::readFile(const QString &path, QString *error) {
    SafeFileReader file(path);
    QByteArray data = file.readAll(kMaxFileSize);
    if (data.isEmpty() && error)
        *error = file.error().isEmpty() ? QStringLiteral("empty file") : file.error();
    return data;
}

QSize PhotoImage::sizeOfData(const QByteArray &data) {
    if (const auto header = JpegHeader::parse(data, false)) return header->size;
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return reader.size();
}

QImage PhotoImage::decodeData(const QByteArray &data, int minimumWidth, QString *error) {
    if (looksLikeJpeg(data)) return JpegCodec::decode(data, minimumWidth, error);
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.isValid() && static_cast<qint64>(size.width()) * size.height() > JpegCodec::kMaxPixels) {
        if (error) *error = QStringLiteral("picture too large");
        return {};
    }
    if (minimumWidth > 0 && size.isValid() && size.width() > minimumWidth)
        reader.setScaledSize(size.scaled(minimumWidth, size.height(), Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull() && error) *error = reader.errorString();
    return image;
}

QImage PhotoImage::image() const {
    QString error;
    const QByteArray data = readFile(path_, &error);
    QImage image = data.isEmpty() ? QImage() : decodeData(data, 0, &error);
    if (image.isNull()) DCLog("Cannot decode %s: %s", qUtf8Printable(path_), qUtf8Printable(error));
    return image;
}

QImage PhotoImage::scaledToWidth(int width) const {
    QString error;
    const QByteArray data = readFile(path_, &error);
    const QImage image = data.isEmpty() ? QImage() : decodeData(data, width, &error);
    if (image.isNull()) {
        DCLog("Cannot decode %s: %s", qUtf8Printable(path_), qUtf8Printable(error));
        return image;
    }
    return ImageUtilities::scaledToWidth(image, width);
}
