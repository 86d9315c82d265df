#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A plain blocking TCP client for the server tests: every wait is bounded by a time-out.
class ServerTestClient {
public:
    explicit ServerTestClient(std::uint16_t port, const char *host = "127.0.0.1", int receiveBuffer = 0);
    ~ServerTestClient();
    ServerTestClient(const ServerTestClient &) = delete;
    ServerTestClient &operator=(const ServerTestClient &) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send(std::string_view bytes);
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
