#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <QUrl>

#include "capture/JpegDecoder.h"
#include "streaming/MJPEGStreamSplitter.h"

// Plays an MJPEG stream from an HTTP URL: connects, cuts the body into JPEG images and hands each one,
// and optionally its decoded picture, to the handlers. This is the engine behind a stream view; it owns
// no widget.
//
// Every stream runs on a thread of its own (one per start()), and the handlers are called on it, in
// stream order. User name and password in the URL are sent as Basic authentication. The stream ends on
// its own when the server closes it, on a connection failure, an HTTP error status, a time-out while
// connecting or a receive buffer over its bound: failures are logged as "Error: ..." and nothing is
// retried.
//
// start() and stop() may be called from any thread, also from a handler. Once stop() returns (called
// from any other thread than the stream's), no handler runs any more; so a handler must not wait for
// the thread that calls stop().
class MJPEGStreamClient {
public:
    using Part = MJPEGStreamSplitter::Part;
    // Each complete JPEG image as received.
    using PartHandler = std::function<void(const Part &)>;
    // Each picture that decodes; the picture's pixels are valid during the call only.
    using PictureHandler = std::function<void(const DecodedPicture &, const Part &)>;
    // The stream ended by itself (not by stop()): `error` is empty when the server closed it normally.
    using EndHandler = std::function<void(const std::string &error)>;

    static constexpr std::chrono::milliseconds kConnectTimeout{5000};

    MJPEGStreamClient();
    ~MJPEGStreamClient();
    MJPEGStreamClient(const MJPEGStreamClient &) = delete;
    MJPEGStreamClient &operator=(const MJPEGStreamClient &) = delete;

    // Settings are taken by start(); changing them affects the next start.
    void setStreamURL(const QUrl &url);
    QUrl streamURL() const;
    void setPartHandler(PartHandler handler);
    void setPictureHandler(PictureHandler handler,
                           DecodedPicture::Format format = DecodedPicture::Format::YUV);
    void setEndHandler(EndHandler handler);
    void setConnectTimeout(std::chrono::milliseconds timeout);

    // Starts the stream unless one is running. Returns at once.
    void start();
    // Ends the stream and drops its buffered bytes. Harmless when none runs.
    void stop();
    // True from start() until the stream has ended or stop() was called.
    bool isRunning() const;

private:
    class Session;
    struct Settings {
        QUrl url;
        PartHandler onPart;
        PictureHandler onPicture;
        DecodedPicture::Format format = DecodedPicture::Format::YUV;
        EndHandler onEnd;
        std::chrono::milliseconds connectTimeout = kConnectTimeout;
    };

    mutable std::mutex mutex_;
    Settings settings_;                // guarded by mutex_
    std::unique_ptr<Session> session_; // guarded by mutex_
    std::thread thread_;               // guarded by mutex_
};
