#include "IncomingRequest.h"

#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>

#include "HTTPServer.h"
#include "core/DCLog.h"

namespace asio = boost::asio;
namespace http = boost::beast::http;

namespace {
// Room for the whole header plus what one read may bring beyond it; the parser's own limit answers
// first, this only keeps the buffer from growing with a peer that ignores it.
constexpr std::size_t kReadSlack = 4096;
} // namespace

IncomingRequest::IncomingRequest(asio::ip::tcp::socket socket, HTTPServer &server, std::size_t maxHeaderBytes,
                                 std::chrono::milliseconds headerTimeout)
    : socket_(std::move(socket)), server_(&server), buffer_(maxHeaderBytes + kReadSlack),
      timer_(socket_.get_executor()), headerTimeout_(headerTimeout) {
    configure(parser_, maxHeaderBytes);
}

void IncomingRequest::configure(Parser &parser, std::size_t maxHeaderBytes) {
    parser.header_limit(static_cast<std::uint32_t>(maxHeaderBytes));
    parser.eager(false);
}

std::string IncomingRequest::headerTooLargeResponse() {
    static const std::string body = "<html><head><title>431 - Request Header Fields Too Large</title></head>"
                                    "<body><h1>431 - Request Header Fields Too Large</h1></body></html>";
    return "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Type: text/html\r\nConnection: close\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

void IncomingRequest::begin() {
    timer_.expires_after(headerTimeout_);
    timer_.async_wait(
        [self = shared_from_this()](const boost::system::error_code &error) { self->onTimeout(error); });
    http::async_read_header(socket_, buffer_, parser_,
                            [self = shared_from_this()](const boost::system::error_code &error, std::size_t) {
                                self->onRead(error);
                            });
}

void IncomingRequest::close() {
    finished_ = true;
    timer_.cancel();
    boost::system::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
}

void IncomingRequest::onTimeout(const boost::system::error_code &error) {
    if (error || finished_) return;
    DCLog("Closing a connection whose request header did not arrive within %lld ms",
          static_cast<long long>(headerTimeout_.count()));
    server_->stopReceiving(this, true);
}

void IncomingRequest::onRead(const boost::system::error_code &error) {
    if (finished_) return;
    if (!error) {
        finished_ = true;
        timer_.cancel();
        server_->requestDidComplete(shared_from_this());
        return;
    }
    if (error == http::error::header_limit || error == http::error::buffer_overflow) {
        refuseOversizedHeader();
        return;
    }
    // The peer left before its header was complete, or sent something that is not HTTP.
    if (error != asio::error::eof && error != http::error::end_of_stream &&
        error != asio::error::operation_aborted)
        DCLog("Closing a connection whose request cannot be read: %s", error.message().c_str());
    server_->stopReceiving(this, true);
}

void IncomingRequest::refuseOversizedHeader() {
    DCLog("Refusing a request header longer than %u bytes",
          static_cast<unsigned>(buffer_.max_size() - kReadSlack));
    // The header time-out stays armed: a peer that reads nothing cannot hold the connection open.
    auto response = std::make_shared<const std::string>(headerTooLargeResponse());
    asio::async_write(socket_, asio::buffer(*response),
                      [self = shared_from_this(), response](const boost::system::error_code &, std::size_t) {
                          self->server_->stopReceiving(self.get(), true);
                      });
}
