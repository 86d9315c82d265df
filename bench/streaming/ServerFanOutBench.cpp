// The stream's fan-out on loopback: one 1600 x 1200-sized picture (about 200 KB) at 30 per second to
// N clients that read as fast as they can, against a plain sender writing the same bytes to the same
// number of readers in the same run. The reported time is the sending thread's CPU time per delivered
// gigabyte, so the printed ratio is the server's CPU cost per byte against the plain sender's.
// Also: the time from publishing a picture to the first byte of its part on each client's socket, and
// ten readers beside ten clients that never read.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <boost/asio/post.hpp>

#include <benchmark/benchmark.h>

#include "streaming/HTTPServer.h"
#include "streaming/JpegFrame.h"
#include "streaming/MJPEGStreamer.h"
#include "support/BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kPictureBytes = 200 * 1024;
constexpr int kFramesPerSecond = 30;
constexpr int kFrames = 60; // two seconds per case

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::shared_ptr<const JpegFrame> picture(std::uint8_t fill) {
    std::vector<std::uint8_t> bytes(kPictureBytes, fill);
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    bytes[kPictureBytes - 2] = 0xFF;
    bytes[kPictureBytes - 1] = 0xD9;
    return JpegFrame::make(std::move(bytes));
}

const std::string &partHeader() {
    static const std::string header = MJPEGStreamer::partHeader(kPictureBytes);
    return header;
}

std::size_t partBytes() {
    return partHeader().size() + kPictureBytes + MJPEGStreamer::boundaryData().size();
}

int connectTo(std::uint16_t port, int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads every socket as fast as it can on one thread, and notes when each part's first byte arrives.
class Readers {
public:
    Readers(std::vector<int> fds, std::size_t headerBytes)
        : fds_(std::move(fds)), headerBytes_(headerBytes), bytes_(fds_.size(), 0), arrivals_(fds_.size()) {
        epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
        for (std::size_t i = 0; i < fds_.size(); ++i) {
            ::fcntl(fds_[i], F_SETFL, ::fcntl(fds_[i], F_GETFL) | O_NONBLOCK);
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.u64 = i;
            ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fds_[i], &event);
            arrivals_[i].reserve(kFrames + 2);
        }
        thread_ = std::thread([this] { run(); });
    }
    ~Readers() {
        finish();
        ::close(epoll_);
        for (const int fd : fds_)
            ::close(fd);
    }
    std::uint64_t totalBytes() const { return total_.load(); }
    Clock::time_point lastArrival() const { return lastArrival_; } // after finish()
    // Valid after stop: bytes per client and the arrival time of each part's first byte.
    const std::vector<std::uint64_t> &bytes() const { return bytes_; }
    const std::vector<std::vector<Clock::time_point>> &arrivals() const { return arrivals_; }
    void finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    void run() {
        std::vector<char> buffer(1 << 20);
        epoll_event events[128];
        const std::size_t part = partBytes();
        while (!stop_) {
            const int n = ::epoll_wait(epoll_, events, 128, 10);
            for (int e = 0; e < n; ++e) {
                const std::size_t i = events[e].data.u64;
                for (;;) {
                    const ssize_t got = ::recv(fds_[i], buffer.data(), buffer.size(), 0);
                    if (got <= 0) break;
                    lastArrival_ = Clock::now();
                    const std::uint64_t before = bytes_[i];
                    bytes_[i] += static_cast<std::uint64_t>(got);
                    total_ += static_cast<std::uint64_t>(got);
                    // A part starts at headerBytes + k * part: did this read bring one?
                    if (bytes_[i] > headerBytes_) {
                        const std::uint64_t from =
                            before <= headerBytes_ ? 0 : (before - headerBytes_ + part - 1) / part;
                        const std::uint64_t to = (bytes_[i] - headerBytes_ - 1) / part;
                        const auto now = Clock::now();
                        for (std::uint64_t k = from; k <= to; ++k)
                            arrivals_[i].push_back(now);
                    }
                }
            }
        }
    }

    std::vector<int> fds_;
    std::size_t headerBytes_;
    std::vector<std::uint64_t> bytes_;
    std::vector<std::vector<Clock::time_point>> arrivals_;
    std::atomic<std::uint64_t> total_{0};
    std::atomic<bool> stop_{false};
    Clock::time_point lastArrival_{};
    int epoll_ = -1;
    std::thread thread_;
};

struct RunResult {
    double sendCpuSeconds = 0;
    double seconds = 0;
    std::uint64_t bytes = 0;
    double minFps = 0, meanFps = 0;
    std::vector<double> latenciesMs;
};

// Paces kFrames pictures at 30 per second through `send(k)` and waits until they are delivered.
template <typename Send>
RunResult pace(Readers &readers, std::size_t clients, std::size_t headerBytes, Send send,
               std::vector<Clock::time_point> &published) {
    RunResult result;
    const std::uint64_t expected = clients * (headerBytes + kFrames * partBytes());
    const auto start = Clock::now();
    for (int k = 0; k < kFrames; ++k) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(1'000'000 * k / kFramesPerSecond));
        published.push_back(Clock::now());
        send(k);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (readers.totalBytes() < expected && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    readers.finish();
    result.seconds = std::chrono::duration<double>(readers.lastArrival() - start).count();
    result.bytes = readers.totalBytes();
    const double pacedSeconds = static_cast<double>(kFrames) / kFramesPerSecond;
    result.minFps = 1e9;
    for (std::size_t i = 0; i < clients; ++i) {
        const double parts = static_cast<double>(readers.arrivals()[i].size());
        result.minFps = std::min(result.minFps, parts / pacedSeconds);
        result.meanFps += parts / pacedSeconds / static_cast<double>(clients);
        for (std::size_t k = 0; k < readers.arrivals()[i].size() && k < published.size(); ++k)
            result.latenciesMs.push_back(
                std::chrono::duration<double, std::milli>(readers.arrivals()[i][k] - published[k]).count());
    }
    return result;
}

void report(benchmark::State &state, const RunResult &r, std::size_t clients) {
    const double gigabytes = static_cast<double>(r.bytes) / 1e9;
    state.SetIterationTime(gigabytes > 0 ? r.sendCpuSeconds / gigabytes : 0); // CPU seconds per GB
    state.counters["fps_min"] = r.minFps;
    state.counters["fps_mean"] = r.meanFps;
    state.counters["MB/s"] = static_cast<double>(r.bytes) / 1e6 / r.seconds;
    state.counters["cpu%/client"] = 100.0 * r.sendCpuSeconds / r.seconds / static_cast<double>(clients);
    if (!r.latenciesMs.empty()) {
        auto l = r.latenciesMs;
        std::nth_element(l.begin(), l.begin() + static_cast<long>(l.size() / 2), l.end());
        state.counters["latency_ms_median"] = l[l.size() / 2];
    }
}

double serverThreadCpu(HTTPServer &server) {
    std::promise<double> cpu;
    boost::asio::post(server.ioContext(), [&cpu] { cpu.set_value(threadCpuSeconds()); });
    return cpu.get_future().get();
}

// `stalled` more clients ask for the stream and never read (their small receive buffers fill at once);
// the readers' frame rate shows whether they hold anyone up.
void serverFanOut(benchmark::State &state, std::size_t clients, std::size_t stalled) {
    const std::shared_ptr<const JpegFrame> frames[2] = {picture(0x11), picture(0x22)};
    for (auto _ : state) {
        HTTPServer::Configuration configuration;
        configuration.port = 0;
        configuration.maxClients = clients + stalled + 8;
        HTTPServer server(configuration);
        server.start();
        std::vector<int> fds, stalledFds;
        const std::string request = "GET /stream HTTP/1.1\r\nHost: bench\r\n\r\n";
        for (std::size_t i = 0; i < clients + stalled; ++i) {
            const int fd = connectTo(server.port(), i >= clients ? 4096 : 0);
            (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            (i < clients ? fds : stalledFds).push_back(fd);
        }
        while (server.clientCount() < clients + stalled)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::size_t header = MJPEGStreamer::responseHeader().size();
        Readers readers(std::move(fds), header);
        std::vector<Clock::time_point> published;
        const double cpuBefore = serverThreadCpu(server);
        RunResult r = pace(
            readers, clients, header, [&](int k) { server.publishFrame(frames[k % 2]); }, published);
        r.sendCpuSeconds = serverThreadCpu(server) - cpuBefore;
        report(state, r, clients);
        server.stop();
        for (const int fd : stalledFds)
            ::close(fd);
    }
}

void BM_ServerFanOut(benchmark::State &state) {
    serverFanOut(state, static_cast<std::size_t>(state.range(0)), 0);
}

// Ten readers beside ten clients that never read.
void BM_ServerFanOutBesideStalledClients(benchmark::State &state) {
    serverFanOut(state, static_cast<std::size_t>(state.range(0)), 10);
}

void BM_PlainSender(benchmark::State &state) {
    const auto clients = static_cast<std::size_t>(state.range(0));
    const std::shared_ptr<const JpegFrame> frames[2] = {picture(0x11), picture(0x22)};
    for (auto _ : state) {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(listener, 1024);
        socklen_t length = sizeof address;
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
        std::vector<int> fds, peers;
        for (std::size_t i = 0; i < clients; ++i) {
            fds.push_back(connectTo(ntohs(address.sin_port)));
            peers.push_back(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
        }
        ::close(listener);
        Readers readers(std::move(fds), 0);

        // The sender: one thread, a blocking gather write of each part to each reader in turn.
        std::mutex mutex;
        std::condition_variable wake;
        int next = 0, sent = 0;
        bool done = false;
        double cpu = 0;
        std::thread sender([&] {
            const double before = threadCpuSeconds();
            std::unique_lock lock(mutex);
            for (;;) {
                wake.wait(lock, [&] { return done || sent < next; });
                if (sent >= next && done) break;
                const int k = sent++;
                lock.unlock();
                const auto &frame = frames[k % 2];
                for (const int fd : peers) {
                    iovec parts[3] = {{const_cast<char *>(partHeader().data()), partHeader().size()},
                                      {const_cast<std::uint8_t *>(frame->data()), frame->size()},
                                      {const_cast<char *>(MJPEGStreamer::boundaryData().data()),
                                       MJPEGStreamer::boundaryData().size()}};
                    std::size_t left = partBytes();
                    int first = 0;
                    while (left > 0) {
                        const ssize_t n = ::writev(fd, parts + first, 3 - first);
                        if (n <= 0) break;
                        left -= static_cast<std::size_t>(n);
                        std::size_t used = static_cast<std::size_t>(n);
                        while (first < 3 && used >= parts[first].iov_len)
                            used -= parts[first++].iov_len;
                        if (first < 3) {
                            parts[first].iov_base = static_cast<char *>(parts[first].iov_base) + used;
                            parts[first].iov_len -= used;
                        }
                    }
                }
                lock.lock();
            }
            cpu = threadCpuSeconds() - before;
        });
        std::vector<Clock::time_point> published;
        RunResult r = pace(
            readers, clients, 0,
            [&](int) {
                std::lock_guard lock(mutex);
                ++next;
                wake.notify_one();
            },
            published);
        {
            std::lock_guard lock(mutex);
            done = true;
            wake.notify_one();
        }
        sender.join();
        r.sendCpuSeconds = cpu;
        report(state, r, clients);
        for (const int fd : peers)
            ::close(fd);
    }
}

BENCHMARK(BM_ServerFanOut)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSender)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerFanOutBesideStalledClients)
    ->Arg(10)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

const bool registered = kl::compareWith("BM_ServerFanOut/1/iterations:1/manual_time",
                                        "BM_PlainSender/1/iterations:1/manual_time") &&
                        kl::compareWith("BM_ServerFanOut/10/iterations:1/manual_time",
                                        "BM_PlainSender/10/iterations:1/manual_time") &&
                        kl::compareWith("BM_ServerFanOut/50/iterations:1/manual_time",
                                        "BM_PlainSender/50/iterations:1/manual_time") &&
                        kl::compareWith("BM_ServerFanOut/100/iterations:1/manual_time",
                                        "BM_PlainSender/100/iterations:1/manual_time") &&
                        kl::compareWith("BM_ServerFanOut/200/iterations:1/manual_time",
                                        "BM_PlainSender/200/iterations:1/manual_time") &&
                        kl::compareWith("BM_ServerFanOutBesideStalledClients/10/iterations:1/manual_time",
                                        "BM_ServerFanOut/10/iterations:1/manual_time");

} // namespace
