// The compressor's cost per 1600 x 1200 picture against a plain TurboJPEG compression (quality 60,
// 4:2:0, from the same planes) measured in the same run.
#include <cmath>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include "streaming/JPEGCompressor.h"
#include "streaming/JpegFrame.h"
#include "support/BenchSupport.h"

namespace {

constexpr int kWidth = 1600, kHeight = 1200;

// A page-like picture: smooth shading with text-like detail, so the JPEG has a realistic size.
std::shared_ptr<const YuvPlanes> documentPicture() {
    const int cw = kWidth / 2, ch = kHeight / 2;
    auto planes = std::make_shared<std::vector<std::uint8_t>>(kWidth * kHeight + 2 * cw * ch);
    std::uint8_t *y = planes->data();
    for (int row = 0; row < kHeight; ++row)
        for (int col = 0; col < kWidth; ++col) {
            const bool ink = ((row / 14) % 3 == 0) && ((col * 7 + row * 3) % 11 < 4) && (col / 40) % 5 != 4;
            y[row * kWidth + col] =
                ink ? 40 : static_cast<std::uint8_t>(200 + 30 * std::sin(col * 0.003 + row * 0.002));
        }
    for (int i = 0; i < 2 * cw * ch; ++i)
        (*planes)[kWidth * kHeight + i] = static_cast<std::uint8_t>(124 + (i % 9));
    auto image = std::make_shared<YuvPlanes>();
    image->width = kWidth;
    image->height = kHeight;
    image->planes[0] = y;
    image->planes[1] = y + kWidth * kHeight;
    image->planes[2] = y + kWidth * kHeight + cw * ch;
    image->strides[0] = kWidth;
    image->strides[1] = image->strides[2] = cw;
    image->owner = planes;
    return image;
}

void BM_PlainTurboJPEG(benchmark::State &state) {
    const auto image = documentPicture();
    tjhandle handle = tjInitCompress();
    unsigned long size = 0;
    for (auto _ : state) {
        unsigned char *output = nullptr;
        size = 0;
        const unsigned char *planes[3] = {image->planes[0], image->planes[1], image->planes[2]};
        int strides[3] = {image->strides[0], image->strides[1], image->strides[2]};
        tjCompressFromYUVPlanes(handle, planes, kWidth, strides, kHeight, TJSAMP_420, &output, &size, 60, 0);
        benchmark::DoNotOptimize(output);
        tjFree(output);
    }
    state.counters["bytes"] = static_cast<double>(size);
    tjDestroy(handle);
}
BENCHMARK(BM_PlainTurboJPEG)->Unit(benchmark::kMillisecond);

void BM_JPEGCompressor(benchmark::State &state) {
    const auto image = documentPicture();
    tjhandle handle = tjInitCompress();
    std::size_t size = 0;
    for (auto _ : state) {
        const auto frame = JPEGCompressor::compress(handle, *image, JPEGCompressor::kQuality);
        size = frame ? frame->size() : 0;
        benchmark::DoNotOptimize(frame);
    }
    state.counters["bytes"] = static_cast<double>(size);
    tjDestroy(handle);
}
BENCHMARK(BM_JPEGCompressor)->Unit(benchmark::kMillisecond);

const bool registered = kl::compareWith("BM_JPEGCompressor", "BM_PlainTurboJPEG");

} // namespace
