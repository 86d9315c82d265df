#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <QByteArray>

#include "capture/CaptureSource.h"
#include "capture/Frame.h"

// A capture source the test drives by hand: it opens when told, counts starts and stops, and hands
// the test's frames to the controller's callback on the calling thread.
class ScriptedSource : public CaptureSource {
public:
    struct Counters {
        std::atomic<int> opens{0};
        std::atomic<int> starts{0};
        std::atomic<int> stops{0};
        std::atomic<int> failOpens{0}; // this many opens fail first
        std::vector<QSize> sizes;
        std::mutex mutex;
        CaptureSource::FrameCallback callback;
        bool running = false;

        void deliver(const std::shared_ptr<const Frame> &frame) {
            CaptureSource::FrameCallback cb;
            {
                std::lock_guard lock(mutex);
                if (!running) return;
                cb = callback;
            }
            cb(frame);
        }
    };

    explicit ScriptedSource(std::shared_ptr<Counters> counters) : c_(std::move(counters)) {}
    bool open() override { return ++c_->opens > c_->failOpens.load(); }
    void close() override {}
    bool start(QSize size, FrameCallback callback) override {
        std::lock_guard lock(c_->mutex);
        ++c_->starts;
        c_->sizes.push_back(size);
        c_->callback = std::move(callback);
        c_->running = true;
        return true;
    }
    void stop() override {
        std::lock_guard lock(c_->mutex);
        ++c_->stops;
        c_->running = false;
    }
    bool setResolution(QSize size) override {
        std::lock_guard lock(c_->mutex);
        c_->sizes.push_back(size);
        return true;
    }
    bool isRunning() const override {
        std::lock_guard lock(c_->mutex);
        return c_->running;
    }
    QString errorDescription() const override { return QStringLiteral("busy"); }
    QString recoverySuggestion() const override { return QStringLiteral("close the other program"); }

private:
    std::shared_ptr<Counters> c_;
};

// A JPEG-declared frame of `size` (its bytes are never decoded by the hook).
inline std::shared_ptr<const Frame> fakeFrame(QSize size) {
    return Frame::fromJpeg(QByteArray("\xff\xd8\xff\xd9", 4), size);
}
