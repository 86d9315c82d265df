// The compressor's cost per 1600 x 1200 picture against plain TurboJPEG at quality 60, 4:2:0, measured
// in the same run. The demo and USB cameras deliver JPEG (quality 90, 4:2:2), so that case is set
// against a plain decode of the same bytes to planes plus the compression; decoded planes (V4L2's
// raw formats) against the compression alone.
#include <cstdint>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QSize>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include "capture/DemoPageRenderer.h"
#include "capture/Frame.h"
#include "capture/FrameRenderer.h"
#include "capture/I420Image.h"
#include "capture/ImageManipulator.h"
#include "streaming/FrameJpegEncoder.h"
#include "streaming/JPEGCompressor.h"
#include "streaming/JpegFrame.h"
#include "support/BenchSupport.h"

namespace {

const QSize kSize(1600, 1200);

const QByteArray &cameraJpeg() {
    static const QByteArray jpeg = DemoPageRenderer(QStringLiteral("Wren-HD"), kSize, 90).renderJpeg(7);
    return jpeg;
}

std::shared_ptr<const I420Image> decodedPicture() {
    static const std::shared_ptr<const I420Image> picture =
        FrameRenderer().render(*Frame::fromJpeg(cameraJpeg(), kSize));
    return picture;
}

// Plain TurboJPEG with everything set up beforehand: a handle, planes and an output buffer it
// already has.
class PlainTurboJPEG {
public:
    PlainTurboJPEG()
        : compressor_(tjInitCompress()), decompressor_(tjInitDecompress()),
          output_(tjBufSize(kSize.width(), kSize.height(), TJSAMP_420)),
          planes422_(size_t(kSize.width()) * kSize.height() * 2) {}
    ~PlainTurboJPEG() {
        tjDestroy(compressor_);
        tjDestroy(decompressor_);
    }

    unsigned long compress(const unsigned char *const planes[3], const int strides[3]) {
        unsigned char *out = output_.data();
        unsigned long size = output_.size();
        tjCompressFromYUVPlanes(compressor_, const_cast<const unsigned char **>(planes), kSize.width(),
                                strides, kSize.height(), TJSAMP_420, &out, &size, 60, TJFLAG_NOREALLOC);
        return size;
    }

    // The camera's 4:2:2 JPEG to planes, then compressed as 4:2:0 by reading every other chroma row.
    unsigned long decodeAndCompress(const QByteArray &jpeg) {
        const int w = kSize.width(), h = kSize.height(), cw = (w + 1) / 2;
        unsigned char *planes[3] = {planes422_.data(), planes422_.data() + w * h,
                                    planes422_.data() + w * h + cw * h};
        int strides[3] = {w, cw, cw};
        tjDecompressToYUVPlanes(decompressor_, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                                jpeg.size(), planes, w, strides, h, 0);
        int thinned[3] = {w, 2 * cw, 2 * cw};
        const unsigned char *in[3] = {planes[0], planes[1], planes[2]};
        return compress(in, thinned);
    }

private:
    tjhandle compressor_, decompressor_;
    std::vector<unsigned char> output_;
    std::vector<unsigned char> planes422_;
};

void BM_PlainDecodeAndCompress(benchmark::State &state) {
    PlainTurboJPEG plain;
    unsigned long size = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(size = plain.decodeAndCompress(cameraJpeg()));
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_PlainDecodeAndCompress)->Unit(benchmark::kMillisecond);

void encodeLoop(benchmark::State &state, const Frame &frame) {
    FrameJpegEncoder encoder(JPEGCompressor::kQuality);
    std::size_t size = 0;
    for (auto _ : state) {
        const auto jpeg = encoder.encode(frame);
        size = jpeg ? jpeg->size() : 0;
        benchmark::DoNotOptimize(jpeg);
    }
    state.counters["bytes"] = double(size);
}

void BM_JPEGCompressorCameraFrame(benchmark::State &state) {
    encodeLoop(state, *Frame::fromJpeg(cameraJpeg(), kSize));
}
BENCHMARK(BM_JPEGCompressorCameraFrame)->Unit(benchmark::kMillisecond);

// Mirrored and zoomed 2x (only a quarter of the picture is decoded, then scaled up): for information.
void BM_JPEGCompressorZoomedMirroredFrame(benchmark::State &state) {
    ZoomState zoom;
    zoom.zoom = 2.0f;
    zoom.hFlipped = true;
    encodeLoop(state, *manipulateImage(Frame::fromJpeg(cameraJpeg(), kSize), zoom));
}
BENCHMARK(BM_JPEGCompressorZoomedMirroredFrame)->Unit(benchmark::kMillisecond);

void BM_PlainCompress(benchmark::State &state) {
    PlainTurboJPEG plain;
    const auto picture = decodedPicture();
    const unsigned char *planes[3] = {picture->y(), picture->u(), picture->v()};
    const int strides[3] = {picture->strideY(), picture->strideU(), picture->strideV()};
    unsigned long size = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(size = plain.compress(planes, strides));
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_PlainCompress)->Unit(benchmark::kMillisecond);

void BM_JPEGCompressorDecodedFrame(benchmark::State &state) {
    encodeLoop(state, *Frame::fromPlanes(decodedPicture()));
}
BENCHMARK(BM_JPEGCompressorDecodedFrame)->Unit(benchmark::kMillisecond);

const bool registered =
    kl::compareWith("BM_JPEGCompressorCameraFrame", "BM_PlainDecodeAndCompress") &&
    kl::compareWith("BM_JPEGCompressorZoomedMirroredFrame", "BM_PlainDecodeAndCompress") &&
    kl::compareWith("BM_JPEGCompressorDecodedFrame", "BM_PlainCompress");

} // namespace
