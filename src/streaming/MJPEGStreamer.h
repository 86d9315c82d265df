#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include <boost/asio/steady_timer.hpp>

#include "HTTPResponseHandler.h"

// The live stream "/stream": an endless multipart/x-mixed-replace response whose parts are the
// pictures published to the server, each sent once. Writing is asynchronous on the server thread:
// a client still busy with one picture is given only the newest when it is done, so a client holds
// at most the picture it is writing and one waiting (both shared with every other client). A client
// that takes no byte of a write for the server's send time-out is dropped; one that merely has
// nothing to read (no new picture) is not.
class MJPEGStreamer : public HTTPResponseHandler {
public:
    static constexpr const char *kBoundary = "ca3cdghdujhihal3";

    MJPEGStreamer(Request request, std::string method, std::string url, HeaderFields headerFields,
                  Socket fileHandle, HTTPServer &server);

    static HandlerClass handlerClass();
    static unsigned priority() { return 0; }
    static bool canHandleRequest(const Request &request, const std::string &method, const std::string &url,
                                 const HeaderFields &headerFields);

    // The bytes before the first part, and the bytes around each picture.
    static const std::string &responseHeader();
    static std::string partHeader(std::size_t jpegBytes);
    static const std::string &boundaryData();

    void startResponse() override;
    void endResponse() override;
    void offerFrame(const std::shared_ptr<const JpegFrame> &frame) override;
    bool takesFrames() const override { return true; }
    QString description() const override;

private:
    using Clock = std::chrono::steady_clock;

    template <class Buffers> void startWrite(const Buffers &buffers);
    void writeNext();
    void onWrite(const boost::system::error_code &error);
    void watchForStall();
    void onStallTimer(const boost::system::error_code &error);

    std::shared_ptr<const JpegFrame> previousImageData_; // being written, or the last one written
    std::shared_ptr<const JpegFrame> pendingImageData_;  // the newest not yet started
    std::string partHeader_;                             // of the part being written
    bool writing_ = false;
    bool ended_ = false;

    const std::chrono::milliseconds sendTimeout_;
    boost::asio::steady_timer stallTimer_;
    bool stallTimerArmed_ = false;
    Clock::time_point lastProgress_; // the last time the client took bytes, or a write began
    std::size_t writtenSoFar_ = 0;   // of the write in progress
};
