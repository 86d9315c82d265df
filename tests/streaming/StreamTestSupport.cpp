#include "StreamTestSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <iterator>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <sys/socket.h>

#include <QUrl>

#include <boost/asio/read_until.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include "streaming/MJPEGStreamClient.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

unsigned short freePort() {
    asio::io_context ioc;
    return tcp::acceptor(ioc, {asio::ip::address_v4::loopback(), 0}).local_endpoint().port();
}

namespace {
int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}
} // namespace

ServerTestClient::ServerTestClient(std::uint16_t port, const char *host, int receiveBuffer) {
    boost::system::error_code ec;
    const tcp::endpoint peer(asio::ip::make_address(host, ec), port);
    fd_ = ec ? -1 : ::socket(peer.protocol().family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd_, peer.data(), static_cast<socklen_t>(peer.size())) == 0)
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    else
        close();
}

void ServerTestClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::size_t ServerTestClient::sendWhatFits(std::string_view bytes, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, remainingMs(deadline)) <= 0) break;
    }
    return sent;
}

bool ServerTestClient::readUntil(const std::function<bool(const std::string &)> &done,
                                 std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    char buffer[65536];
    while (fd_ >= 0 && !done(received_) && !peerClosed_) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            received_.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            peerClosed_ = true;
            break;
        }
        const int left = remainingMs(deadline);
        pollfd p{fd_, POLLIN, 0};
        if (left == 0 || (::poll(&p, 1, left) < 0 && errno != EINTR)) break;
    }
    return done(received_);
}

bool ServerTestClient::readAtLeast(std::size_t bytes, std::chrono::milliseconds timeout) {
    return readUntil([bytes](const std::string &r) { return r.size() >= bytes; }, timeout);
}

bool ServerTestClient::readUntilContains(std::string_view text, std::chrono::milliseconds timeout) {
    return readUntil([text](const std::string &r) { return r.find(text) != std::string::npos; }, timeout);
}

bool ServerTestClient::readUntilClosed(std::chrono::milliseconds timeout) {
    readUntil([](const std::string &) { return false; }, timeout);
    return peerClosed_;
}

std::string getRequest(std::string_view path) {
    return "GET " + std::string(path) + " HTTP/1.1\r\nHost: localhost\r\nUser-Agent: test\r\n\r\n";
}

bool servesThePage(std::uint16_t port) {
    ServerTestClient client(port);
    return client.send(getRequest("/")) && client.readUntilClosed() &&
           client.received().starts_with("HTTP/1.1 200 OK\r\n");
}

std::string streamPart(const JpegFrame &frame) {
    return "Content-Type: image/jpeg\nContent-Length: " + std::to_string(frame.size()) + "\n\n" +
           std::string(frame.bytes().begin(), frame.bytes().end()) + "\n--ca3cdghdujhihal3\n";
}

std::shared_ptr<const JpegFrame> jpegShaped(int number, std::size_t size) {
    Bytes bytes(size, static_cast<std::uint8_t>(number));
    bytes[0] = bytes[size - 2] = 0xFF;
    bytes[1] = 0xD8;
    bytes[size - 1] = 0xD9;
    return JpegFrame::make(std::move(bytes));
}

void RunningServer::startServer(HTTPServer::Configuration configuration) {
    server_ = std::make_unique<HTTPServer>(configuration);
    server_->start();
    ASSERT_EQ(server_->state(), HTTPServer::Running);
}

std::unique_ptr<ServerTestClient> RunningServer::connectStream(int receiveBuffer) {
    auto client = std::make_unique<ServerTestClient>(server_->port(), "127.0.0.1", receiveBuffer);
    EXPECT_TRUE(client->send(getRequest("/stream")));
    return client;
}

bool RunningServer::clientsAre(std::size_t count, std::chrono::milliseconds limit) {
    return waitUntil([&] { return server_->clientCount() == count; }, limit);
}

Bytes makeJpeg(int width, int height, int seed, int quality) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char *p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<unsigned char>(x * 255 / std::max(1, width - 1));
            p[1] = static_cast<unsigned char>((y + seed * 37) % 256);
            p[2] = static_cast<unsigned char>(((x / 8 + y / 8 + seed) % 2) * 200 + (x * y) % 50);
        }
    tjhandle handle = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, quality, 0);
    Bytes jpeg(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    return jpeg;
}

std::string asString(const Bytes &bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string garbage(int size) {
    std::string bytes;
    for (int i = 0; i < size; ++i)
        bytes +=
            static_cast<char>((static_cast<unsigned>(i) * 7919u + static_cast<unsigned>(i) / 13u) & 0xFFu);
    return bytes;
}

namespace {

// A capture of `count` frames (sizes cycling 48, 56, 64 x 32): `part` frames each image.
Capture build(std::string name, std::string contentType, int count, int seedBase,
              const std::function<std::string(const std::string &, int)> &part, std::string prefix = {},
              std::string suffix = {}) {
    Capture c{std::move(name), std::move(contentType), std::move(prefix), {}};
    for (int i = 0; i < count; ++i) {
        c.frames.push_back(makeJpeg(48 + 8 * (i % 3), 32, seedBase + i));
        c.body += part(asString(c.frames.back()), i);
    }
    c.body += suffix;
    return c;
}

std::string withLength(const std::string &name, std::size_t length) {
    return name + std::to_string(length) + "\r\n\r\n";
}

} // namespace

std::vector<Capture> makeCaptures(int n) {
    using S = const std::string &;
    return {
        // Earlier instances of our own server: LF only, quoted boundary, no lengths, the separator after
        // every image.
        build(
            "OwnServer", "multipart/x-mixed-replace; boundary=\"ca3cdghdujhihal3\"", n, 0,
            [](S f, int) { return "Content-Type: image/jpeg\n\n" + f + "\n--ca3cdghdujhihal3\n"; },
            "--ca3cdghdujhihal3\n"),
        // Our own server now: the same with each part's length.
        build(
            "OwnServerWithLengths", "multipart/x-mixed-replace; boundary=\"ca3cdghdujhihal3\"", n, 50,
            [](S f, int) {
                return "Content-Type: image/jpeg\nContent-Length: " + std::to_string(f.size()) + "\n\n" + f +
                       "\n--ca3cdghdujhihal3\n";
            },
            "--ca3cdghdujhihal3\n"),
        // CR LF, bare boundary, blanks everywhere, lower-case names, padded lengths.
        build("CrLfWithLengths", "Multipart/X-Mixed-Replace;boundary=frame", n, 100,
              [](S f, int) {
                  return "--frame\r\ncontent-type:image/jpeg\r\ncontent-length:   " +
                         std::to_string(f.size()) + "  \r\n\r\n" + f + "\r\n";
              }),
        // Length-prefixed parts as an encoder's mpjpeg muxer writes them, with a closing boundary.
        build(
            "EncoderStyle", "multipart/x-mixed-replace;boundary=ffserver", n, 200,
            [](S f, int) {
                return withLength("--ffserver\r\nContent-type: image/jpeg\r\nContent-length: ", f.size()) +
                       f + "\r\n";
            },
            {}, "--ffserver--\r\n"),
        // A boundary parameter that already carries the dashes, written as is on the boundary lines.
        build(
            "DashedParameter", "multipart/x-mixed-replace; boundary=--myboundary", n, 300,
            [](S f, int) { return "--myboundary\r\nContent-Type: image/jpeg\r\n\r\n" + f + "\r\n"; }, {},
            "--myboundary\r\n"),
        // The same, but boundary lines with two more dashes as the standard reads it.
        build(
            "DashedParameterStandard", "multipart/x-mixed-replace; boundary=\"--b0und\"", n, 400,
            [](S f, int) { return "----b0und\r\nContent-Type: image/jpeg\r\n\r\n" + f + "\r\n"; }, {},
            "----b0und--\r\n"),
        // No first boundary; the body starts with the first part's header.
        build(
            "MissingFirstBoundary", "multipart/x-mixed-replace; boundary=xyz", n, 500,
            [](S f, int i) {
                return std::string(i == 0 ? "" : "--xyz\r\n") + "Content-Type: image/jpeg\r\n\r\n" + f +
                       "\r\n";
            },
            {}, "--xyz\r\n"),
        // Text parts between the images, and an image without any part header.
        build(
            "MixedParts", "multipart/x-mixed-replace;  boundary = \"mix\"", n, 600,
            [](S f, int i) {
                return "--mix\r\nContent-Type: text/plain\r\n\r\nstatus ok " + std::to_string(i) + "\r\n" +
                       (i % 2 ? "--mix\r\n" : "--mix\r\nCONTENT-TYPE: image/jpeg\r\n\r\n") + f + "\r\n";
            },
            {}, "--mix--\r\n"),
        // A length that lies (too short): the boundary is searched instead.
        build(
            "WrongLength", "multipart/x-mixed-replace; boundary=bb", n, 700,
            [](S f, int) {
                return withLength("--bb\r\nContent-Type: image/jpeg\r\nContent-Length: ", f.size() - 10) + f +
                       "\r\n";
            },
            {}, "--bb\r\n"),
    };
}

std::vector<std::string_view> piecesOf(std::string_view body, const std::vector<std::size_t> &sizes) {
    std::vector<std::string_view> pieces;
    for (std::size_t i = 0, at = 0; at < body.size(); ++i) {
        pieces.push_back(body.substr(at, sizes[i % sizes.size()]));
        at += pieces.back().size();
    }
    return pieces;
}

std::string chunked(std::string_view body) {
    std::string out;
    for (std::string_view piece : piecesOf(body, {1, 300, 17, 4096, 2})) {
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        out += size + std::string(piece) + "\r\n";
    }
    return out + "0\r\n\r\n";
}

std::string http10Head(const std::string &contentType) {
    return "HTTP/1.0 200 OK\r\nContent-Type: " + contentType + "\r\nCache-Control: no-cache\r\n\r\n";
}

ReplayServer::ReplayServer(Script script)
    : acceptor_(ioc_, tcp::endpoint(asio::ip::address_v4::loopback(), 0)), script_(std::move(script)) {
    port_ = acceptor_.local_endpoint().port();
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

ReplayServer::~ReplayServer() {
    stopping_ = true;
    boost::system::error_code ec;
    tcp::socket wake(ioc_); // unblocks the accept
    wake.connect(tcp::endpoint(asio::ip::address_v4::loopback(), port_), ec);
    acceptThread_.join();
    for (std::thread &t : threads_)
        t.join();
}

std::string ReplayServer::url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string ReplayServer::request() const {
    std::lock_guard lock(mutex_);
    return request_;
}

void ReplayServer::acceptLoop() {
    for (int i = 0; i < 64; ++i) {
        tcp::socket socket(ioc_);
        boost::system::error_code ec;
        acceptor_.accept(socket, ec);
        if (ec || stopping_) return;
        ++connections_;
        threads_.emplace_back([this, s = std::move(socket)]() mutable { serve(std::move(s)); });
    }
}

void ReplayServer::serve(tcp::socket socket) {
    boost::system::error_code ec;
    asio::streambuf head(64 * 1024);
    const std::size_t n = asio::read_until(socket, head, "\r\n\r\n", ec);
    if (!ec && n > 0) {
        {
            std::lock_guard lock(mutex_);
            request_.assign(asio::buffers_begin(head.data()), asio::buffers_begin(head.data()) + long(n));
        }
        script_([&](std::string_view bytes) {
            if (stopping_) return false;
            asio::write(socket, asio::buffer(bytes.data(), bytes.size()), ec);
            if (!ec) sent_ += bytes.size();
            return !ec;
        });
    }
    socket.shutdown(tcp::socket::shutdown_both, ec);
    socket.close(ec);
    done_ = true;
}

std::optional<RgbPicture> decodeJpeg(const Bytes &jpeg) {
    tjhandle handle = tjInitDecompress();
    RgbPicture picture;
    int subsampling = 0, colorspace = 0;
    bool ok = tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &picture.width, &picture.height,
                                  &subsampling, &colorspace) == 0;
    if (ok) {
        picture.pixels.resize(std::size_t(picture.width) * picture.height * 3);
        ok = tjDecompress2(handle, jpeg.data(), jpeg.size(), picture.pixels.data(), picture.width, 0,
                           picture.height, TJPF_RGB, 0) == 0;
    }
    tjDestroy(handle);
    if (!ok) return std::nullopt;
    return picture;
}

std::optional<RgbPicture> decodeJpegFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return decodeJpeg(Bytes(std::istreambuf_iterator<char>(file), {}));
}

double meanDifference(const RgbPicture &a, const RgbPicture &b) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 255.0;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        sum += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    return double(sum) / double(a.pixels.size());
}

std::optional<Bytes> firstStreamImage(const std::string &url, std::chrono::milliseconds limit) {
    std::promise<Bytes> first;
    auto future = first.get_future();
    bool taken = false;
    MJPEGStreamClient client;
    client.setStreamURL(QUrl(QString::fromStdString(url)));
    client.setPartHandler([&](const MJPEGStreamClient::Part &part) {
        if (!std::exchange(taken, true)) first.set_value(*part);
    });
    client.start();
    if (future.wait_for(limit) != std::future_status::ready) return std::nullopt;
    client.stop();
    return future.get();
}

namespace {
// avahi-browse -p writes bytes such as the space as \DDD (decimal).
QString unescape(const QString &field) {
    const QByteArray in = field.toLatin1();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size() && QChar::fromLatin1(in[i + 1]).isDigit()) {
            out.append(static_cast<char>(in.mid(i + 1, 3).toInt()));
            i += 3;
        } else {
            out.append(in[in[i] == '\\' && i + 1 < in.size() ? ++i : i]);
        }
    }
    return QString::fromUtf8(out);
}
} // namespace

QList<BrowseLine> avahiBrowse(const QString &type) {
    const ChildResult browse = runChild(QStringLiteral("avahi-browse"), {QStringLiteral("-rpt"), type},
                                        ChildProcess::systemEnvironment(), std::chrono::seconds(20));
    if (browse.exitCode != 0) {
        ADD_FAILURE() << "avahi-browse: " << browse.err.constData();
        return {};
    }
    QList<BrowseLine> lines;
    for (const QByteArray &raw : browse.out.split('\n')) {
        const QStringList f = QString::fromLatin1(raw).split(QLatin1Char(';'));
        if (f.size() < 10 || f[0] != QLatin1String("=") || f[2] != QLatin1String("IPv4")) continue;
        lines.append({unescape(f[3]), f[7], f[8].toInt()});
    }
    return lines;
}

std::optional<std::pair<BrowseLine, BrowseLine>> bothServicesSeen() {
    const QList<BrowseLine> device = avahiBrowse(QStringLiteral("_korDevPub._udp"));
    const QList<BrowseLine> stream = avahiBrowse(QStringLiteral("_mjpegStreamer._tcp"));
    if (device.size() != 1 || stream.size() != 1 || device[0].name != stream[0].name) return std::nullopt;
    return std::pair{device[0], stream[0]};
}

bool noServiceSeen() {
    return avahiBrowse(QStringLiteral("_korDevPub._udp")).isEmpty() &&
           avahiBrowse(QStringLiteral("_mjpegStreamer._tcp")).isEmpty();
}
