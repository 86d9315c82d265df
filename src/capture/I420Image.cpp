#include "capture/I420Image.h"

#include "capture/PixelBufferPool.h"

size_t I420Image::byteSize(QSize size) {
    if (size.isEmpty()) return 0;
    const size_t w = size_t(size.width()), h = size_t(size.height());
    return w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
}

std::shared_ptr<I420Image> I420Image::create(QSize size, PixelBufferPool *pool) {
    const size_t bytes = byteSize(size);
    if (bytes == 0) return nullptr;
    std::shared_ptr<uint8_t[]> storage =
        pool ? pool->acquire(bytes) : std::shared_ptr<uint8_t[]>(new uint8_t[bytes]);
    return std::make_shared<I420Image>(size, std::move(storage));
}

I420Image::I420Image(QSize size, std::shared_ptr<uint8_t[]> storage)
    : size_(size), storage_(std::move(storage)) {}
