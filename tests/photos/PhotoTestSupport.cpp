#include "PhotoTestSupport.h"

#include <algorithm>
#include <cmath>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "support/ChildProcess.h"

double meanDifference(const QImage &a, const QImage &b) {
    if (a.size() != b.size()) return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

QImage testPattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 255) / std::max(1, width - 1), (y * 255) / std::max(1, height - 1),
                           ((x / 16 + y / 16) % 2) ? 200 : 40);
    }
    return image;
}

I420Picture::I420Picture(const QImage &image) : size(image.size()) {
    const int w = size.width(), h = size.height(), cw = (w + 1) / 2, ch = (h + 1) / 2;
    y.resize(static_cast<size_t>(w * h));
    u.assign(static_cast<size_t>(cw * ch), 128);
    v.assign(static_cast<size_t>(cw * ch), 128);
    for (int row = 0; row < h; ++row) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, row);
            const int r = qRed(p), g = qGreen(p), b = qBlue(p);
            // JPEG's YCbCr is full range (JFIF), as the camera's decoded frames are.
            y[static_cast<size_t>(row * w + x)] =
                static_cast<uint8_t>(std::lround(0.299 * r + 0.587 * g + 0.114 * b));
            if (row % 2 == 0 && x % 2 == 0) {
                const size_t c = static_cast<size_t>((row / 2) * cw + x / 2);
                u[c] = static_cast<uint8_t>(
                    std::clamp<long>(std::lround(-0.168736 * r - 0.331264 * g + 0.5 * b + 128), 0, 255));
                v[c] = static_cast<uint8_t>(
                    std::clamp<long>(std::lround(0.5 * r - 0.418688 * g - 0.081312 * b + 128), 0, 255));
            }
        }
    }
}

RenderedPicture I420Picture::picture() const {
    RenderedPicture picture;
    picture.format = RenderedPicture::Format::I420;
    picture.size = size;
    picture.planes[0] = y.data();
    picture.planes[1] = u.data();
    picture.planes[2] = v.data();
    picture.strides[0] = size.width();
    picture.strides[1] = picture.strides[2] = (size.width() + 1) / 2;
    return picture;
}

bool writeTestPhoto(const QString &path, int width, int height, const QDateTime &time, const QString &model) {
    const I420Picture picture(testPattern(width, height));
    return PhotoWriter::writePhoto(picture.picture(), {model, time}, path);
}

QByteArray readFileBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void writeFileBytes(const QString &path, const QByteArray &data) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(data);
}

QJsonObject exiftool(const QString &path, const QStringList &extraArguments) {
    const ChildResult r = runChild(QStringLiteral("exiftool"),
                                   QStringList{QStringLiteral("-j")} + extraArguments + QStringList{path});
    const QJsonArray files = QJsonDocument::fromJson(r.out).array();
    return files.isEmpty() ? QJsonObject() : files.first().toObject();
}
