#include "ServerTestClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <sys/socket.h>

namespace {
using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}
} // namespace

ServerTestClient::ServerTestClient(std::uint16_t port, const char *host, int receiveBuffer) {
    const bool v6 = std::strchr(host, ':') != nullptr;
    fd_ = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int rc;
    if (v6) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(port);
        ::inet_pton(AF_INET6, host, &address.sin6_addr);
        rc = ::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address);
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        ::inet_pton(AF_INET, host, &address.sin_addr);
        rc = ::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address);
    }
    if (rc != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

ServerTestClient::~ServerTestClient() {
    close();
}

void ServerTestClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ServerTestClient::send(std::string_view bytes) {
    return sendWhatFits(bytes, std::chrono::seconds(5)) == bytes.size();
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
        if (left == 0) break;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, left) < 0 && errno != EINTR) break;
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
