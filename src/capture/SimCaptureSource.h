#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "capture/ThreadedCaptureSource.h"

class SimCamera;

// The video side of a simulated camera: the demo page (moving parts, frame counter, model name) at
// the selected size and at the model's frame rate, delivered as the JPEG bytes an MJPEG camera sends,
// on a thread of its own. Buffers come from a pool. The stream ends by itself when the device vanishes.
class SimCaptureSource : public ThreadedCaptureSource {
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

private:
    void run();

    std::shared_ptr<SimCamera> device_;
    QString modelName_;
    Options options_;
    // Guarded by mutex_.
    bool opened_ = false;
    QSize size_;
};
