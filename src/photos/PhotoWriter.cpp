#include "photos/PhotoWriter.h"

#include "photos/AtomicFileWriter.h"
#include "photos/ExifTags.h"
#include "photos/ExifThumbnail.h"
#include "photos/JpegCodec.h"
#include "photos/JpegFileStreamer.h"
#include "photos/JpegSegments.h"

bool RenderedPicture::isValid() const {
    const int w = size.width();
    if (w <= 0 || size.height() <= 0 || !planes[0]) return false;
    if (format == Format::RGB888) return strides[0] >= 3 * w;
    const int chroma = (w + 1) / 2;
    return planes[1] && planes[2] && strides[0] >= w && strides[1] >= chroma && strides[2] >= chroma;
}

struct PhotoWriter::Parts {
    QByteArray jpeg;
    QByteArray exif;
    qsizetype exifOffset = 0;
};

bool PhotoWriter::encode(const RenderedPicture &picture, const Metadata &metadata, Parts &parts,
                         QString *error) {
    if (!picture.isValid()) {
        if (error) *error = QStringLiteral("no usable picture");
        return false;
    }
    if (picture.format == RenderedPicture::Format::I420)
        parts.jpeg = JpegCodec::compressI420(picture.planes, picture.strides, picture.size,
                                             JpegCodec::kDefaultQuality, error);
    else
        parts.jpeg = JpegCodec::compressRGB(picture.planes[0], picture.strides[0], picture.size,
                                            JpegCodec::Subsampling::S420, JpegCodec::kDefaultQuality, error);
    if (parts.jpeg.isEmpty()) return false;
    JpegSegments::setJfifDensity(parts.jpeg, {1, 72, 72});
    parts.exif = ExifTags::snapshotPayload(
        {metadata.model, metadata.saveTime, picture.size, ExifThumbnail::make(picture)});
    if (parts.exif.isEmpty()) {
        if (error) *error = QStringLiteral("could not build the EXIF tags");
        return false;
    }
    parts.exifOffset = JpegSegments::exifInsertionOffset(parts.jpeg);
    return true;
}

bool PhotoWriter::writePhoto(const RenderedPicture &picture, const Metadata &metadata, const QString &path,
                             QString *error, AtomicFileWriter::Durability durability) {
    if (JpegFileStreamer::canStream(picture)) return streamPhoto(picture, metadata, path, error, durability);
    Parts parts;
    if (!encode(picture, metadata, parts, error)) return false;
    const char *data = parts.jpeg.constData();
    // The segments go out as three pieces, so the compressed picture is never copied.
    return AtomicFileWriter::writeFile(
        path,
        {QByteArray::fromRawData(data, parts.exifOffset), JpegSegments::app1Header(parts.exif), parts.exif,
         QByteArray::fromRawData(data + parts.exifOffset, parts.jpeg.size() - parts.exifOffset)},
        AtomicFileWriter::Mode::NeverOverwrite, error, durability);
}

// The usual case: the file is written while the picture is being compressed.
bool PhotoWriter::streamPhoto(const RenderedPicture &picture, const Metadata &metadata, const QString &path,
                              QString *error, AtomicFileWriter::Durability durability) {
    JpegFileStreamer::Options options;
    options.quality = JpegCodec::kDefaultQuality;
    options.exif = ExifTags::snapshotPayload(
        {metadata.model, metadata.saveTime, picture.size, ExifThumbnail::make(picture)});
    if (options.exif.isEmpty()) {
        if (error) *error = QStringLiteral("could not build the EXIF tags");
        return false;
    }
    AtomicFileWriter file(path, AtomicFileWriter::Mode::NeverOverwrite, durability);
    if (!file.open()) {
        if (error) *error = file.error();
        return false;
    }
    // A failed write names its own cause.
    if (!JpegFileStreamer::write(picture, options, file, error)) return false;
    if (!file.commit()) {
        if (error) *error = file.error();
        return false;
    }
    return true;
}

QByteArray PhotoWriter::photoData(const RenderedPicture &picture, const Metadata &metadata, QString *error) {
    Parts parts;
    if (!encode(picture, metadata, parts, error)) return {};
    QByteArray out = parts.jpeg;
    out.insert(parts.exifOffset, JpegSegments::app1Header(parts.exif) + parts.exif);
    return out;
}
