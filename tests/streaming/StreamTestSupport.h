#pragma once

// Loopback peers, pictures and DNS-SD views shared by the streaming tests; every wait is bounded.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <QList>
#include <QString>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <gtest/gtest.h>

#include "streaming/HTTPServer.h"
#include "streaming/JpegFrame.h"

using Bytes = std::vector<std::uint8_t>;

// A loopback port nothing listens on (free when asked).
unsigned short freePort();

// A plain blocking TCP client (IPv4 or IPv6 literal host).
class ServerTestClient {
public:
    explicit ServerTestClient(std::uint16_t port, const char *host = "127.0.0.1", int receiveBuffer = 0);
    ~ServerTestClient() { close(); }
    ServerTestClient(const ServerTestClient &) = delete;
    ServerTestClient &operator=(const ServerTestClient &) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send(std::string_view bytes) { return sendWhatFits(bytes, std::chrono::seconds(5)) == bytes.size(); }
    // Sends as much of `bytes` as the peer takes within `timeout`; answers the count sent.
    std::size_t sendWhatFits(std::string_view bytes, std::chrono::milliseconds timeout);
    // Reads until `done(received())` holds, the peer closes, or `timeout` passes. Answers done().
    bool readUntil(const std::function<bool(const std::string &)> &done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool readAtLeast(std::size_t bytes, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool readUntilContains(std::string_view text,
                           std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // True when the peer has closed within `timeout` (everything sent before is in received()).
    bool readUntilClosed(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    const std::string &received() const { return received_; }
    bool peerClosed() const { return peerClosed_; }
    void close();

private:
    int fd_ = -1;
    std::string received_;
    bool peerClosed_ = false;
};

// "GET <path> HTTP/1.1" with a Host field and the empty line.
std::string getRequest(std::string_view path);
// True when the server at `port` answers "/" with 200 and closes.
bool servesThePage(std::uint16_t port);

// Our server's stream: the response head with the first boundary, and the part of each picture.
inline const std::string kStreamHead =
    "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=\"ca3cdghdujhihal3\"\r\n\r\n"
    "--ca3cdghdujhihal3\n";
std::string streamPart(const JpegFrame &frame);
// A JPEG-shaped picture (start and end markers) whose bytes tell it apart from others.
std::shared_ptr<const JpegFrame> jpegShaped(int number, std::size_t size = 1000);

// A server on a free port, started for each test.
class RunningServer : public ::testing::Test {
protected:
    void SetUp() override { startServer(); }
    void TearDown() override { server_->stop(); }
    void startServer(HTTPServer::Configuration configuration = {.port = 0});
    // A client that has asked for the stream.
    std::unique_ptr<ServerTestClient> connectStream(int receiveBuffer = 0);
    // Waits until the server has this many connections (requests being read or responses running).
    bool clientsAre(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5));
    bool servesThePage() const { return ::servesThePage(server_->port()); }

    std::unique_ptr<HTTPServer> server_;
};

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
// "HTTP/1.0 200 OK" with this Content-Type; the body then runs up to the close.
std::string http10Head(const std::string &contentType);
// Pseudo-random bytes.
std::string garbage(int size);

// An HTTP server on 127.0.0.1 that records each request head and runs a script on its connection, one
// thread per connection (at most 64).
class ReplayServer {
public:
    // Answers false once the peer has gone or the server is being destroyed; send({}) only asks.
    using Send = std::function<bool(std::string_view)>;
    using Script = std::function<void(const Send &send)>;

    explicit ReplayServer(Script script);
    ~ReplayServer();
    unsigned short port() const { return port_; }
    std::string url(const std::string &path = "/stream") const;
    std::string request() const; // the newest request head
    std::uint64_t bytesSent() const { return sent_; }
    bool done() const { return done_; } // a script has finished
    int connectionCount() const { return connections_; }

private:
    void acceptLoop();
    void serve(boost::asio::ip::tcp::socket socket);

    boost::asio::io_context ioc_;
    boost::asio::ip::tcp::acceptor acceptor_;
    unsigned short port_ = 0;
    Script script_;
    mutable std::mutex mutex_;
    std::string request_;
    std::atomic<bool> stopping_{false}, done_{false};
    std::atomic<int> connections_{0};
    std::atomic<std::uint64_t> sent_{0};
    std::list<std::thread> threads_; // the accept thread's, joined by the destructor
    std::thread acceptThread_;
};

// Pictures as the end-to-end tests compare them: decoded to RGB, told apart by their mean difference,
// so a re-encoded copy of a picture counts as the same picture.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // 3 bytes per pixel, top row first
};
std::optional<RgbPicture> decodeJpeg(const Bytes &jpeg);
std::optional<RgbPicture> decodeJpegFile(const std::string &path);
// Mean absolute difference per channel (0..255) of two pictures of one size.
double meanDifference(const RgbPicture &a, const RgbPicture &b);
// The first image of the MJPEG stream at `url`, or nothing within `limit`.
std::optional<Bytes> firstStreamImage(const std::string &url, std::chrono::milliseconds limit);

// What the real avahi-daemon (inside tools/dnssd-netns.sh) knows: resolved IPv4 entries of
// `avahi-browse -rpt` for `type` (without the trailing dot).
struct BrowseLine {
    QString name, address;
    int port = 0;
};
QList<BrowseLine> avahiBrowse(const QString &type);
// Both of our service types, each seen once under one name; or neither of them.
std::optional<std::pair<BrowseLine, BrowseLine>> bothServicesSeen();
bool noServiceSeen();
