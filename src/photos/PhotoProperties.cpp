#include "photos/PhotoProperties.h"

#include <libexif/exif-data.h>

#include "photos/JpegHeader.h"
#include "photos/SafeFileReader.h"

namespace {

struct Tag {
    ExifIfd ifd;
    ExifTag tag;
    const char *label;
};
const Tag kTags[] = {
    {EXIF_IFD_0, EXIF_TAG_MAKE, "Make"},
    {EXIF_IFD_0, EXIF_TAG_MODEL, "Model"},
    {EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, "Taken"},
    {EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME, "Exposure"},
    {EXIF_IFD_EXIF, EXIF_TAG_FNUMBER, "Aperture"},
    {EXIF_IFD_EXIF, EXIF_TAG_ISO_SPEED_RATINGS, "ISO"},
    {EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH, "Focal length"},
    {EXIF_IFD_0, EXIF_TAG_SOFTWARE, "Software"},
};

} // namespace

std::vector<PhotoProperties::Field> PhotoProperties::cameraFields(const QString &path) {
    SafeFileReader file(path);
    if (!file.isOpen()) return {};
    const auto readAt = [&file](qint64 offset, char *buffer, qint64 length) {
        return file.readAt(offset, buffer, length);
    };
    const auto header = JpegHeader::parse(readAt, file.size(), true);
    if (!header || header->exifPayload.isEmpty()) return {};
    ExifData *exif =
        exif_data_new_from_data(reinterpret_cast<const unsigned char *>(header->exifPayload.constData()),
                                static_cast<unsigned int>(header->exifPayload.size()));
    if (!exif) return {};
    std::vector<Field> fields;
    for (const Tag &tag : kTags) {
        ExifEntry *entry = exif_content_get_entry(exif->ifd[tag.ifd], tag.tag);
        if (!entry) continue;
        char text[256] = {};
        exif_entry_get_value(entry, text, sizeof text);
        const QString value = QString::fromUtf8(text).trimmed();
        if (!value.isEmpty()) fields.emplace_back(QString::fromLatin1(tag.label), value);
    }
    exif_data_unref(exif);
    return fields;
}
