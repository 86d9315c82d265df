#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <QString>

#include "capture/CaptureSource.h"

class PixelBufferPool;

// What every capture source with a delivery thread of its own shares: that thread and its stop
// request, the running flag, the frame callback, the pool the frames' buffers come from, the count
// of dropped frames and the error texts. A subclass keeps only its device: it opens it, prepares it
// in start() under mutex_ and hands its delivery loop to startDelivery().
//
// mutex_ guards the running flag, the callback and error_, and whatever state a subclass adds under
// it. Subclasses stop the delivery thread in their own destructor, while the loop's state still
// exists.
class ThreadedCaptureSource : public CaptureSource {
public:
    bool isRunning() const override;
    QString errorDescription() const override;
    QString recoverySuggestion() const override { return recoverySuggestion_; }

    // Buffers the pool had to make (flat in a steady stream).
    size_t bufferAllocations() const;
    // Frames dropped because their bytes were not a whole picture.
    uint64_t droppedFrames() const { return dropped_.load(); }

protected:
    ThreadedCaptureSource(size_t poolSize, QString recoverySuggestion);

    // mutex_ held: keeps `callback` and runs `loop` on a new delivery thread.
    void startDelivery(FrameCallback callback, std::function<void()> loop);
    // Asks the delivery thread to end and waits for it; false when streaming had not been started.
    // mutex_ not held.
    bool stopDelivery();
    // The callback of a stream that was started and not stopped. mutex_ not held.
    std::optional<FrameCallback> runningCallback() const;

    // Delivery thread.
    bool stopRequested() const { return stopRequested_.load(); }
    // Sleeps until `due` unless a stop is asked for first; false then.
    bool waitUntil(std::chrono::steady_clock::time_point due);
    void deliver(std::shared_ptr<const Frame> frame);
    // A frame that is not a whole picture: counted, and the first of a run of them and every
    // hundredth after it logged, so a broken camera cannot flood the log.
    void dropFrame(const QString &why);

    PixelBufferPool &pool() const { return *pool_; }

    mutable std::mutex mutex_;
    QString error_;

private:
    const QString recoverySuggestion_;
    const std::shared_ptr<PixelBufferPool> pool_;
    std::condition_variable wake_;
    bool running_ = false;
    FrameCallback callback_; // set before the delivery thread starts, unchanged until it is joined
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<uint64_t> dropped_{0};
    uint64_t droppedInARow_ = 0; // delivery thread
};
