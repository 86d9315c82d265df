#include "MJPEGStreamer.h"

#include <array>

#include <boost/asio/write.hpp>

#include "HTTPServer.h"
#include "JpegFrame.h"
#include "core/DCLog.h"

namespace asio = boost::asio;

MJPEGStreamer::MJPEGStreamer(Request request, std::string method, std::string url, HeaderFields headerFields,
                             Socket fileHandle, HTTPServer &server)
    : HTTPResponseHandler(std::move(request), std::move(method), std::move(url), std::move(headerFields),
                          std::move(fileHandle), server),
      // A client that arrives between two pictures starts with the newest one.
      pendingImageData_(server.currentFrame()), sendTimeout_(server.activeConfiguration().sendTimeout),
      stallTimer_(server.ioContext()) {}

HTTPResponseHandler::HandlerClass MJPEGStreamer::handlerClass() {
    return {"MJPEGStreamer", priority(), &MJPEGStreamer::canHandleRequest,
            [](Request request, std::string method, std::string url, HeaderFields headerFields,
               Socket fileHandle, HTTPServer &server) -> std::shared_ptr<HTTPResponseHandler> {
                return std::make_shared<MJPEGStreamer>(std::move(request), std::move(method), std::move(url),
                                                       std::move(headerFields), std::move(fileHandle),
                                                       server);
            }};
}

bool MJPEGStreamer::canHandleRequest(const Request &, const std::string &, const std::string &url,
                                     const HeaderFields &) {
    return urlPath(url) == "/stream";
}

const std::string &MJPEGStreamer::responseHeader() {
    // Status line and header end in CR LF; the multipart boundaries use LF alone.
    static const std::string header = std::string("HTTP/1.1 200 OK\r\n") +
                                      "Content-Type: multipart/x-mixed-replace; boundary=\"" + kBoundary +
                                      "\"\r\n\r\n" + "--" + kBoundary + "\n";
    return header;
}

std::string MJPEGStreamer::partHeader(std::size_t jpegBytes) {
    // Earlier instances of this program skip a part's header up to its first empty line, and so
    // never see the length; readers that look for CR LF before each boundary (ffmpeg's and those
    // built on it) find nothing without it, as the boundaries here follow a bare LF.
    return "Content-Type: image/jpeg\nContent-Length: " + std::to_string(jpegBytes) + "\n\n";
}

const std::string &MJPEGStreamer::boundaryData() {
    static const std::string data = std::string("\n--") + kBoundary + "\n";
    return data;
}

void MJPEGStreamer::startResponse() {
    startWrite(asio::buffer(responseHeader()));
}

template <class Buffers> void MJPEGStreamer::startWrite(const Buffers &buffers) {
    writing_ = true;
    writtenSoFar_ = 0;
    lastProgress_ = Clock::now();
    watchForStall();
    const std::size_t total = asio::buffer_size(buffers);
    // The whole write in one system call when the kernel takes it (Asio's default is 64 KiB per call).
    // Called after every call: whatever the client took counts as progress.
    const auto untilDone = [this, total](const boost::system::error_code &error,
                                         std::size_t written) -> std::size_t {
        if (error) return 0;
        if (written > writtenSoFar_) {
            writtenSoFar_ = written;
            lastProgress_ = Clock::now();
        }
        return total - written;
    };
    asio::async_write(fileHandle(), buffers, untilDone,
                      [self = std::static_pointer_cast<MJPEGStreamer>(shared_from_this())](
                          const boost::system::error_code &error, std::size_t) { self->onWrite(error); });
}

void MJPEGStreamer::offerFrame(const std::shared_ptr<const JpegFrame> &frame) {
    if (ended_ || !frame || frame == previousImageData_) return;
    pendingImageData_ = frame; // an older picture still waiting is dropped: only the newest counts
    if (!writing_) writeNext();
}

void MJPEGStreamer::writeNext() {
    if (!pendingImageData_ || pendingImageData_ == previousImageData_) {
        pendingImageData_.reset();
        return;
    }
    previousImageData_ = std::move(pendingImageData_);
    pendingImageData_.reset();
    partHeader_ = partHeader(previousImageData_->size());
    // One gather write per part: header, picture, boundary.
    startWrite(std::array<asio::const_buffer, 3>{
        asio::buffer(partHeader_), asio::buffer(previousImageData_->data(), previousImageData_->size()),
        asio::buffer(boundaryData())});
}

void MJPEGStreamer::onWrite(const boost::system::error_code &error) {
    writing_ = false;
    if (ended_) return;
    if (error) {
        DCLog("fileHandle closed: %s", error.message().c_str());
        close();
        return;
    }
    writeNext();
}

// One timer per client, armed only while a write is under way and moved on lazily: a client that
// keeps reading costs one wake-up per time-out period, not one per write.
void MJPEGStreamer::watchForStall() {
    if (stallTimerArmed_ || sendTimeout_ <= std::chrono::milliseconds::zero()) return;
    stallTimerArmed_ = true;
    stallTimer_.expires_at(lastProgress_ + sendTimeout_);
    stallTimer_.async_wait([self = std::static_pointer_cast<MJPEGStreamer>(shared_from_this())](
                               const boost::system::error_code &error) { self->onStallTimer(error); });
}

void MJPEGStreamer::onStallTimer(const boost::system::error_code &error) {
    stallTimerArmed_ = false;
    if (error || ended_ || !writing_) return;
    if (Clock::now() - lastProgress_ < sendTimeout_) {
        watchForStall();
        return;
    }
    // Its socket buffers are full and it reads nothing: a viewer that has gone without closing, or
    // one holding a place on purpose.
    DCLog("%s: the client has taken no byte for %lld ms; dropping it", qUtf8Printable(description()),
          static_cast<long long>(sendTimeout_.count()));
    close();
}

void MJPEGStreamer::endResponse() {
    if (!ended_) DCLog("%s end response", qUtf8Printable(description()));
    ended_ = true;
    pendingImageData_.reset();
    stallTimer_.cancel();
    HTTPResponseHandler::endResponse();
}

QString MJPEGStreamer::description() const {
    return QStringLiteral("<MJPEGStreamer: 0x%1>").arg(reinterpret_cast<quintptr>(this), 0, 16);
}
