#include "capture/ThreadedCaptureSource.h"

#include "capture/PixelBufferPool.h"
#include "core/DCLog.h"

namespace {
constexpr uint64_t kDropLogInterval = 100;
} // namespace

ThreadedCaptureSource::ThreadedCaptureSource(size_t poolSize, QString recoverySuggestion)
    : recoverySuggestion_(std::move(recoverySuggestion)), pool_(PixelBufferPool::create(poolSize)) {}

bool ThreadedCaptureSource::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

QString ThreadedCaptureSource::errorDescription() const {
    std::lock_guard lock(mutex_);
    return error_;
}

size_t ThreadedCaptureSource::bufferAllocations() const {
    return pool_->allocations();
}

void ThreadedCaptureSource::startDelivery(FrameCallback callback, std::function<void()> loop) {
    callback_ = std::move(callback);
    stopRequested_ = false;
    droppedInARow_ = 0;
    running_ = true;
    thread_ = std::thread(std::move(loop));
}

bool ThreadedCaptureSource::stopDelivery() {
    std::thread thread;
    bool wasRunning = false;
    {
        std::lock_guard lock(mutex_);
        wasRunning = running_;
        running_ = false;
        stopRequested_ = true;
        thread = std::move(thread_);
    }
    wake_.notify_all();
    if (thread.joinable()) thread.join();
    return wasRunning;
}

std::optional<CaptureSource::FrameCallback> ThreadedCaptureSource::runningCallback() const {
    std::lock_guard lock(mutex_);
    if (!running_) return std::nullopt;
    return callback_;
}

bool ThreadedCaptureSource::waitUntil(std::chrono::steady_clock::time_point due) {
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, due, [this] { return stopRequested_.load(); });
    return !stopRequested_.load();
}

void ThreadedCaptureSource::deliver(std::shared_ptr<const Frame> frame) {
    droppedInARow_ = 0;
    callback_(std::move(frame));
}

void ThreadedCaptureSource::dropFrame(const QString &why) {
    const uint64_t total = ++dropped_;
    if (droppedInARow_++ % kDropLogInterval == 0)
        DCLog("frame dropped (%llu so far): %s", static_cast<unsigned long long>(total), qUtf8Printable(why));
}
