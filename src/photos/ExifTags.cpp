#include "photos/ExifTags.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

namespace {

struct ExifDataUnref {
    void operator()(ExifData *data) const { exif_data_unref(data); }
};
using ExifDataPtr = std::unique_ptr<ExifData, ExifDataUnref>;

constexpr char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};

ExifDataPtr newExifData() {
    ExifDataPtr data(exif_data_new());
    if (!data) return data;
    // Keep what a file holds as it is: no "fixing" that adds or drops tags, unknown tags kept.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_set_option(data.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    return data;
}

ExifDataPtr load(const QByteArray &payload) {
    if (payload.size() < 6 + 8 || payload.size() > ExifTags::kMaxPayload ||
        std::memcmp(payload.constData(), kExifId, 6) != 0)
        return {};
    ExifDataPtr data = newExifData();
    if (!data) return data;
    exif_data_load_data(data.get(), reinterpret_cast<const unsigned char *>(payload.constData()),
                        static_cast<unsigned int>(payload.size()));
    if (!data->ifd[EXIF_IFD_0] || data->ifd[EXIF_IFD_0]->count == 0) return {};
    return data;
}

// The entry `tag` of `ifd`, created (or recreated with another format) to hold `components`
// values of `format`.
ExifEntry *entry(ExifData *data, ExifIfd ifd, ExifTag tag, ExifFormat format, unsigned long components) {
    ExifContent *content = data->ifd[ifd];
    if (ExifEntry *old = exif_content_get_entry(content, tag)) {
        if (old->format == format && old->components == components) return old;
        exif_content_remove_entry(content, old);
    }
    ExifMem *mem = exif_mem_new_default();
    ExifEntry *e = exif_entry_new_mem(mem);
    const unsigned int size = exif_format_get_size(format) * static_cast<unsigned int>(components);
    e->data = static_cast<unsigned char *>(exif_mem_alloc(mem, size));
    exif_mem_unref(mem);
    if (!e->data) {
        exif_entry_unref(e);
        return nullptr;
    }
    e->tag = tag;
    e->format = format;
    e->components = components;
    e->size = size;
    exif_content_add_entry(content, e);
    exif_entry_unref(e); // the content holds it now
    return e;
}

void setAscii(ExifData *data, ExifIfd ifd, ExifTag tag, const QByteArray &text) {
    if (ExifEntry *e = entry(data, ifd, tag, EXIF_FORMAT_ASCII, static_cast<unsigned long>(text.size()) + 1))
        std::memcpy(e->data, text.constData(), static_cast<size_t>(text.size()) + 1);
}

void setShort(ExifData *data, ExifIfd ifd, ExifTag tag, ExifShort value) {
    if (ExifEntry *e = entry(data, ifd, tag, EXIF_FORMAT_SHORT, 1))
        exif_set_short(e->data, exif_data_get_byte_order(data), value);
}

void setLong(ExifData *data, ExifIfd ifd, ExifTag tag, ExifLong value) {
    if (ExifEntry *e = entry(data, ifd, tag, EXIF_FORMAT_LONG, 1))
        exif_set_long(e->data, exif_data_get_byte_order(data), value);
}

void setRational(ExifData *data, ExifIfd ifd, ExifTag tag, ExifRational value) {
    if (ExifEntry *e = entry(data, ifd, tag, EXIF_FORMAT_RATIONAL, 1))
        exif_set_rational(e->data, exif_data_get_byte_order(data), value);
}

void setUndefined(ExifData *data, ExifIfd ifd, ExifTag tag, const QByteArray &bytes) {
    if (ExifEntry *e = entry(data, ifd, tag, EXIF_FORMAT_UNDEFINED, static_cast<unsigned long>(bytes.size())))
        std::memcpy(e->data, bytes.constData(), static_cast<size_t>(bytes.size()));
}

// A size tag keeps its format when the value fits it; SHORT and LONG are both allowed there.
void setDimension(ExifData *data, ExifIfd ifd, ExifTag tag, int value, bool onlyIfPresent) {
    ExifEntry *old = exif_content_get_entry(data->ifd[ifd], tag);
    if (!old && onlyIfPresent) return;
    if (old && old->format == EXIF_FORMAT_SHORT && old->components == 1 && value <= 0xFFFF)
        exif_set_short(old->data, exif_data_get_byte_order(data), static_cast<ExifShort>(value));
    else
        setLong(data, ifd, tag, static_cast<ExifLong>(value));
}

QByteArray save(ExifData *data) {
    unsigned char *buffer = nullptr;
    unsigned int size = 0;
    exif_data_save_data(data, &buffer, &size);
    if (!buffer) return {};
    QByteArray payload(reinterpret_cast<const char *>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    if (payload.size() > ExifTags::kMaxPayload) return {};
    return payload;
}

std::optional<QDateTime> parseDate(ExifData *data, ExifIfd ifd, ExifTag tag) {
    ExifEntry *e = exif_content_get_entry(data->ifd[ifd], tag);
    if (!e || e->format != EXIF_FORMAT_ASCII || !e->data || e->size < 19) return std::nullopt;
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(e->data), 19);
    QDateTime time = QDateTime::fromString(text, QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    if (!time.isValid()) return std::nullopt;
    return time;
}

// The tags with a JPEG thumbnail in IFD1 (libexif writes its offset and length); empty when the whole
// would not fit one APP1 segment, and the tags are then saved without it.
QByteArray savedWithThumbnail(ExifData *d, const QByteArray &jpeg) {
    setShort(d, EXIF_IFD_1, EXIF_TAG_COMPRESSION, 6); // JPEG
    setRational(d, EXIF_IFD_1, EXIF_TAG_X_RESOLUTION, {72, 1});
    setRational(d, EXIF_IFD_1, EXIF_TAG_Y_RESOLUTION, {72, 1});
    setShort(d, EXIF_IFD_1, EXIF_TAG_RESOLUTION_UNIT, 2);
    d->data = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(jpeg.size())));
    if (!d->data) return {};
    std::memcpy(d->data, jpeg.constData(), static_cast<size_t>(jpeg.size()));
    d->size = static_cast<unsigned int>(jpeg.size());
    const QByteArray payload = save(d);
    if (!payload.isEmpty()) return payload;
    std::free(d->data);
    d->data = nullptr;
    d->size = 0;
    for (const ExifTag tag :
         {EXIF_TAG_COMPRESSION, EXIF_TAG_X_RESOLUTION, EXIF_TAG_Y_RESOLUTION, EXIF_TAG_RESOLUTION_UNIT})
        if (ExifEntry *entry = exif_content_get_entry(d->ifd[EXIF_IFD_1], tag))
            exif_content_remove_entry(d->ifd[EXIF_IFD_1], entry);
    return {};
}

} // namespace

QString ExifTags::dateText(const QDateTime &time) {
    return time.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss"));
}

QByteArray ExifTags::snapshotPayload(const Snapshot &snapshot) {
    ExifDataPtr data = newExifData();
    if (!data) return {};
    exif_data_set_byte_order(data.get(), EXIF_BYTE_ORDER_MOTOROLA);
    ExifData *d = data.get();
    const QByteArray date = dateText(snapshot.saveTime).toLatin1();

    setAscii(d, EXIF_IFD_0, EXIF_TAG_MAKE, QByteArrayLiteral("Korva corp"));
    setAscii(d, EXIF_IFD_0, EXIF_TAG_MODEL, snapshot.model.toUtf8());
    setShort(d, EXIF_IFD_0, EXIF_TAG_ORIENTATION, 1);
    setRational(d, EXIF_IFD_0, EXIF_TAG_X_RESOLUTION, {72, 1});
    setRational(d, EXIF_IFD_0, EXIF_TAG_Y_RESOLUTION, {72, 1});
    setShort(d, EXIF_IFD_0, EXIF_TAG_RESOLUTION_UNIT, 2); // inches
    setAscii(d, EXIF_IFD_0, EXIF_TAG_SOFTWARE, QByteArrayLiteral("Korva Lectern"));
    setAscii(d, EXIF_IFD_0, EXIF_TAG_DATE_TIME, date);
    setShort(d, EXIF_IFD_0, EXIF_TAG_YCBCR_POSITIONING, 1); // centred, as JPEG places chroma

    setUndefined(d, EXIF_IFD_EXIF, EXIF_TAG_EXIF_VERSION, QByteArrayLiteral("0220"));
    setAscii(d, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, date);
    setAscii(d, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_DIGITIZED, date);
    // The tags EXIF requires of every JPEG, so that validating readers find nothing missing.
    setUndefined(d, EXIF_IFD_EXIF, EXIF_TAG_COMPONENTS_CONFIGURATION, QByteArray("\x01\x02\x03\x00", 4));
    setUndefined(d, EXIF_IFD_EXIF, EXIF_TAG_FLASH_PIX_VERSION, QByteArrayLiteral("0100"));
    setShort(d, EXIF_IFD_EXIF, EXIF_TAG_COLOR_SPACE, 1); // sRGB
    setLong(d, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, static_cast<ExifLong>(snapshot.pixelSize.width()));
    setLong(d, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, static_cast<ExifLong>(snapshot.pixelSize.height()));
    if (!snapshot.thumbnail.isEmpty()) {
        const QByteArray withThumbnail = savedWithThumbnail(d, snapshot.thumbnail);
        if (!withThumbnail.isEmpty()) return withThumbnail;
    }
    return save(d);
}

QByteArray ExifTags::withThumbnail(const QByteArray &payload, const QByteArray &jpeg) {
    ExifDataPtr data = load(payload);
    if (!data) return {};
    ExifData *d = data.get();
    std::free(d->data);
    d->data = nullptr;
    d->size = 0;
    if (!jpeg.isEmpty()) {
        const QByteArray withIt = savedWithThumbnail(d, jpeg);
        if (!withIt.isEmpty()) return withIt;
    }
    return save(d);
}

QByteArray ExifTags::thumbnail(const QByteArray &payload) {
    ExifDataPtr data = load(payload);
    if (!data || !data->data || data->size == 0) return {};
    return QByteArray(reinterpret_cast<const char *>(data->data), static_cast<qsizetype>(data->size));
}

std::optional<QDateTime> ExifTags::dateTimeOriginal(const QByteArray &payload) {
    ExifDataPtr data = load(payload);
    if (!data) return std::nullopt;
    if (auto time = parseDate(data.get(), EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL)) return time;
    return parseDate(data.get(), EXIF_IFD_0, EXIF_TAG_DATE_TIME);
}

QByteArray ExifTags::withPixelDimensions(const QByteArray &payload, QSize size) {
    ExifDataPtr data = load(payload);
    if (!data) return {};
    ExifData *d = data.get();
    setDimension(d, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, size.width(), false);
    setDimension(d, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, size.height(), false);
    setDimension(d, EXIF_IFD_0, EXIF_TAG_IMAGE_WIDTH, size.width(), true);
    setDimension(d, EXIF_IFD_0, EXIF_TAG_IMAGE_LENGTH, size.height(), true);
    return save(d);
}
