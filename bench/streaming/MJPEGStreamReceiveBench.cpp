#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>
#include <unistd.h>

#include <sys/resource.h>

#include <QTemporaryDir>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>

#include <benchmark/benchmark.h>

#include "MJPEGStreamBenchSupport.h"
#include "streaming/MJPEGStreamClient.h"
#include "support/BenchSupport.h"

namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

constexpr int kDistinct = 10;
constexpr int kRepeat = 15; // 150 frames a run

const std::string &body() {
    static const std::string bytes =
        mjpegbench::streamBody(mjpegbench::cameraFrames(1600, 1200, kDistinct), kRepeat);
    return bytes;
}

// Serves `body` once over HTTP/1.0 on loopback, then closes.
class OneShotServer {
public:
    OneShotServer() : acceptor_(ioc_, tcp::endpoint(asio::ip::address_v4::loopback(), 0)) {
        thread_ = std::thread([this] {
            boost::system::error_code ec;
            tcp::socket socket(ioc_);
            acceptor_.accept(socket, ec);
            if (ec) return;
            char request[4096];
            socket.read_some(asio::buffer(request), ec);
            const std::string head =
                std::string("HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; "
                            "boundary=\"") +
                mjpegbench::kBoundary + "\"\r\n\r\n";
            asio::write(socket, asio::buffer(head), ec);
            asio::write(socket, asio::buffer(body()), ec);
            socket.shutdown(tcp::socket::shutdown_send, ec);
        });
    }
    ~OneShotServer() { thread_.join(); }
    std::string url() const {
        return "http://127.0.0.1:" + std::to_string(acceptor_.local_endpoint().port()) + "/stream";
    }

private:
    asio::io_context ioc_;
    tcp::acceptor acceptor_;
    std::thread thread_;
};

double seconds(const timeval &t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

void BM_ReceiveAndDecode1600x1200(benchmark::State &state) {
    body();
    int frames = 0;
    double kernelSeconds = 0;
    for (auto _ : state) {
        OneShotServer server;
        MJPEGStreamClient client;
        std::mutex mutex;
        std::condition_variable cv;
        bool ended = false;
        int decoded = 0;
        double cpu = 0;
        double kernel = 0;
        client.setStreamURL(QUrl(QString::fromStdString(server.url())));
        client.setPictureHandler([&](const DecodedPicture &picture, const MJPEGStreamClient::Part &) {
            decoded += picture.width == 1600 && picture.height == 1200;
        });
        client.setEndHandler([&](const std::string &) {
            // The stream's own thread: its CPU time is all that receiving, cutting and decoding cost.
            const double used = mjpegbench::threadCpuSeconds();
            rusage usage{};
            getrusage(RUSAGE_THREAD, &usage);
            std::lock_guard lock(mutex);
            cpu = used;
            kernel = seconds(usage.ru_stime);
            ended = true;
            cv.notify_one();
        });
        client.start();
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return ended; });
        frames = decoded;
        state.SetIterationTime(cpu);
        kernelSeconds += kernel;
    }
    if (frames != kDistinct * kRepeat) state.SkipWithError("frames lost");
    state.counters["kernel_ms_per_frame"] =
        kernelSeconds * 1e3 / static_cast<double>(state.iterations()) / (kDistinct * kRepeat);
    state.counters["fps"] =
        benchmark::Counter(kDistinct * kRepeat, benchmark::Counter::kIsIterationInvariantRate);
}

// The same bytes from a file through ffmpeg (its JPEG stream reader finds the images between the part
// headers) and its JPEG decoder, on one thread.
// Decoding alone, the same frames from memory: what receiving and cutting add shows against it.
void BM_DecodeOnly1600x1200(benchmark::State &state) {
    const auto frames = mjpegbench::cameraFrames(1600, 1200, kDistinct);
    JpegDecoder decoder;
    std::size_t bytes = 0;
    for (const auto &frame : frames)
        bytes += frame.size();
    for (auto _ : state) {
        const double start = mjpegbench::threadCpuSeconds();
        for (int r = 0; r < kRepeat; ++r)
            for (const auto &frame : frames)
                if (!decoder.decodePicture(frame)) state.SkipWithError("decode failed");
        state.SetIterationTime(mjpegbench::threadCpuSeconds() - start);
    }
    state.counters["fps"] =
        benchmark::Counter(kDistinct * kRepeat, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["frameKB"] = static_cast<double>(bytes) / kDistinct / 1024;
}

void BM_FFmpegDecode1600x1200(benchmark::State &state) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("stream.mjpeg")).toStdString();
    std::ofstream(path, std::ios::binary) << body();
    const std::string command =
        "ffmpeg -nostdin -v error -threads 1 -f mjpeg -i '" + path + "' -f null - > /dev/null 2>&1";
    for (auto _ : state) {
        rusage before{}, after{};
        getrusage(RUSAGE_CHILDREN, &before);
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ffmpeg failed (is it installed?)");
            break;
        }
        getrusage(RUSAGE_CHILDREN, &after);
        state.SetIterationTime(seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
                               seconds(before.ru_stime));
    }
    state.counters["fps"] =
        benchmark::Counter(kDistinct * kRepeat, benchmark::Counter::kIsIterationInvariantRate);
}

// Times are CPU seconds of the one thread (ours) or the one-thread process (ffmpeg) for the whole stream.
BENCHMARK(BM_ReceiveAndDecode1600x1200)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_DecodeOnly1600x1200)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_FFmpegDecode1600x1200)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

const bool registered = kl::compareWith("BM_ReceiveAndDecode1600x1200/iterations:3/manual_time",
                                        "BM_FFmpegDecode1600x1200/iterations:3/manual_time");

} // namespace
