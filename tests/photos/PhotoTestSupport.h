#pragma once

#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QJsonObject>
#include <QString>

#include "photos/PhotoWriter.h"

// A picture with structure in every direction, so a turn or a flip shows in its pixels.
QImage testPattern(int width, int height);
// Mean absolute difference per channel, pixel by pixel (no format conversions: Qt runs large ones on
// its thread pool); 1e9 when the sizes differ.
double meanDifference(const QImage &a, const QImage &b);

// An I420 rendering of `image` that lives as long as the object.
struct I420Picture {
    explicit I420Picture(const QImage &image);
    RenderedPicture picture() const;

    QSize size;
    std::vector<uint8_t> y, u, v;
};

// Writes a snapshot-like photo of `width` x `height` to `path`.
bool writeTestPhoto(const QString &path, int width, int height,
                    const QDateTime &time = QDateTime::currentDateTime(),
                    const QString &model = QStringLiteral("Orb"));

QByteArray readFileBytes(const QString &path);
void writeFileBytes(const QString &path, const QByteArray &data);

// exiftool's view of a file's tags (-j -G1 output of one file), or an empty object when it fails.
QJsonObject exiftool(const QString &path, const QStringList &extraArguments = {});
