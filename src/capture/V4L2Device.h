#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include <QString>

// The system calls a capture stream makes on a V4L2 video node, behind one small interface so that the
// stream's format negotiation and buffer handling can run against a fake node in tests. create() gives
// the one that talks to the kernel.
//
// Every call answers 0 (or a positive count) on success and -errno on failure, and logs nothing: the
// caller knows the context. EINTR is retried. Not thread-safe: one thread at a time uses a device.
class V4L2Device {
public:
    static std::unique_ptr<V4L2Device> create();

    virtual ~V4L2Device() = default;

    // Opens `path` read-write and non-blocking (a dequeue with nothing filled answers -EAGAIN).
    virtual int open(const QString &path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual int ioctl(unsigned long request, void *argument) = 0;
    // Maps `length` bytes of driver memory at `offset` (as VIDIOC_QUERYBUF gave them), shared and
    // writable. Null on failure.
    virtual void *mmap(size_t length, int64_t offset) = 0;
    virtual void munmap(void *start, size_t length) = 0;
    // Waits at most `timeout` for a filled buffer: 1 with `revents` set, 0 when the time ran out.
    virtual int poll(std::chrono::milliseconds timeout, short *revents) = 0;
};
