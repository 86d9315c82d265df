#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/CaptureSource.h"

class PixelBufferPool;
class SimCamera;

// The video side of a simulated camera: the demo page (moving parts, frame counter, model name) at
// the selected size and at the model's frame rate, delivered as the JPEG bytes an MJPEG camera sends,
// on a thread of its own. Buffers come from a pool. The stream ends by itself when the device vanishes.
class SimCaptureSource : public CaptureSource {
public:
    struct Options {
        // False delivers frames as fast as they are made (tests).
        bool paced = true;
        // Sees (and may spoil) each frame's bytes before the source checks them (tests).
        std::function<void(std::vector<uint8_t> &)> mangle;
    };

    // 30 frames a second up to 1280 x 960, 15 above, as the maker's cameras do.
    static int framesPerSecond(QSize size);

    SimCaptureSource(std::shared_ptr<SimCamera> device, QString modelName);
    SimCaptureSource(std::shared_ptr<SimCamera> device, QString modelName, Options options);
    ~SimCaptureSource() override;

    bool open() override;
    void close() override;
    bool start(QSize size, FrameCallback callback) override;
    void stop() override;
    bool setResolution(QSize size) override;
    bool isRunning() const override;
    QString errorDescription() const override;
    QString recoverySuggestion() const override;

    // Buffers the pool had to make (flat in a steady stream).
    size_t bufferAllocations() const;
    // Frames dropped because their bytes were not a whole picture.
    uint64_t droppedFrames() const { return dropped_.load(); }

private:
    void run(FrameCallback callback);
    bool waitForNextFrame(std::chrono::steady_clock::time_point due);

    std::shared_ptr<SimCamera> device_;
    QString modelName_;
    Options options_;
    std::shared_ptr<PixelBufferPool> pool_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;
    bool running_ = false;
    bool opened_ = false;
    QSize size_;
    std::thread thread_;
    std::atomic<uint64_t> dropped_{0};
};
