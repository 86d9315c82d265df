#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "capture/FramePointer.h"
#include "core/DCNotificationCenter.h"

class HTTPServer;
class JpegFrame;

// Keeps the newest picture of the live stream compressed as JPEG (quality 60), once per new picture
// and at most about thirty times a second, on a thread of its own. A picture is a live frame as the
// capture pipeline displays it (its zoom and mirroring rendered). Pictures that arrive faster are
// skipped: only the newest counts. Each new JPEG is stored as currentFrameData and handed to the
// frame sink (the HTTP server's publishFrame).
//
// Rendering and compressing a large picture takes several milliseconds, many times a second, so it is
// done only while somebody wants the pictures (setWanted; for the shared server, while it has stream
// clients). Meanwhile the newest picture is only kept, and it is compressed as soon as it is wanted.
//
// Thread-safe: pictures arrive on the capture thread, start() and stop() come from the server thread.
class JPEGCompressor {
public:
    static constexpr int kQuality = 60;
    static constexpr std::chrono::microseconds kDefaultFrameInterval{33'333};

    // The process-wide compressor, which the application core makes and installs
    // (SharedInstance<JPEGCompressor>); calling this while none is installed is a programming error.
    static JPEGCompressor &sharedJPEGCompressor();

    JPEGCompressor();
    ~JPEGCompressor();
    JPEGCompressor(const JPEGCompressor &) = delete;
    JPEGCompressor &operator=(const JPEGCompressor &) = delete;

    // Starts the thread if it is not running and listens to "DCWillDisplayImage".
    void start();
    // Stops listening and the thread, forgets the waiting picture; currentFrameData stays.
    void stop();
    bool isRunning() const;

    // A new picture to compress (any thread). Ignored while stopped.
    void captureViewWillDisplayImage(FramePointer image);

    std::shared_ptr<const JpegFrame> currentFrameData() const;
    void setCurrentFrameData(std::shared_ptr<const JpegFrame> frame);
    FramePointer currentImage() const;

    // Whether anybody wants the pictures (initially yes). When it returns, no sink call that began
    // before it is still running.
    void setWanted(bool wanted);
    // From now on wanted exactly while `server` has stream clients; when the last one leaves the
    // server also forgets its current picture, which would only grow old. The server must outlive
    // this compressor's use of it (the shared ones are never destroyed).
    void compressOnlyWhileWatched(HTTPServer &server);

    // Called on the compressor thread with every new JPEG, under the compressor's lock: it must not
    // block, nor call back into the compressor.
    void setFrameSink(std::function<void(std::shared_ptr<const JpegFrame>)> sink);
    // Shortest time from the start of one compression to the next (tests and benchmarks shorten it).
    void setFrameInterval(std::chrono::microseconds interval);

private:
    void compressionThreadProc();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<const JpegFrame> currentFrameData_;
    FramePointer currentImage_;
    std::uint64_t imageGeneration_ = 0;    // counts pictures received; tells a new one from the last
    std::uint64_t previousGeneration_ = 0; // the picture last compressed (or skipped)
    bool running_ = false;
    bool wanted_ = true;
    std::function<void(std::shared_ptr<const JpegFrame>)> sink_;
    std::chrono::microseconds frameInterval_ = kDefaultFrameInterval;
    std::thread thread_;
    std::unique_ptr<DCObserverSet> observers_;
};
