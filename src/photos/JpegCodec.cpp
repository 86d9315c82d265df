#include "photos/JpegCodec.h"

#include <memory>

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
    QByteArray out(static_cast<qsizetype>(tjBufSize(size.width(), size.height(), TJSAMP_420)),
                   Qt::Uninitialized);
    auto *buffer = reinterpret_cast<unsigned char *>(out.data());
    unsigned long length = static_cast<unsigned long>(out.size());
    // TurboJPEG only reads the planes; its signature predates const-correctness.
    if (tjCompressFromYUVPlanes(handle, const_cast<const unsigned char **>(planes), size.width(), strides,
                                size.height(), TJSAMP_420, &buffer, &length, quality,
                                TJFLAG_NOREALLOC) != 0) {
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
    const QImage rgb =
        image.format() == QImage::Format_RGB888 ? image : image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) {
        fail(error, QStringLiteral("no picture"));
        return {};
    }
    return compressRGB(rgb.constBits(), static_cast<int>(rgb.bytesPerLine()), rgb.size(), subsampling,
                       quality, error);
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
    QImage image(size, QImage::Format_RGB888);
    if (image.isNull()) {
        fail(error, QStringLiteral("out of memory"));
        return {};
    }
    tjhandle handle = decompressor();
    if (tjDecompress2(handle, bytes(jpeg), static_cast<unsigned long>(jpeg.size()), image.bits(),
                      size.width(), static_cast<int>(image.bytesPerLine()), size.height(), TJPF_RGB,
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
