#pragma once

#include <functional>
#include <memory>

#include <QSize>
#include <QString>

class Frame;

// Where the live picture of a USB camera comes from: a video device opened for streaming. Frames are
// delivered on the source's own thread to the callback given to start(); the callback must be quick.
// A device that goes away ends the stream by itself (isRunning() stays as the owner left it, so a
// watchdog notices the silence and starts it again).
class CaptureSource {
public:
    using FrameCallback = std::function<void(std::shared_ptr<const Frame>)>;

    virtual ~CaptureSource() = default;

    // Opens the device. False with errorDescription() / recoverySuggestion() set.
    virtual bool open() = 0;
    virtual void close() = 0;
    // Starts streaming at `size` (the nearest size the device offers). False, logged, on failure.
    virtual bool start(QSize size, FrameCallback callback) = 0;
    // Stops streaming; returns when the callback is no longer running. The device stays open.
    virtual void stop() = 0;
    // Changes the size while streaming (or for the next start).
    virtual bool setResolution(QSize size) = 0;
    // Streaming was started and not stopped.
    virtual bool isRunning() const = 0;

    virtual QString errorDescription() const { return {}; }
    virtual QString recoverySuggestion() const { return {}; }
};
