#include "capture/DemoPageRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <turbojpeg.h>

#include "capture/PixelFont.h"
#include "core/DCLog.h"

namespace {

constexpr int kMinSide = 16;
constexpr int kMaxSide = 8192;

// A fixed sequence, so every run shows the same page.
quint32 nextRandom(quint32 &state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

} // namespace

DemoPageRenderer::DemoPageRenderer(const QString &modelName, QSize size, int quality)
    : modelName_(modelName), size_(size), quality_(std::clamp(quality, 1, 100)) {
    if (size_.width() < kMinSide || size_.height() < kMinSide || size_.width() > kMaxSide ||
        size_.height() > kMaxSide) {
        DCLog("Demo page: unusable size %d x %d", size_.width(), size_.height());
        size_ = QSize();
        return;
    }
    encoder_ = tjInitCompress();
    jpegCapacity_ = tjBufSize(size_.width(), size_.height(), TJSAMP_422);
    jpeg_ = tjAlloc(int(jpegCapacity_));
    if (!encoder_ || !jpeg_) {
        DCLog("Demo page: no JPEG encoder: %s", tjGetErrorStr2(encoder_));
        size_ = QSize();
        return;
    }
    drawPage();
}

DemoPageRenderer::~DemoPageRenderer() {
    if (jpeg_) tjFree(jpeg_);
    if (encoder_) tjDestroy(encoder_);
}

DemoPageRenderer::Colour DemoPageRenderer::rgb(int r, int g, int b) {
    auto clamp = [](double v) { return uint8_t(std::clamp(int(std::lround(v)), 0, 255)); };
    return {clamp(0.299 * r + 0.587 * g + 0.114 * b), clamp(128 - 0.168736 * r - 0.331264 * g + 0.5 * b),
            clamp(128 + 0.5 * r - 0.418688 * g - 0.081312 * b)};
}

void DemoPageRenderer::fillRect(std::vector<uint8_t> &planes, const QRect &rect, Colour colour) const {
    const QRect r = rect.intersected(QRect(QPoint(0, 0), size_));
    if (r.isEmpty()) return;
    const int w = size_.width(), h = size_.height(), cw = (w + 1) / 2;
    uint8_t *y = planes.data();
    uint8_t *cb = y + size_t(w) * h;
    uint8_t *cr = cb + size_t(cw) * h;
    const int cx0 = r.left() / 2, cx1 = (r.right() + 2) / 2;
    for (int row = r.top(); row <= r.bottom(); ++row) {
        std::memset(y + size_t(w) * row + r.left(), colour.y, size_t(r.width()));
        std::memset(cb + size_t(cw) * row + cx0, colour.cb, size_t(cx1 - cx0));
        std::memset(cr + size_t(cw) * row + cx0, colour.cr, size_t(cx1 - cx0));
    }
}

void DemoPageRenderer::drawText(std::vector<uint8_t> &planes, QPoint origin, int scale, const QString &text,
                                uint8_t luma) const {
    PixelFont::draw(planes.data(), size_.width(), size_.width(), size_.height(), origin, scale, text, luma);
}

void DemoPageRenderer::drawPage() {
    const int w = size_.width(), h = size_.height();
    unit_ = std::max(1, std::min(w, h) / 100);
    page_.assign(size_t(w) * h + 2 * size_t((w + 1) / 2) * h, 0);
    frame_.resize(page_.size());

    fillRect(page_, QRect(0, 0, w, h), rgb(70, 62, 55)); // desk
    pageRect_ = QRect(w / 10, h / 20, w * 8 / 10, h * 18 / 20);
    fillRect(page_, pageRect_, rgb(246, 244, 236));

    const int margin = 4 * unit_;
    const int left = pageRect_.left() + margin;
    const int right = pageRect_.right() - margin;
    int top = pageRect_.top() + margin;
    const int titleScale = std::max(1, unit_ * 6 / 5);
    drawText(page_, QPoint(left, top), titleScale, modelName_, 30);
    top += (PixelFont::kGlyphHeight + 4) * titleScale;
    drawText(page_, QPoint(left, top), std::max(1, unit_ / 2), QStringLiteral("Korva Lectern demo page"), 90);
    top += (PixelFont::kGlyphHeight + 6) * std::max(1, unit_ / 2);

    // Lines of "words" in the upper half, a chart on the lower left.
    const int lineHeight = std::max(2, unit_ * 3 / 2);
    const int lineStep = lineHeight * 2;
    quint32 seed = 1234567u;
    lineRects_.clear();
    for (int y = top; y + lineHeight < pageRect_.top() + pageRect_.height() / 2; y += lineStep) {
        int x = left;
        const int lineEnd = right - int(nextRandom(seed) % quint32(std::max(1, (right - left) / 4)));
        while (x < lineEnd) {
            const int word = std::max(2, int(nextRandom(seed) % quint32(12 * unit_ + 1)) + 2 * unit_);
            fillRect(page_, QRect(x, y, std::min(word, lineEnd - x), lineHeight), rgb(45, 45, 60));
            x += word + unit_ + 1;
        }
        lineRects_.push_back(QRect(left, y, lineEnd - left, lineHeight));
    }
    const int lowerTop = pageRect_.top() + pageRect_.height() / 2 + 2 * unit_;
    chartRect_ = QRect(left, lowerTop, (right - left) / 2, pageRect_.bottom() - margin - lowerTop);
    fillRect(
        page_,
        QRect(chartRect_.left(), chartRect_.bottom() - unit_ / 2, chartRect_.width(), std::max(1, unit_ / 2)),
        rgb(20, 20, 20));

    const QString sample = QStringLiteral("FRAME 000000");
    // As large as fits the right half of the lower page, beside the chart.
    counterScale_ = std::max(1, ((right - left) / 2 - 2 * unit_) / (PixelFont::textWidth(sample, 1) + 2));
    const int counterScale = counterScale_;
    counterRect_ = QRect(right - PixelFont::textWidth(sample, counterScale) - 2 * counterScale, lowerTop,
                         PixelFont::textWidth(sample, counterScale) + 2 * counterScale,
                         (PixelFont::kGlyphHeight + 4) * counterScale);
}

void DemoPageRenderer::drawMovingParts(quint32 frameNumber) {
    const double t = frameNumber / 30.0;

    // Bars that grow and shrink.
    const Colour colours[] = {rgb(200, 40, 40), rgb(40, 150, 60), rgb(40, 80, 200), rgb(230, 170, 20)};
    const int bars = 4;
    const int slot = chartRect_.width() / bars;
    for (int i = 0; i < bars; ++i) {
        const double level = 0.55 + 0.4 * std::sin(t * 1.3 + i * 1.7);
        const int height = int((chartRect_.height() - unit_) * level);
        fillRect(frame_,
                 QRect(chartRect_.left() + i * slot + slot / 6, chartRect_.bottom() - unit_ / 2 - height,
                       slot * 2 / 3, height),
                 colours[i]);
    }

    // A pen that follows the lines of text, one line every two seconds.
    if (!lineRects_.empty()) {
        const quint32 line = (frameNumber / 60) % quint32(lineRects_.size());
        const QRect &r = lineRects_[line];
        const int x = r.left() + int(qint64(r.width()) * (frameNumber % 60) / 60);
        fillRect(frame_, QRect(x, r.top() - 3 * unit_, std::max(2, unit_), 4 * unit_), rgb(20, 40, 160));
        fillRect(frame_, QRect(r.left(), r.bottom() + 1, x - r.left(), std::max(1, unit_ / 3)),
                 rgb(220, 60, 40));
    }

    // The counter, white on dark so it reads at any zoom.
    fillRect(frame_, counterRect_, rgb(25, 25, 25));
    const int scale = counterScale_;
    drawText(frame_, QPoint(counterRect_.left() + scale, counterRect_.top() + 2 * scale), scale,
             QStringLiteral("FRAME %1").arg(frameNumber % 1000000u, 6, 10, QLatin1Char('0')), 240);
}

std::span<const uint8_t> DemoPageRenderer::render(quint32 frameNumber) {
    if (size_.isEmpty()) return {};
    std::memcpy(frame_.data(), page_.data(), page_.size());
    drawMovingParts(frameNumber);

    const int w = size_.width(), h = size_.height(), cw = (w + 1) / 2;
    const unsigned char *planes[3] = {frame_.data(), frame_.data() + size_t(w) * h,
                                      frame_.data() + size_t(w) * h + size_t(cw) * h};
    const int strides[3] = {w, cw, cw};
    jpegSize_ = jpegCapacity_;
    if (tjCompressFromYUVPlanes(encoder_, planes, w, strides, h, TJSAMP_422, &jpeg_, &jpegSize_, quality_,
                                TJFLAG_NOREALLOC) != 0) {
        DCLog("Demo page: encoding failed: %s", tjGetErrorStr2(encoder_));
        return {};
    }
    return {jpeg_, size_t(jpegSize_)};
}

QByteArray DemoPageRenderer::renderJpeg(quint32 frameNumber) {
    const std::span<const uint8_t> bytes = render(frameNumber);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}
