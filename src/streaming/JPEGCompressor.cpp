#include "JPEGCompressor.h"

#include <cstring>

#include <turbojpeg.h>

#include "JpegFrame.h"
#include "core/DCLog.h"
#include "core/DCVocabulary.h"

JPEGCompressor &JPEGCompressor::sharedJPEGCompressor() {
    static JPEGCompressor *compressor = new JPEGCompressor; // never destroyed, like the server
    return *compressor;
}

JPEGCompressor::JPEGCompressor() = default;

JPEGCompressor::~JPEGCompressor() {
    stop();
}

void JPEGCompressor::start() {
    {
        std::lock_guard lock(mutex_);
        if (!running_) {
            if (thread_.joinable()) thread_.join();
            running_ = true;
            previousGeneration_ = imageGeneration_;
            thread_ = std::thread([this] { compressionThreadProc(); });
        }
    }
    if (!observers_) {
        observers_ = std::make_unique<DCObserverSet>();
        observers_->add(DCNote::DCWillDisplayImage, [this](const DCNotification &notification) {
            const QVariant image = notification.userInfo.value(DCKey::Image);
            if (image.canConvert<std::shared_ptr<const YuvPlanes>>())
                captureViewWillDisplayImage(image.value<std::shared_ptr<const YuvPlanes>>());
        });
    }
}

void JPEGCompressor::stop() {
    observers_.reset(); // waits for an observer call in progress on another thread
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        running_ = false;
        currentImage_.reset();
        thread = std::move(thread_);
    }
    wake_.notify_all();
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
}

bool JPEGCompressor::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void JPEGCompressor::captureViewWillDisplayImage(std::shared_ptr<const YuvPlanes> image) {
    if (!image) return;
    {
        std::lock_guard lock(mutex_);
        if (!running_) return;
        currentImage_ = std::move(image);
        ++imageGeneration_;
    }
    wake_.notify_one();
}

std::shared_ptr<const JpegFrame> JPEGCompressor::currentFrameData() const {
    std::lock_guard lock(mutex_);
    return currentFrameData_;
}

void JPEGCompressor::setCurrentFrameData(std::shared_ptr<const JpegFrame> frame) {
    std::lock_guard lock(mutex_);
    currentFrameData_ = std::move(frame);
}

std::shared_ptr<const YuvPlanes> JPEGCompressor::currentImage() const {
    std::lock_guard lock(mutex_);
    return currentImage_;
}

void JPEGCompressor::setFrameSink(std::function<void(std::shared_ptr<const JpegFrame>)> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void JPEGCompressor::setFrameInterval(std::chrono::microseconds interval) {
    std::lock_guard lock(mutex_);
    frameInterval_ = interval;
}

void JPEGCompressor::compressionThreadProc() {
    tjhandle handle = tjInitCompress();
    if (!handle) DCLog("JPEGCompressor cannot create a TurboJPEG compressor: %s", tjGetErrorStr2(nullptr));
    std::unique_lock lock(mutex_);
    while (running_) {
        wake_.wait(
            lock, [this] { return !running_ || (currentImage_ && imageGeneration_ != previousGeneration_); });
        if (!running_) break;
        const auto began = std::chrono::steady_clock::now();
        const std::shared_ptr<const YuvPlanes> image = currentImage_;
        previousGeneration_ = imageGeneration_;
        lock.unlock();
        std::shared_ptr<const JpegFrame> frame = handle ? compress(handle, *image, kQuality) : nullptr;
        lock.lock();
        if (frame) {
            currentFrameData_ = frame;
            const auto sink = sink_;
            lock.unlock();
            if (sink) sink(std::move(frame));
            lock.lock();
        }
        // At most one picture per interval; newer pictures wait (and replace each other) meanwhile.
        wake_.wait_until(lock, began + frameInterval_, [this] { return !running_; });
    }
    lock.unlock();
    if (handle) tjDestroy(handle);
}

std::shared_ptr<const JpegFrame> JPEGCompressor::compress(void *handle, const YuvPlanes &image, int quality) {
    const int width = image.width, height = image.height;
    if (width <= 0 || height <= 0 || !image.planes[0] || !image.planes[1] || !image.planes[2]) {
        DCLog("JPEGCompressor skips a frame it cannot compress: %dx%d without its planes", width, height);
        return nullptr;
    }
    // TurboJPEG's bound for the largest possible output: compress straight into it, then keep only
    // the bytes used. The buffer belongs to this thread and is reused for every frame.
    thread_local std::vector<unsigned char> buffer;
    const unsigned long bound = tjBufSize(width, height, TJSAMP_420);
    if (bound == static_cast<unsigned long>(-1)) {
        DCLog("JPEGCompressor skips a frame of impossible size %dx%d", width, height);
        return nullptr;
    }
    if (buffer.size() < bound) buffer.resize(bound);
    unsigned char *output = buffer.data();
    unsigned long size = bound;
    const unsigned char *planes[3] = {image.planes[0], image.planes[1], image.planes[2]};
    int strides[3] = {image.strides[0], image.strides[1], image.strides[2]};
    if (tjCompressFromYUVPlanes(static_cast<tjhandle>(handle), planes, width, strides, height, TJSAMP_420,
                                &output, &size, quality, TJFLAG_NOREALLOC) != 0) {
        DCLog("JPEGCompressor skips a frame it cannot compress: %s",
              tjGetErrorStr2(static_cast<tjhandle>(handle)));
        return nullptr;
    }
    return JpegFrame::make(std::vector<std::uint8_t>(output, output + size));
}
