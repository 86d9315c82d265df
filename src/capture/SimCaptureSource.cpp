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
    : ThreadedCaptureSource(4, QStringLiteral("Connect the camera again and try once more.")),
      device_(std::move(device)), modelName_(std::move(modelName)), options_(std::move(options)) {
    error_ = QStringLiteral("The camera is not connected."); // the one way a simulated camera fails
}

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

bool SimCaptureSource::start(QSize size, FrameCallback callback) {
    stop();
    std::lock_guard lock(mutex_);
    if (!opened_ || device_->vanished()) return false;
    size_ = size;
    startDelivery(std::move(callback), [this] { run(); });
    return true;
}

void SimCaptureSource::stop() {
    stopDelivery();
}

bool SimCaptureSource::setResolution(QSize size) {
    std::lock_guard lock(mutex_);
    size_ = size;
    return true;
}

void SimCaptureSource::run() {
    std::unique_ptr<DemoPageRenderer> renderer;
    JpegDecoder checker;
    std::vector<uint8_t> scratch;
    quint32 number = 0;
    size_t highWater = 0;
    auto due = std::chrono::steady_clock::now();
    while (options_.paced ? waitUntil(due) : !stopRequested()) {
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
            dropFrame(why);
            continue;
        }
        std::shared_ptr<uint8_t[]> buffer = pool().acquire(mjpegBufferSize(jpeg.size(), highWater));
        std::memcpy(buffer.get(), jpeg.data(), jpeg.size());
        const std::span<const uint8_t> bytes(buffer.get(), jpeg.size());
        deliver(Frame::fromJpeg(bytes, size, std::shared_ptr<const void>(buffer, buffer.get())));
    }
}
