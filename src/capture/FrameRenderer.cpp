#include "capture/FrameRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <libyuv.h>

#include "capture/Frame.h"
#include "capture/I420Image.h"
#include "capture/PixelBufferPool.h"
#include "core/DCLog.h"

namespace {

struct PlaneView {
    const uint8_t *data;
    int stride;
    int width;
    int height;
};

// The source rectangle in whole pixels: a fractional edge takes in the pixel it cuts.
QRect wholePixels(const QRectF &rect, QSize bounds) {
    constexpr double kSlack = 1e-6;
    const int x0 = std::clamp(int(std::floor(rect.left() + kSlack)), 0, bounds.width() - 1);
    const int y0 = std::clamp(int(std::floor(rect.top() + kSlack)), 0, bounds.height() - 1);
    const int x1 = std::clamp(int(std::ceil(rect.right() - kSlack)), x0 + 1, bounds.width());
    const int y1 = std::clamp(int(std::ceil(rect.bottom() - kSlack)), y0 + 1, bounds.height());
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

// The smallest DCT scale (in eighths) whose decode of `source` still covers `output` pixel for pixel.
int dctScaleFor(QSize source, QSize output) {
    for (int m = 1; m < 8; ++m)
        if (source.width() * m >= output.width() * 8 && source.height() * m >= output.height() * 8) return m;
    return 8;
}

void grow(std::vector<uint8_t> &buffer, size_t bytes) {
    if (buffer.size() < bytes) buffer.resize(bytes);
}

// `src` scaled into `dst`, mirrored as asked. libyuv reads a negative height as "rows bottom up".
void scalePlane(PlaneView src, uint8_t *dst, int dstStride, int dstWidth, int dstHeight, bool hFlip,
                bool vFlip, std::vector<uint8_t> &scratch) {
    const int srcHeight = vFlip ? -src.height : src.height;
    if (!hFlip) {
        libyuv::ScalePlane(src.data, src.stride, src.width, srcHeight, dst, dstStride, dstWidth, dstHeight,
                           libyuv::kFilterBilinear);
        return;
    }
    if (src.width == dstWidth && src.height == dstHeight) {
        libyuv::MirrorPlane(src.data, src.stride, dst, dstStride, dstWidth, srcHeight);
        return;
    }
    grow(scratch, size_t(dstWidth) * dstHeight);
    libyuv::ScalePlane(src.data, src.stride, src.width, srcHeight, scratch.data(), dstWidth, dstWidth,
                       dstHeight, libyuv::kFilterBilinear);
    libyuv::MirrorPlane(scratch.data(), dstWidth, dst, dstStride, dstWidth, dstHeight);
}

} // namespace

FrameRenderer::FrameRenderer(size_t poolSize) : pool_(PixelBufferPool::create(poolSize)) {}

FrameRenderer::~FrameRenderer() = default;

std::shared_ptr<const I420Image> FrameRenderer::render(const Frame &frame, QSize outputSize) {
    const FrameTransform &transform = frame.transform();
    const QSize size = outputSize.isEmpty() ? frame.size() : outputSize;
    if (!transform.isValid() || size.isEmpty() || size.width() > JpegDecoder::kMaxDimension ||
        size.height() > JpegDecoder::kMaxDimension ||
        qint64(size.width()) * size.height() > JpegDecoder::kMaxPixels) {
        fail(QStringLiteral("no picture of %1 x %2").arg(size.width()).arg(size.height()));
        return nullptr;
    }
    std::shared_ptr<I420Image> out = I420Image::create(size, pool_.get());
    const QRect source = wholePixels(transform.sourceRectTopLeft(), frame.pixelSize());
    bool ok;
    if (frame.hasJpeg())
        ok = renderJpeg(frame, source, *out);
    else if (frame.planes())
        ok = renderPlanes(*frame.planes(), source, transform.hFlipped(), transform.vFlipped(), *out);
    else
        ok = false;
    if (!ok) return nullptr;
    failing_ = false;
    return out;
}

bool FrameRenderer::renderJpeg(const Frame &frame, const QRect &source, I420Image &out) {
    const FrameTransform &transform = frame.transform();
    const std::span<const uint8_t> jpeg = frame.jpeg();
    JpegDecoder::Header header;
    if (!decoder_.readHeader(jpeg, header)) {
        fail(decoder_.error());
        return false;
    }
    if (header.size != frame.pixelSize()) {
        fail(QStringLiteral("JPEG of %1 x %2 in a frame of %3 x %4")
                 .arg(header.size.width())
                 .arg(header.size.height())
                 .arg(frame.pixelSize().width())
                 .arg(frame.pixelSize().height()));
        return false;
    }
    const bool whole = source == QRect(QPoint(0, 0), header.size);
    const bool reducing = out.width() * 2 <= source.width() && out.height() * 2 <= source.height();
    if (whole && header.planarFriendly && !reducing) {
        if (out.size() == header.size && !transform.hFlipped()) {
            if (decoder_.decodePlanes(jpeg, out, transform.vFlipped())) return true;
            fail(decoder_.error());
            return false;
        }
        if (!wholePicture_ || wholePicture_->size() != header.size)
            wholePicture_ = I420Image::create(header.size);
        if (!decoder_.decodePlanes(jpeg, *wholePicture_, false)) {
            fail(decoder_.error());
            return false;
        }
        return renderPlanes(*wholePicture_, source, transform.hFlipped(), transform.vFlipped(), out);
    }
    JpegDecoder::Band band;
    if (!decoder_.decodeBand(jpeg, source, dctScaleFor(source.size(), out.size()), band)) {
        fail(decoder_.error());
        return false;
    }
    return renderBand(band, transform.hFlipped(), transform.vFlipped(), out);
}

bool FrameRenderer::renderPlanes(const I420Image &planes, const QRect &source, bool hFlip, bool vFlip,
                                 I420Image &out) {
    // Chroma has one sample per two pixels: start the crop on an even pixel so both planes agree.
    const int x0 = source.left() & ~1, y0 = source.top() & ~1;
    const int x1 = source.right() + 1, y1 = source.bottom() + 1;
    const int cx0 = x0 / 2, cy0 = y0 / 2;
    const int cx1 = std::min((x1 + 1) / 2, planes.chromaWidth()),
              cy1 = std::min((y1 + 1) / 2, planes.chromaHeight());
    const PlaneView y{planes.y() + size_t(planes.strideY()) * y0 + x0, planes.strideY(), x1 - x0, y1 - y0};
    const PlaneView u{planes.u() + size_t(planes.strideU()) * cy0 + cx0, planes.strideU(), cx1 - cx0,
                      cy1 - cy0};
    const PlaneView v{planes.v() + size_t(planes.strideV()) * cy0 + cx0, planes.strideV(), cx1 - cx0,
                      cy1 - cy0};
    scalePlane(y, out.y(), out.strideY(), out.width(), out.height(), hFlip, vFlip, scaled_);
    scalePlane(u, out.u(), out.strideU(), out.chromaWidth(), out.chromaHeight(), hFlip, vFlip, scaled_);
    scalePlane(v, out.v(), out.strideV(), out.chromaWidth(), out.chromaHeight(), hFlip, vFlip, scaled_);
    return true;
}

bool FrameRenderer::renderBand(const JpegDecoder::Band &band, bool hFlip, bool vFlip, I420Image &out) {
    const int w = band.size.width(), h = band.size.height();
    const uint8_t *src = band.data;
    int stride = band.stride;
    if (hFlip) {
        // Mirror the (small) decoded band rather than the (large) output.
        const int rowBytes = w * band.components;
        grow(mirrored_, size_t(rowBytes) * h);
        if (band.components == 3)
            libyuv::RGB24Mirror(src, stride, mirrored_.data(), rowBytes, w, vFlip ? -h : h);
        else
            libyuv::MirrorPlane(src, stride, mirrored_.data(), rowBytes, w, vFlip ? -h : h);
        src = mirrored_.data();
        stride = rowBytes;
        vFlip = false;
    }
    if (band.components == 1) {
        scalePlane({src, stride, w, h}, out.y(), out.strideY(), out.width(), out.height(), false, vFlip,
                   scaled_);
        libyuv::SetPlane(out.u(), out.strideU(), out.chromaWidth(), out.chromaHeight(), 128);
        libyuv::SetPlane(out.v(), out.strideV(), out.chromaWidth(), out.chromaHeight(), 128);
        return true;
    }
    const size_t planeBytes = size_t(w) * h;
    grow(split_, planeBytes * 3);
    uint8_t *y = split_.data();
    uint8_t *u = y + planeBytes;
    uint8_t *v = u + planeBytes;
    libyuv::SplitRGBPlane(src, stride, y, w, u, w, v, w, w, h);
    scalePlane({y, w, w, h}, out.y(), out.strideY(), out.width(), out.height(), false, vFlip, scaled_);
    scalePlane({u, w, w, h}, out.u(), out.strideU(), out.chromaWidth(), out.chromaHeight(), false, vFlip,
               scaled_);
    scalePlane({v, w, w, h}, out.v(), out.strideV(), out.chromaWidth(), out.chromaHeight(), false, vFlip,
               scaled_);
    return true;
}

void FrameRenderer::fail(const QString &why) {
    ++failures_;
    // A damaged stream fails frame after frame: say so once, then again after the next good frame.
    if (failing_) return;
    failing_ = true;
    DCLog("Frame dropped, cannot render it: %s", qUtf8Printable(why));
}
