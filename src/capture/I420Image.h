#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <QSize>

class PixelBufferPool;

// A picture in planar YCbCr 4:2:0 (I420), full range as in JPEG files: Y at full size, Cb and Cr at
// half width and half height (rounded up). Rows are packed (stride = plane width).
//
// The pixels live in shared storage; a const I420Image is safe to read from any thread.
class I420Image {
public:
    static size_t byteSize(QSize size);
    // Storage from `pool`, or from the heap when no pool is given. Answers null for an empty size.
    static std::shared_ptr<I420Image> create(QSize size, PixelBufferPool *pool = nullptr);

    I420Image(QSize size, std::shared_ptr<uint8_t[]> storage);

    QSize size() const { return size_; }
    int width() const { return size_.width(); }
    int height() const { return size_.height(); }
    int chromaWidth() const { return (size_.width() + 1) / 2; }
    int chromaHeight() const { return (size_.height() + 1) / 2; }

    int strideY() const { return width(); }
    int strideU() const { return chromaWidth(); }
    int strideV() const { return chromaWidth(); }

    const uint8_t *y() const { return storage_.get(); }
    const uint8_t *u() const { return y() + size_t(strideY()) * height(); }
    const uint8_t *v() const { return u() + size_t(strideU()) * chromaHeight(); }
    uint8_t *y() { return storage_.get(); }
    uint8_t *u() { return y() + size_t(strideY()) * height(); }
    uint8_t *v() { return u() + size_t(strideU()) * chromaHeight(); }

private:
    QSize size_;
    std::shared_ptr<uint8_t[]> storage_;
};
