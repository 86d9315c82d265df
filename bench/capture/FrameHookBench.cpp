// The per-frame work on the delivery thread: zoom and mirror (transforms only), the post and the count.
// It must not depend on the picture size; the baseline is the bare post of the same notification.
#include <mutex>

#include <benchmark/benchmark.h>

#include "capture/DCCaptureViewController.h"
#include "capture/Frame.h"
#include "core/DCVocabulary.h"
#include "support/BenchSupport.h"

namespace {

QSize sizeFor(int64_t index) {
    return index == 0 ? QSize(640, 480) : QSize(2592, 1944);
}

FramePointer frameOf(QSize size) {
    return Frame::fromJpeg(QByteArray(64 * 1024, '\x55'), size);
}

// A consumer that keeps the newest frame, as the snapshot taker and the stream do.
struct NewestKeeper {
    std::mutex mutex;
    FramePointer newest;
    DCObserverSet observers;
    NewestKeeper() {
        observers.add(DCNote::DCWillDisplayImage, [this](const DCNotification &n) {
            FramePointer frame = n.userInfo.value(DCKey::Image).value<FramePointer>();
            std::lock_guard lock(mutex);
            newest.swap(frame);
        });
    }
};

DCCaptureViewController::Dependencies benchDependencies() {
    DCCaptureViewController::Dependencies d;
    d.currentCamera = [] { return DCCameraPtr(); };
    d.watchdogTimer = false;
    return d;
}

void BM_BarePost(benchmark::State &state) {
    NewestKeeper keeper;
    DCCaptureViewController controller(benchDependencies());
    const FramePointer frame = frameOf(sizeFor(state.range(0)));
    auto &center = DCNotificationCenter::defaultCenter();
    for (auto _ : state) {
        center.postNotificationName(DCNote::DCWillDisplayImage, QVariant::fromValue(&controller),
                                    {{DCKey::Image, QVariant::fromValue(frame)}});
    }
}
BENCHMARK(BM_BarePost)->Arg(0)->Arg(1);

void BM_FrameHook(benchmark::State &state) {
    NewestKeeper keeper;
    DCCaptureViewController controller(benchDependencies());
    controller.setZoom(2.0f);
    controller.setHFlipped(true);
    const FramePointer frame = frameOf(sizeFor(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(controller.willDisplayImage(frame));
    state.counters["frames"] = controller.frameCount();
}
BENCHMARK(BM_FrameHook)->Arg(0)->Arg(1);

const bool registered640 = kl::compareWith("BM_FrameHook/0", "BM_BarePost/0");
const bool registered2592 = kl::compareWith("BM_FrameHook/1", "BM_BarePost/1");
const bool registeredSize = kl::compareWith("BM_FrameHook/1", "BM_FrameHook/0");

} // namespace
