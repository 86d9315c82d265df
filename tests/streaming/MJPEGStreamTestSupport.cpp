#include "MJPEGStreamTestSupport.h"

#include <algorithm>
#include <cstdio>

#include <boost/asio/connect.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>

#include <turbojpeg.h>

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

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

namespace {

std::vector<Bytes> framesFor(int count, int seedBase) {
    std::vector<Bytes> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(makeJpeg(48 + 8 * (i % 3), 32, seedBase + i));
    return frames;
}

Capture build(std::string name, std::string contentType, int count, int seedBase,
              const std::function<std::string(const Bytes &, int)> &part, std::string prefix = {},
              std::string suffix = {}) {
    Capture c{std::move(name), std::move(contentType), std::move(prefix), framesFor(count, seedBase)};
    for (int i = 0; i < count; ++i)
        c.body += part(c.frames[static_cast<std::size_t>(i)], i);
    c.body += suffix;
    return c;
}

} // namespace

std::vector<Capture> makeCaptures(int n) {
    std::vector<Capture> captures;
    // Our own server: LF only, quoted boundary, no lengths, the separator after every image.
    captures.push_back(build(
        "OwnServer", "multipart/x-mixed-replace; boundary=\"ca3cdghdujhihal3\"", n, 0,
        [](const Bytes &f, int) {
            return "Content-Type: image/jpeg\n\n" + asString(f) + "\n--ca3cdghdujhihal3\n";
        },
        "--ca3cdghdujhihal3\n"));
    // CR LF, bare boundary, blanks everywhere, lower-case names, padded lengths.
    captures.push_back(
        build("CrLfWithLengths", "Multipart/X-Mixed-Replace;boundary=frame", n, 100, [](const Bytes &f, int) {
            return "--frame\r\ncontent-type:image/jpeg\r\ncontent-length:   " + std::to_string(f.size()) +
                   "  \r\n\r\n" + asString(f) + "\r\n";
        }));
    // Length-prefixed parts in the style of an encoder's mpjpeg muxer, with a closing boundary.
    captures.push_back(build(
        "EncoderStyle", "multipart/x-mixed-replace;boundary=ffserver", n, 200,
        [](const Bytes &f, int) {
            return "--ffserver\r\nContent-type: image/jpeg\r\nContent-length: " + std::to_string(f.size()) +
                   "\r\n\r\n" + asString(f) + "\r\n";
        },
        {}, "--ffserver--\r\n"));
    // A boundary parameter that already carries the dashes, written as is on the boundary lines.
    captures.push_back(build(
        "DashedParameter", "multipart/x-mixed-replace; boundary=--myboundary", n, 300,
        [](const Bytes &f, int) {
            return "--myboundary\r\nContent-Type: image/jpeg\r\n\r\n" + asString(f) + "\r\n";
        },
        {}, "--myboundary\r\n"));
    // The same, but boundary lines with two more dashes as the standard reads it.
    captures.push_back(build(
        "DashedParameterStandard", "multipart/x-mixed-replace; boundary=\"--b0und\"", n, 400,
        [](const Bytes &f, int) {
            return "----b0und\r\nContent-Type: image/jpeg\r\n\r\n" + asString(f) + "\r\n";
        },
        {}, "----b0und--\r\n"));
    // No first boundary; the body starts with the first part's header.
    captures.push_back(build(
        "MissingFirstBoundary", "multipart/x-mixed-replace; boundary=xyz", n, 500,
        [](const Bytes &f, int i) {
            return std::string(i == 0 ? "" : "--xyz\r\n") + "Content-Type: image/jpeg\r\n\r\n" + asString(f) +
                   "\r\n";
        },
        {}, "--xyz\r\n"));
    // Text parts between the images, and an image without any part header.
    captures.push_back(build(
        "MixedParts", "multipart/x-mixed-replace;  boundary = \"mix\"", n, 600,
        [](const Bytes &f, int i) {
            std::string s =
                "--mix\r\nContent-Type: text/plain\r\n\r\nstatus ok " + std::to_string(i) + "\r\n";
            s += i % 2 ? "--mix\r\n" + asString(f) + "\r\n"
                       : "--mix\r\nCONTENT-TYPE: image/jpeg\r\n\r\n" + asString(f) + "\r\n";
            return s;
        },
        {}, "--mix--\r\n"));
    // A length that lies (too short): the boundary is searched instead.
    captures.push_back(build(
        "WrongLength", "multipart/x-mixed-replace; boundary=bb", n, 700,
        [](const Bytes &f, int) {
            return "--bb\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(f.size() - 10) +
                   "\r\n\r\n" + asString(f) + "\r\n";
        },
        {}, "--bb\r\n"));
    return captures;
}

std::vector<std::string_view> piecesOf(std::string_view body, const std::vector<std::size_t> &sizes) {
    std::vector<std::string_view> pieces;
    std::size_t at = 0;
    for (std::size_t i = 0; at < body.size(); ++i) {
        const std::size_t n = std::min(sizes[i % sizes.size()], body.size() - at);
        pieces.push_back(body.substr(at, n));
        at += n;
    }
    return pieces;
}

std::string chunked(std::string_view body) {
    std::string out;
    for (std::string_view piece : piecesOf(body, {1, 300, 17, 4096, 2})) {
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        out += size;
        out += piece;
        out += "\r\n";
    }
    return out + "0\r\n\r\n";
}

std::string http10Head(const std::string &contentType) {
    return "HTTP/1.0 200 OK\r\nContent-Type: " + contentType + "\r\nCache-Control: no-cache\r\n\r\n";
}

ReplayServer::ReplayServer(Script script)
    : acceptor_(ioc_, tcp::endpoint(asio::ip::address_v4::loopback(), 0)), script_(std::move(script)) {
    port_ = acceptor_.local_endpoint().port();
    thread_ = std::thread([this] { serve(); });
}

ReplayServer::~ReplayServer() {
    if (!accepted_) { // unblock the accept with a connection of our own
        boost::system::error_code ec;
        tcp::socket wake(ioc_);
        wake.connect(tcp::endpoint(asio::ip::address_v4::loopback(), port_), ec);
        thread_.join();
        return;
    }
    thread_.join();
}

std::string ReplayServer::url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string ReplayServer::request() const {
    return started_ ? request_ : std::string();
}

void ReplayServer::serve() {
    boost::system::error_code ec;
    tcp::socket socket(ioc_);
    acceptor_.accept(socket, ec);
    accepted_ = true;
    if (ec) return;
    asio::streambuf head(64 * 1024);
    const std::size_t n = asio::read_until(socket, head, "\r\n\r\n", ec);
    if (ec || n == 0) {
        done_ = true;
        return;
    }
    request_.assign(asio::buffers_begin(head.data()),
                    asio::buffers_begin(head.data()) + static_cast<long>(n));
    started_ = true;
    script_([&](std::string_view bytes) {
        asio::write(socket, asio::buffer(bytes.data(), bytes.size()), ec);
        if (!ec) sent_ += bytes.size();
        return !ec;
    });
    socket.shutdown(tcp::socket::shutdown_both, ec);
    socket.close(ec);
    done_ = true;
}
