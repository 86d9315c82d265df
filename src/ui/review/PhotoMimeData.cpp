#include "ui/review/PhotoMimeData.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "core/DCLog.h"
#include "photos/PhotoImage.h"

namespace {
const QString kPng = QStringLiteral("image/png");
const QString kTiff = QStringLiteral("image/tiff");
const QString kQtImage = QStringLiteral("application/x-qt-image");
} // namespace

PhotoMimeData::PhotoMimeData(QString path) : path_(std::move(path)) {}

QStringList PhotoMimeData::formats() const {
    return {kPng, kTiff, kQtImage};
}

bool PhotoMimeData::hasFormat(const QString &mimeType) const {
    return formats().contains(mimeType);
}

// The clipboard asks on the main thread and waits for the answer, so the decode cannot move elsewhere;
// it happens once per paste, not at copy time.
QVariant PhotoMimeData::retrieveData(const QString &mimeType, QMetaType type) const {
    if (!hasFormat(mimeType)) return QMimeData::retrieveData(mimeType, type);
    QString error;
    const QByteArray data = PhotoImage::readFile(path_, &error);
    const QImage image = data.isEmpty() ? QImage() : PhotoImage::decodeData(data, 0, &error);
    if (image.isNull()) {
        DCLog("Nothing to paste: %s: %s", qUtf8Printable(path_), qUtf8Printable(error));
        return {};
    }
    if (mimeType == kQtImage) return image;
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, mimeType == kPng ? "png" : "tiff");
    if (mimeType == kTiff) writer.setCompression(1); // LZW
    if (!writer.write(image)) {
        DCLog("Cannot make %s of %s: %s", qUtf8Printable(mimeType), qUtf8Printable(path_),
              qUtf8Printable(writer.errorString()));
        return {};
    }
    return encoded;
}
