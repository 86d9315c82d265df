#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "MJPEGStreamBenchSupport.h"
#include "streaming/MJPEGStreamSplitter.h"
#include "support/BenchSupport.h"

namespace {

// About 20 MB of 1600 x 1200 frames, the bytes a stream really carries.
const std::string &body() {
    static const std::string bytes = mjpegbench::streamBody(mjpegbench::cameraFrames(1600, 1200, 8), 6);
    return bytes;
}

void BM_SplitStream(benchmark::State &state) {
    const std::string &bytes = body();
    const auto piece = static_cast<std::size_t>(state.range(0));
    std::size_t parts = 0;
    for (auto _ : state) {
        const double start = mjpegbench::threadCpuSeconds();
        MJPEGStreamSplitter splitter([&](MJPEGStreamSplitter::Part) { ++parts; });
        splitter.response(std::string("multipart/x-mixed-replace; boundary=\"") + mjpegbench::kBoundary +
                          "\"");
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            splitter.append(bytes.data() + at, std::min(piece, bytes.size() - at));
        state.SetIterationTime(mjpegbench::threadCpuSeconds() - start);
    }
    if (parts != 48 * static_cast<std::size_t>(state.iterations())) state.SkipWithError("frames lost");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// The floor: finding the separator with memmem (and the line ends with memchr) over the same pieces,
// without keeping any bytes.
void BM_MemmemSeparator(benchmark::State &state) {
    const std::string &bytes = body();
    const auto piece = static_cast<std::size_t>(state.range(0));
    const std::string separator = std::string("\n--") + mjpegbench::kBoundary;
    std::size_t hits = 0;
    for (auto _ : state) {
        const double start = mjpegbench::threadCpuSeconds();
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            const std::size_t n = std::min(piece, bytes.size() - at);
            const char *p = bytes.data() + at;
            const char *end = p + n;
            while (const void *hit =
                       memmem(p, static_cast<std::size_t>(end - p), separator.data(), separator.size())) {
                ++hits;
                p = static_cast<const char *>(hit) + separator.size();
                if (const void *nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p)))
                    p = static_cast<const char *>(nl) + 1;
            }
        }
        state.SetIterationTime(mjpegbench::threadCpuSeconds() - start);
    }
    benchmark::DoNotOptimize(hits);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// Times are the thread's CPU time (manual time), so bytes per second hold on a busy machine too.
BENCHMARK(BM_SplitStream)->Arg(1024)->Arg(64 * 1024)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_MemmemSeparator)->Arg(1024)->Arg(64 * 1024)->Unit(benchmark::kMillisecond)->UseManualTime();

const bool registered =
    kl::compareWith("BM_SplitStream/1024/manual_time", "BM_MemmemSeparator/1024/manual_time") &&
    kl::compareWith("BM_SplitStream/65536/manual_time", "BM_MemmemSeparator/65536/manual_time");

} // namespace
