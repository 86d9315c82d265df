#include "capture/PixelBufferPool.h"

#include <algorithm>
#include <new>

namespace {
constexpr std::align_val_t kAlignment{64};
}

struct PixelBufferPool::Block {
    explicit Block(size_t bytes)
        : data(static_cast<uint8_t *>(::operator new[](bytes, kAlignment))), capacity(bytes) {}
    ~Block() { ::operator delete[](data, kAlignment); }
    Block(const Block &) = delete;
    Block &operator=(const Block &) = delete;

    uint8_t *data;
    size_t capacity;
};

std::shared_ptr<PixelBufferPool> PixelBufferPool::create(size_t maxIdle) {
    return std::shared_ptr<PixelBufferPool>(new PixelBufferPool(maxIdle));
}

PixelBufferPool::PixelBufferPool(size_t maxIdle) : maxIdle_(maxIdle) {}

PixelBufferPool::~PixelBufferPool() {
    for (Block *block : idle_)
        delete block;
}

std::shared_ptr<uint8_t[]> PixelBufferPool::acquire(size_t bytes) {
    Block *block = nullptr;
    {
        std::lock_guard lock(mutex_);
        // Smallest idle block that fits, so a small request does not pin a big buffer.
        auto best = idle_.end();
        for (auto it = idle_.begin(); it != idle_.end(); ++it)
            if ((*it)->capacity >= bytes && (best == idle_.end() || (*it)->capacity < (*best)->capacity))
                best = it;
        if (best != idle_.end()) {
            block = *best;
            idle_.erase(best);
        } else {
            ++allocations_;
        }
    }
    if (!block) block = new Block(std::max<size_t>(bytes, 1));
    std::weak_ptr<PixelBufferPool> weakPool = weak_from_this();
    return std::shared_ptr<uint8_t[]>(block->data, [block, weakPool](uint8_t *) {
        if (auto pool = weakPool.lock())
            pool->recycle(block);
        else
            delete block;
    });
}

void PixelBufferPool::recycle(Block *block) {
    {
        std::lock_guard lock(mutex_);
        if (idle_.size() < maxIdle_) {
            idle_.push_back(block);
            return;
        }
    }
    delete block;
}

size_t PixelBufferPool::allocations() const {
    std::lock_guard lock(mutex_);
    return allocations_;
}

size_t PixelBufferPool::idleCount() const {
    std::lock_guard lock(mutex_);
    return idle_.size();
}
