#include "photos/ThumbnailCache.h"

#include <optional>
#include <utility>
#include <zlib.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QStandardPaths>
#include <QUrl>

#include "core/DCLog.h"
#include "photos/AtomicFileWriter.h"
#include "photos/ExifThumbnail.h"
#include "photos/ImageUtilities.h"
#include "photos/PhotoImage.h"
#include "photos/SafeFileReader.h"

namespace {

const QString kUriKey = QStringLiteral("Thumb::URI");
const QString kMTimeKey = QStringLiteral("Thumb::MTime");
const QString kFailFolder = QStringLiteral("fail/korva-lectern");
constexpr qint64 kMaxThumbnailFile = 16 * 1024 * 1024;

QString uriFor(const QString &path) {
    return QString::fromUtf8(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded());
}

QString hashName(const QString &uri) {
    return QString::fromLatin1(QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

quint32 be32(const char *p) {
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return (quint32(u[0]) << 24) | (quint32(u[1]) << 16) | (quint32(u[2]) << 8) | u[3];
}

// A stored thumbnail (or failure entry) that belongs to this very version of the file.
QImage readValid(const QString &cacheFile, const QString &uri, qint64 mtime) {
    SafeFileReader file(cacheFile);
    if (!file.isOpen()) return {};
    QByteArray data = file.readAll(kMaxThumbnailFile);
    const QMap<QString, QString> texts = ThumbnailCache::pngTexts(data);
    if (texts.value(kUriKey) != uri || texts.value(kMTimeKey) != QString::number(mtime)) return {};
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "png");
    return reader.read();
}

bool store(const QImage &image, const QString &cacheFile) {
    QDir().mkpath(QFileInfo(cacheFile).absolutePath());
    QFile::setPermissions(QFileInfo(cacheFile).absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(85); // light zlib compression: for a thumbnail speed is worth more than bytes
    if (!writer.write(image)) return false;
    AtomicFileWriter out(cacheFile, AtomicFileWriter::Mode::Replace,
                         AtomicFileWriter::Durability::Rebuildable);
    if (!out.open() || !out.write(png) || !out.commit()) return false;
    QFile::setPermissions(cacheFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

// A zlib stream of at most `limit` bytes once inflated; empty when it is damaged or longer.
QByteArray inflated(const QByteArray &stream, qsizetype limit) {
    QByteArray out(limit, Qt::Uninitialized);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.constData()));
    z.avail_in = uInt(stream.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int result = inflate(&z, Z_FINISH);
    const qsizetype length = qsizetype(z.total_out);
    inflateEnd(&z);
    if (result != Z_STREAM_END) return {};
    out.truncate(length);
    return out;
}

// One text chunk's keyword and value: tEXt is plain Latin-1; zTXt is compressed Latin-1 (what Qt's
// writer makes of a value of 40 characters or more, so of any real file URI); iTXt is UTF-8,
// compressed or not, after a language tag and a translated keyword.
std::optional<std::pair<QString, QString>> textChunk(const QByteArray &type, const QByteArray &body) {
    constexpr qsizetype kMaxText = 64 * 1024;
    const qsizetype zero = body.indexOf('\0');
    if (zero <= 0) return std::nullopt;
    const QString key = QString::fromLatin1(body.left(zero));
    if (type == "tEXt") return std::pair{key, QString::fromLatin1(body.mid(zero + 1))};
    if (type == "zTXt") {
        if (body.size() < zero + 2 || body[zero + 1] != 0) return std::nullopt;
        const QByteArray text = inflated(body.mid(zero + 2), kMaxText);
        if (text.isNull()) return std::nullopt;
        return std::pair{key, QString::fromLatin1(text)};
    }
    if (type == "iTXt") {
        if (body.size() < zero + 3) return std::nullopt;
        const bool compressed = body[zero + 1] != 0;
        const qsizetype language = body.indexOf('\0', zero + 3);
        const qsizetype translated = language < 0 ? -1 : body.indexOf('\0', language + 1);
        if (translated < 0) return std::nullopt;
        const QByteArray text =
            compressed ? inflated(body.mid(translated + 1), kMaxText) : body.mid(translated + 1);
        if (compressed && text.isNull()) return std::nullopt;
        return std::pair{key, QString::fromUtf8(text)};
    }
    return std::nullopt;
}

} // namespace

// Qt's reader splits text keys at the first colon, so "Thumb::URI" has to be read here.
QMap<QString, QString> ThumbnailCache::pngTexts(const QByteArray &png) {
    QMap<QString, QString> texts;
    if (!png.startsWith("\x89PNG\r\n\x1a\n")) return texts;
    qsizetype pos = 8;
    for (int chunk = 0; chunk < 1000 && pos + 12 <= png.size(); ++chunk) {
        const quint32 length = be32(png.constData() + pos);
        if (length > quint32(png.size() - pos - 12)) break;
        const QByteArray type = png.mid(pos + 4, 4);
        if (type == "IDAT" || type == "IEND") break;
        if (const auto text = textChunk(type, png.mid(pos + 8, length)))
            texts.insert(text->first, text->second);
        pos += 12 + length;
    }
    return texts;
}

ThumbnailCache::ThumbnailCache(QString root) : root_(std::move(root)) {}

QString ThumbnailCache::defaultRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/thumbnails");
}

QString ThumbnailCache::flavourFor(int width, int *boxSize) {
    static const struct {
        const char *name;
        int box;
    } kFlavours[] = {{"normal", 128}, {"large", 256}, {"x-large", 512}, {"xx-large", 1024}};
    for (const auto &flavour : kFlavours) {
        if (width <= flavour.box) {
            if (boxSize) *boxSize = flavour.box;
            return QString::fromLatin1(flavour.name);
        }
    }
    return {};
}

QString ThumbnailCache::cachePath(const QString &path, int width) const {
    const QString flavour = flavourFor(width);
    if (flavour.isEmpty()) return {};
    return QStringLiteral("%1/%2/%3").arg(root_, flavour, hashName(uriFor(path)));
}

QString ThumbnailCache::failurePath(const QString &path) const {
    return QStringLiteral("%1/%2/%3").arg(root_, kFailFolder, hashName(uriFor(path)));
}

QImage ThumbnailCache::thumbnail(const QString &path, int width) const {
    if (width <= 0) return {};
    int box = 0;
    const QString target = cachePath(path, width);
    flavourFor(width, &box);
    if (target.isEmpty()) return PhotoImage::fromFile(path).scaledToWidth(width);

    const QFileInfo info(path);
    const qint64 mtime = info.lastModified().toSecsSinceEpoch();
    const QString uri = uriFor(path);
    QImage thumb = readValid(target, uri, mtime);
    if (thumb.isNull()) {
        if (!readValid(failurePath(path), uri, mtime).isNull()) return {};
        // A photo that carries a large enough picture of its own shows at once, with nothing decoded
        // or stored; the cache is for the larger ones.
        const QImage embedded = ExifThumbnail::read(path);
        if (!embedded.isNull() && embedded.width() >= width)
            return embedded.width() == width ? embedded : ImageUtilities::scaledToWidth(embedded, width);
        thumb = makeThumbnail(path, box, mtime, uri, target);
        if (thumb.isNull()) return {};
    }
    return thumb.width() <= width ? thumb : ImageUtilities::scaledToWidth(thumb, width);
}

QImage ThumbnailCache::makeThumbnail(const QString &path, int box, qint64 mtime, const QString &uri,
                                     const QString &target) const {
    QString error;
    const QByteArray data = PhotoImage::readFile(path, &error);
    const QSize size = PhotoImage::sizeOfData(data);
    // The decode only has to cover the box the thumbnail fits in.
    const QSize fitted = size.isValid() ? size.scaled(box, box, Qt::KeepAspectRatio) : QSize();
    const int minimumWidth = fitted.isValid() && fitted.width() < size.width() ? fitted.width() : 0;
    QImage picture = data.isEmpty() ? QImage() : PhotoImage::decodeData(data, minimumWidth, &error);
    if (picture.isNull()) {
        DCLog("No thumbnail for %s: %s", qUtf8Printable(path), qUtf8Printable(error));
        markFailed(path, mtime, uri);
        return {};
    }
    if (picture.width() > box || picture.height() > box)
        picture = ImageUtilities::scaledToWidth(picture,
                                                picture.size().scaled(box, box, Qt::KeepAspectRatio).width());
    picture.setText(kUriKey, uri);
    picture.setText(kMTimeKey, QString::number(mtime));
    picture.setText(QStringLiteral("Thumb::Size"), QString::number(data.size()));
    picture.setText(QStringLiteral("Software"), QStringLiteral("Korva Lectern"));
    if (!store(picture, target))
        DCLog("Cannot store the thumbnail of %s in %s", qUtf8Printable(path), qUtf8Printable(target));
    return picture;
}

void ThumbnailCache::markFailed(const QString &path, qint64 mtime, const QString &uri) const {
    QImage marker(1, 1, QImage::Format_ARGB32);
    marker.fill(Qt::transparent);
    marker.setText(kUriKey, uri);
    marker.setText(kMTimeKey, QString::number(mtime));
    store(marker, failurePath(path));
}
