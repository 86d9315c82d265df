#include "JPEGCompressor.h"

#include "FrameJpegEncoder.h"
#include "HTTPServer.h"
#include "JpegFrame.h"
#include "core/DCVocabulary.h"
#include "core/SharedInstance.h"

JPEGCompressor &JPEGCompressor::sharedJPEGCompressor() {
    if (JPEGCompressor *compressor = SharedInstance<JPEGCompressor>::get()) return *compressor;
    qFatal("No JPEG compressor is installed; the application core makes and installs it");
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
            if (image.canConvert<FramePointer>()) captureViewWillDisplayImage(image.value<FramePointer>());
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

void JPEGCompressor::captureViewWillDisplayImage(FramePointer image) {
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

FramePointer JPEGCompressor::currentImage() const {
    std::lock_guard lock(mutex_);
    return currentImage_;
}

void JPEGCompressor::setWanted(bool wanted) {
    {
        std::lock_guard lock(mutex_);
        if (wanted == wanted_) return;
        wanted_ = wanted;
        // The picture kept meanwhile (or the last one compressed, which the server may have forgotten)
        // is the first one wanted.
        if (wanted) previousGeneration_ = imageGeneration_ - 1;
    }
    wake_.notify_all();
}

void JPEGCompressor::compressOnlyWhileWatched(HTTPServer &server) {
    server.setStreamClientsHandler([this, &server](std::size_t clients) {
        setWanted(clients > 0);
        if (clients == 0) server.forgetCurrentFrame();
    });
    setWanted(server.streamClientCount() > 0);
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
    FrameJpegEncoder encoder(kQuality);
    std::unique_lock lock(mutex_);
    while (running_) {
        wake_.wait(lock, [this] {
            return !running_ || (wanted_ && currentImage_ && imageGeneration_ != previousGeneration_);
        });
        if (!running_) break;
        const auto began = std::chrono::steady_clock::now();
        FramePointer image = currentImage_;
        previousGeneration_ = imageGeneration_;
        lock.unlock();
        std::shared_ptr<const JpegFrame> frame = encoder.encode(*image);
        image.reset(); // the camera's buffer goes back as soon as it is no longer needed
        lock.lock();
        if (frame) {
            currentFrameData_ = frame;
            // Under the lock, so that a picture nobody wants any more is not published after
            // setWanted(false) has returned.
            if (sink_ && wanted_) sink_(std::move(frame));
        }
        // At most one picture per interval; newer pictures wait (and replace each other) meanwhile.
        wake_.wait_until(lock, began + frameInterval_, [this] { return !running_; });
    }
}
