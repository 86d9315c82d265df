#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

using Bytes = std::vector<std::uint8_t>;

// A real JPEG (baseline, 4:2:0) of a pattern that differs with `seed`.
Bytes makeJpeg(int width, int height, int seed, int quality = 80);
std::string asString(const Bytes &bytes);

// A recorded stream body in one of the framings real servers use, and the images inside it.
struct Capture {
    std::string name;
    std::string contentType; // the response's Content-Type
    std::string body;
    std::vector<Bytes> frames;
};
// Every framing the client must read; each capture holds `frameCount` distinct frames.
std::vector<Capture> makeCaptures(int frameCount);

// Cuts `body` into pieces whose sizes cycle through `sizes`.
std::vector<std::string_view> piecesOf(std::string_view body, const std::vector<std::size_t> &sizes);
// HTTP/1.1 chunked encoding of `body` with chunks cut at odd sizes.
std::string chunked(std::string_view body);

// A one-connection HTTP server on 127.0.0.1 that records the request and then runs a script on the socket.
class ReplayServer {
public:
    // `send` answers false once the peer has gone.
    using Send = std::function<bool(std::string_view)>;
    using Script = std::function<void(const Send &send)>;

    explicit ReplayServer(Script script);
    ~ReplayServer();
    unsigned short port() const { return port_; }
    std::string url(const std::string &path = "/stream") const;
    // The request head as received (valid once the script has started).
    std::string request() const;
    std::uint64_t bytesSent() const { return sent_; }
    bool done() const { return done_; }

private:
    void serve();

    boost::asio::io_context ioc_;
    boost::asio::ip::tcp::acceptor acceptor_;
    unsigned short port_ = 0;
    Script script_;
    std::string request_;
    std::atomic<bool> accepted_{false};
    std::atomic<bool> started_{false};
    std::atomic<bool> done_{false};
    std::atomic<std::uint64_t> sent_{0};
    std::thread thread_;
};

// "HTTP/1.0 200 OK" with this Content-Type, then the body is sent up to the close.
std::string http10Head(const std::string &contentType);
