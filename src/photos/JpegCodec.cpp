#include "photos/JpegCodec.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <turbojpeg.h>

namespace {

struct TjDestroy {
    void operator()(void *handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDestroy>;

tjhandle compressor() {
    thread_local TjHandle handle(tjInitCompress());
    return handle.get();
}
tjhandle decompressor() {
    thread_local TjHandle handle(tjInitDecompress());
    return handle.get();
}
tjhandle transformer() {
    thread_local TjHandle handle(tjInitTransform());
    return handle.get();
}

// QImage's 32-bit formats hold 0xAARRGGBB words, which are B, G, R, A bytes on this byte order.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "pixel layout assumes a little-endian machine");
constexpr int kQImage32BitFormat = TJPF_BGRX;

struct TjFree {
    void operator()(unsigned char *buffer) const { tjFree(buffer); }
};

bool fail(QString *error, const QString &text) {
    if (error) *error = text;
    return false;
}

QString tjError(tjhandle handle) {
    return QString::fromLocal8Bit(tjGetErrorStr2(handle));
}

const auto *bytes(const QByteArray &data) {
    return reinterpret_cast<const unsigned char *>(data.constData());
}

bool sizeAcceptable(QSize size, QString *error) {
    if (size.width() <= 0 || size.height() <= 0) return fail(error, QStringLiteral("invalid picture size"));
    if (static_cast<qint64>(size.width()) * size.height() > JpegCodec::kMaxPixels)
        return fail(error, QStringLiteral("picture too large (%1x%2)").arg(size.width()).arg(size.height()));
    return true;
}

} // namespace

std::optional<JpegCodec::Info> JpegCodec::info(const QByteArray &jpeg, QString *error) {
    tjhandle handle = decompressor();
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (!handle || tjDecompressHeader3(handle, bytes(jpeg), static_cast<unsigned long>(jpeg.size()), &width,
                                       &height, &subsamp, &colorspace) != 0) {
        fail(error, handle ? tjError(handle) : QStringLiteral("no decompressor"));
        return std::nullopt;
    }
    if (subsamp < 0 || subsamp > TJSAMP_411) subsamp = TJSAMP_444; // unusual layouts: keep full chroma
    return Info{QSize(width, height), static_cast<Subsampling>(subsamp)};
}

QByteArray JpegCodec::compressI420(const uint8_t *const planes[3], const int strides[3], QSize size,
                                   int quality, QString *error) {
    tjhandle handle = compressor();
    if (!handle || !sizeAcceptable(size, error)) return {};
    const int width = size.width(), height = size.height();
    // TurboJPEG reads the luma plane of 4:2:0 padded to even width and height. An odd-sized
    // picture gets a padded copy (last column and row repeated); I420 chroma already has that size.
    std::vector<uint8_t> paddedLuma;
    const unsigned char *source[3] = {planes[0], planes[1], planes[2]};
    int sourceStrides[3] = {strides[0], strides[1], strides[2]};
    if (width % 2 || height % 2) {
        const int paddedWidth = tjPlaneWidth(0, width, TJSAMP_420);
        const int paddedHeight = tjPlaneHeight(0, height, TJSAMP_420);
        paddedLuma.resize(static_cast<size_t>(paddedWidth) * static_cast<size_t>(paddedHeight));
        for (int row = 0; row < paddedHeight; ++row) {
            const uint8_t *from = planes[0] + static_cast<ptrdiff_t>(std::min(row, height - 1)) * strides[0];
            uint8_t *to = paddedLuma.data() + static_cast<ptrdiff_t>(row) * paddedWidth;
            std::memcpy(to, from, static_cast<size_t>(width));
            if (paddedWidth > width) to[width] = from[width - 1];
        }
        source[0] = paddedLuma.data();
        sourceStrides[0] = paddedWidth;
    }
    QByteArray out(static_cast<qsizetype>(tjBufSize(width, height, TJSAMP_420)), Qt::Uninitialized);
    auto *buffer = reinterpret_cast<unsigned char *>(out.data());
    unsigned long length = static_cast<unsigned long>(out.size());
    if (tjCompressFromYUVPlanes(handle, source, width, sourceStrides, height, TJSAMP_420, &buffer, &length,
                                quality, TJFLAG_NOREALLOC) != 0) {
        fail(error, tjError(handle));
        return {};
    }
    out.truncate(static_cast<qsizetype>(length));
    return out;
}

QByteArray JpegCodec::compressRGB(const uint8_t *rgb, int stride, QSize size, Subsampling subsampling,
                                  int quality, QString *error) {
    tjhandle handle = compressor();
    if (!handle || !sizeAcceptable(size, error)) return {};
    const int samp = static_cast<int>(subsampling);
    QByteArray out(static_cast<qsizetype>(tjBufSize(size.width(), size.height(), samp)), Qt::Uninitialized);
    auto *buffer = reinterpret_cast<unsigned char *>(out.data());
    unsigned long length = static_cast<unsigned long>(out.size());
    if (tjCompress2(handle, rgb, size.width(), stride, size.height(), TJPF_RGB, &buffer, &length, samp,
                    quality, TJFLAG_NOREALLOC) != 0) {
        fail(error, tjError(handle));
        return {};
    }
    out.truncate(static_cast<qsizetype>(length));
    return out;
}

QByteArray JpegCodec::compressImage(const QImage &image, Subsampling subsampling, int quality,
                                    QString *error) {
    if (image.isNull()) {
        fail(error, QStringLiteral("no picture"));
        return {};
    }
    if (image.format() == QImage::Format_RGB888)
        return compressRGB(image.constBits(), static_cast<int>(image.bytesPerLine()), image.size(),
                           subsampling, quality, error);
    // 32-bit pixels are read as they are (alpha ignored); anything else is converted once.
    const bool direct = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32 ||
                        image.format() == QImage::Format_ARGB32_Premultiplied;
    const QImage source = direct ? image : image.convertToFormat(QImage::Format_RGB32);
    tjhandle handle = compressor();
    if (!handle || !sizeAcceptable(source.size(), error)) return {};
    const int samp = static_cast<int>(subsampling);
    QByteArray out(static_cast<qsizetype>(tjBufSize(source.width(), source.height(), samp)),
                   Qt::Uninitialized);
    auto *buffer = reinterpret_cast<unsigned char *>(out.data());
    unsigned long length = static_cast<unsigned long>(out.size());
    if (tjCompress2(handle, source.constBits(), source.width(), static_cast<int>(source.bytesPerLine()),
                    source.height(), kQImage32BitFormat, &buffer, &length, samp, quality,
                    TJFLAG_NOREALLOC) != 0) {
        fail(error, tjError(handle));
        return {};
    }
    out.truncate(static_cast<qsizetype>(length));
    return out;
}

QSize JpegCodec::scaledSize(QSize full, int minimumWidth) {
    if (minimumWidth <= 0 || full.width() <= minimumWidth) return full;
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    QSize best = full;
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom) continue; // only ever scale down
        const QSize scaled(TJSCALED(full.width(), f), TJSCALED(full.height(), f));
        if (scaled.width() >= minimumWidth && scaled.width() < best.width()) best = scaled;
    }
    return best;
}

QImage JpegCodec::decode(const QByteArray &jpeg, int minimumWidth, QString *error) {
    const auto header = info(jpeg, error);
    if (!header || !sizeAcceptable(header->size, error)) return {};
    const QSize size = scaledSize(header->size, minimumWidth);
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        fail(error, QStringLiteral("out of memory"));
        return {};
    }
    tjhandle handle = decompressor();
    if (tjDecompress2(handle, bytes(jpeg), static_cast<unsigned long>(jpeg.size()), image.bits(),
                      size.width(), static_cast<int>(image.bytesPerLine()), size.height(), kQImage32BitFormat,
                      TJFLAG_LIMITSCANS) != 0) {
        // A warning (typically a truncated file) still leaves a usable picture.
        if (tjGetErrorCode(handle) != TJERR_WARNING) {
            fail(error, tjError(handle));
            return {};
        }
        if (error) *error = tjError(handle);
    }
    return image;
}

std::optional<QByteArray> JpegCodec::turnLosslessly(const QByteArray &jpeg, int quarterTurns,
                                                    QString *error) {
    tjhandle handle = transformer();
    if (!handle) {
        fail(error, QStringLiteral("no transformer"));
        return std::nullopt;
    }
    tjtransform transform{};
    switch (quarterTurns) {
    case 1:
        transform.op = TJXOP_ROT90;
        break;
    case 2:
        transform.op = TJXOP_ROT180;
        break;
    case 3:
        transform.op = TJXOP_ROT270;
        break;
    default:
        fail(error, QStringLiteral("not a quarter turn"));
        return std::nullopt;
    }
    transform.options = TJXOPT_PERFECT;
    unsigned char *out = nullptr;
    unsigned long length = 0;
    const int rc = tjTransform(handle, bytes(jpeg), static_cast<unsigned long>(jpeg.size()), 1, &out, &length,
                               &transform, TJFLAG_LIMITSCANS | TJFLAG_STOPONWARNING);
    std::unique_ptr<unsigned char, TjFree> owned(out);
    if (rc != 0 || !out) {
        fail(error, tjError(handle));
        return std::nullopt;
    }
    return QByteArray(reinterpret_cast<const char *>(out), static_cast<qsizetype>(length));
}
