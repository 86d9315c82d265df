#pragma once

#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// JPEG pixels through TurboJPEG. Each thread keeps its own compressor, decompressor and transformer
// handle, so calls from several threads never share one and nothing is set up per picture.
//
// Decoding is bounded: pictures above kMaxPixels are refused before any memory is taken, and
// progressive files with absurd scan counts are stopped by the library's scan limit.
class JpegCodec {
public:
    static constexpr int kDefaultQuality = 90;
    static constexpr qint64 kMaxPixels = 120'000'000;

    // Chroma subsampling; the values are TurboJPEG's.
    enum class Subsampling { S444 = 0, S422 = 1, S420 = 2, Gray = 3, S440 = 4, S411 = 5 };

    struct Info {
        QSize size;
        Subsampling subsampling = Subsampling::S420;
    };

    static std::optional<Info> info(const QByteArray &jpeg, QString *error = nullptr);

    static QByteArray compressI420(const uint8_t *const planes[3], const int strides[3], QSize size,
                                   int quality, QString *error = nullptr);
    static QByteArray compressRGB(const uint8_t *rgb, int stride, QSize size, Subsampling subsampling,
                                  int quality, QString *error = nullptr);
    // Any QImage; RGB888 and the 32-bit RGB formats are read directly, others converted first.
    static QByteArray compressImage(const QImage &image, Subsampling subsampling, int quality,
                                    QString *error = nullptr);

    // The picture as QImage::Format_RGB32. With `minimumWidth` > 0 it is decoded at the smallest DCT scale
    // (1/8 up to 1/1) whose width is still at least `minimumWidth`. A truncated file answers the
    // part that could be decoded; a corrupt one a null image.
    static QImage decode(const QByteArray &jpeg, int minimumWidth = 0, QString *error = nullptr);
    // The size a DCT-scaled decode of a `full`-sized picture has for `minimumWidth`.
    static QSize scaledSize(QSize full, int minimumWidth);

    // Lossless clockwise turn by `quarterTurns` x 90 degrees (1, 2 or 3). Only a perfect transform
    // is accepted: nothing is answered when partial MCU blocks would be lost or on error. Extra
    // markers (EXIF and others) are copied.
    static std::optional<QByteArray> turnLosslessly(const QByteArray &jpeg, int quarterTurns,
                                                    QString *error = nullptr);
};
