#include "capture/SimCaptureSource.h"

#include <cstring>
#include <span>

#include "capture/DemoPageRenderer.h"
#include "capture/Frame.h"
#include "capture/JpegDecoder.h"
#include "capture/MjpegFrameCheck.h"
#include "capture/PixelBufferPool.h"
#include "core/DCLog.h"
#include "devices/sim/SimCamera.h"

int SimCaptureSource::framesPerSecond(QSize size) {
    return qint64(size.width()) * size.height() <= 1280 * 960 ? 30 : 15;
}

SimCaptureSource::SimCaptureSource(std::shared_ptr<SimCamera> device, QString modelName)
    : SimCaptureSource(std::move(device), std::move(modelName), Options{}) {}

SimCaptureSource::SimCaptureSource(std::shared_ptr<SimCamera> device, QString modelName, Options options)
    : device_(std::move(device)), modelName_(std::move(modelName)), options_(std::move(options)),
      pool_(PixelBufferPool::create(4)) {}

SimCaptureSource::~SimCaptureSource() {
    stop();
}

bool SimCaptureSource::open() {
    std::lock_guard lock(mutex_);
    opened_ = !device_->vanished();
    return opened_;
}

void SimCaptureSource::close() {
    stop();
    std::lock_guard lock(mutex_);
    opened_ = false;
}

QString SimCaptureSource::errorDescription() const {
    return QStringLiteral("The camera is not connected.");
}
QString SimCaptureSource::recoverySuggestion() const {
    return QStringLiteral("Connect the camera again and try once more.");
}

bool SimCaptureSource::start(QSize size, FrameCallback callback) {
    stop();
    std::lock_guard lock(mutex_);
    if (!opened_ || device_->vanished()) return false;
    size_ = size;
    stopRequested_ = false;
    running_ = true;
    thread_ = std::thread([this, callback = std::move(callback)] { run(callback); });
    return true;
}

void SimCaptureSource::stop() {
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
        running_ = false;
        thread = std::move(thread_);
    }
    wake_.notify_all();
    if (thread.joinable()) thread.join();
}

bool SimCaptureSource::setResolution(QSize size) {
    {
        std::lock_guard lock(mutex_);
        size_ = size;
    }
    wake_.notify_all();
    return true;
}

bool SimCaptureSource::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

size_t SimCaptureSource::bufferAllocations() const {
    return pool_->allocations();
}

bool SimCaptureSource::waitForNextFrame(std::chrono::steady_clock::time_point due) {
    std::unique_lock lock(mutex_);
    if (options_.paced) wake_.wait_until(lock, due, [this] { return stopRequested_; });
    return !stopRequested_;
}

void SimCaptureSource::run(FrameCallback callback) {
    std::unique_ptr<DemoPageRenderer> renderer;
    JpegDecoder checker;
    std::vector<uint8_t> scratch;
    quint32 number = 0;
    size_t highWater = 0;
    auto due = std::chrono::steady_clock::now();
    while (waitForNextFrame(due)) {
        if (device_->vanished()) {
            DCLog("simulated camera gone; stream ended");
            return;
        }
        QSize size;
        {
            std::lock_guard lock(mutex_);
            size = size_;
        }
        if (!renderer || renderer->size() != size) {
            renderer = std::make_unique<DemoPageRenderer>(modelName_, size);
            if (renderer->size() != size) {
                DCLog("simulated camera cannot make %dx%d pictures; stream ended", size.width(),
                      size.height());
                return;
            }
        }
        due += std::chrono::microseconds(1000000 / framesPerSecond(size));
        std::span<const uint8_t> jpeg = renderer->render(number++);
        if (options_.mangle) {
            scratch.assign(jpeg.begin(), jpeg.end());
            options_.mangle(scratch);
            jpeg = scratch;
        }
        QString why;
        if (!checkMjpegFrame(checker, jpeg, size, &why)) {
            if (dropped_.fetch_add(1) == 0 || dropped_.load() % 100 == 0)
                DCLog("frame dropped (%llu so far): %s", static_cast<unsigned long long>(dropped_.load()),
                      qUtf8Printable(why));
            continue;
        }
        std::shared_ptr<uint8_t[]> buffer = pool_->acquire(mjpegBufferSize(jpeg.size(), highWater));
        std::memcpy(buffer.get(), jpeg.data(), jpeg.size());
        const std::span<const uint8_t> bytes(buffer.get(), jpeg.size());
        callback(Frame::fromJpeg(bytes, size, std::shared_ptr<const void>(buffer, buffer.get())));
    }
}
