#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Recycles large pixel buffers. On this machine the first touch of freshly mapped memory costs about
// as much as decoding a frame into it, so every per-frame buffer comes from here.
//
// Thread-safe. A buffer may be released on any thread, also after the pool itself is gone (it is then
// simply freed). At most `maxIdle` released buffers are kept for reuse.
class PixelBufferPool : public std::enable_shared_from_this<PixelBufferPool> {
public:
    static std::shared_ptr<PixelBufferPool> create(size_t maxIdle = 4);
    PixelBufferPool(const PixelBufferPool &) = delete;
    PixelBufferPool &operator=(const PixelBufferPool &) = delete;
    ~PixelBufferPool();

    // A buffer of at least `bytes` bytes, 64-byte aligned, contents undefined. Returns to the pool when
    // the last reference goes.
    std::shared_ptr<uint8_t[]> acquire(size_t bytes);

    // Buffers made fresh since creation (not taken from the idle list): flat in a steady stream.
    size_t allocations() const;
    size_t idleCount() const;

private:
    struct Block;
    explicit PixelBufferPool(size_t maxIdle);
    void recycle(Block *block);

    const size_t maxIdle_;
    mutable std::mutex mutex_;
    std::vector<Block *> idle_;
    size_t allocations_ = 0;
};
