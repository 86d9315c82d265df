// What showing a live frame costs: rendering a camera-like MJPEG frame through zoom and mirror, against
// a plain full TurboJPEG decode of the same frame; the per-frame transform; and the demo camera's page.
#include <cstdint>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include "capture/DemoPageRenderer.h"
#include "capture/Frame.h"
#include "capture/FrameRenderer.h"
#include "capture/I420Image.h"
#include "capture/I420ImageConversion.h"
#include "capture/ImageManipulator.h"
#include "capture/PixelBufferPool.h"
#include "support/BenchSupport.h"
#include "support/CameraLikeJpeg.h"

namespace {

QSize sizeFor(int64_t arg) {
    return arg == 0 ? QSize(1600, 1200) : QSize(2592, 1944);
}

// Made once per size.
const QByteArray &cameraFrame(int64_t arg) {
    static QByteArray frames[2];
    QByteArray &jpeg = frames[arg];
    if (!jpeg.isEmpty()) return jpeg;
    const QSize size = sizeFor(arg);
    jpeg = cameraLikeJpeg(size, 7);
    return jpeg;
}

// The baseline: the whole frame decoded into planes it already has, with a handle it already has.
void BM_PlainDecode(benchmark::State &state) {
    const QByteArray &jpeg = cameraFrame(state.range(0));
    const QSize size = sizeFor(state.range(0));
    tjhandle handle = tjInitDecompress();
    std::vector<uint8_t> y(size_t(size.width()) * size.height()), u(y.size() / 2), v(y.size() / 2);
    unsigned char *planes[3] = {y.data(), u.data(), v.data()};
    for (auto _ : state) {
        if (tjDecompressToYUVPlanes(handle, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                                    static_cast<unsigned long>(jpeg.size()), planes, size.width(), nullptr,
                                    size.height(), 0) != 0)
            state.SkipWithError(tjGetErrorStr2(handle));
        benchmark::DoNotOptimize(y.data());
    }
    tjDestroy(handle);
    state.counters["jpeg_KiB"] = double(jpeg.size()) / 1024;
}
BENCHMARK(BM_PlainDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void renderWith(benchmark::State &state, const ZoomState &zoom) {
    const auto frame =
        manipulateImage(Frame::fromJpeg(cameraFrame(state.range(0)), sizeFor(state.range(0))), zoom);
    FrameRenderer renderer;
    for (auto _ : state) {
        auto picture = renderer.render(*frame);
        if (!picture) state.SkipWithError("render failed");
        benchmark::DoNotOptimize(picture.get());
    }
    state.counters["fresh_buffers"] = double(renderer.pool().allocations());
}

void BM_RenderZoom2HFlip(benchmark::State &state) {
    ZoomState zoom;
    zoom.zoom = 2.0f;
    zoom.hFlipped = true;
    renderWith(state, zoom);
}
BENCHMARK(BM_RenderZoom2HFlip)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RenderWhole(benchmark::State &state) {
    renderWith(state, ZoomState{});
}
BENCHMARK(BM_RenderWhole)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RenderWholeHFlip(benchmark::State &state) {
    ZoomState zoom;
    zoom.hFlipped = true;
    renderWith(state, zoom);
}
BENCHMARK(BM_RenderWholeHFlip)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The per-frame work on the delivery thread: a transform, no pixels; must not grow with the frame.
void BM_ManipulateImage(benchmark::State &state) {
    const auto frame = Frame::fromJpeg(cameraFrame(state.range(0)), sizeFor(state.range(0)));
    ImageManipulator manipulator;
    manipulator.setZoom(2.0f);
    manipulator.setHFlipped(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(manipulator.manipulateImage(frame));
}
BENCHMARK(BM_ManipulateImage)->Arg(0)->Arg(1);

// The demo camera's frame against a plain encode of planes of the same size and layout.
void BM_PlainEncode422(benchmark::State &state) {
    const QSize size = sizeFor(state.range(0));
    const int w = size.width(), h = size.height();
    std::vector<uint8_t> planes(size_t(w) * h * 2, 128);
    for (size_t i = 0; i < size_t(w) * h; ++i)
        planes[i] = uint8_t((i * 7) ^ (i >> 9));
    const unsigned char *p[3] = {planes.data(), planes.data() + size_t(w) * h,
                                 planes.data() + size_t(w) * h * 3 / 2};
    const int strides[3] = {w, w / 2, w / 2};
    tjhandle handle = tjInitCompress();
    unsigned long capacity = tjBufSize(w, h, TJSAMP_422);
    unsigned char *out = tjAlloc(int(capacity));
    for (auto _ : state) {
        unsigned long outSize = capacity;
        tjCompressFromYUVPlanes(handle, p, w, strides, h, TJSAMP_422, &out, &outSize, 85, TJFLAG_NOREALLOC);
    }
    tjFree(out);
    tjDestroy(handle);
}
BENCHMARK(BM_PlainEncode422)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_DemoPage(benchmark::State &state) {
    DemoPageRenderer page(QStringLiteral("Wren-HD"), sizeFor(state.range(0)));
    quint32 n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(page.render(++n).data());
}
BENCHMARK(BM_DemoPage)->Arg(0)->Unit(benchmark::kMillisecond);

const bool registered = kl::compareWith("BM_RenderZoom2HFlip/0", "BM_PlainDecode/0") &&
                        kl::compareWith("BM_RenderZoom2HFlip/1", "BM_PlainDecode/1") &&
                        kl::compareWith("BM_RenderWhole/0", "BM_PlainDecode/0") &&
                        kl::compareWith("BM_RenderWhole/1", "BM_PlainDecode/1") &&
                        kl::compareWith("BM_RenderWholeHFlip/0", "BM_PlainDecode/0") &&
                        kl::compareWith("BM_RenderWholeHFlip/1", "BM_PlainDecode/1") &&
                        kl::compareWith("BM_ManipulateImage/1", "BM_ManipulateImage/0") &&
                        kl::compareWith("BM_DemoPage/0", "BM_PlainEncode422/0");

} // namespace
