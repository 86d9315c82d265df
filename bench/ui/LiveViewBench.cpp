// What the live picture costs the window, in a real X server (run under
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bench/ui/bench_ui_liveview):
// frames drawn per second, the main thread's CPU time per drawn frame, and the time from a frame's
// arrival at the capture controller's frame hook to the swap that shows it. The live view (decoding on
// its own thread, OpenGL drawing) against a baseline that decodes and converts each frame to a QImage
// on the main thread and paints it. Frames come from the demo camera at 1280 x 960, and from camera-like
// JPEGs of 1600 x 1200 and 2592 x 1944 fed at 30 frames a second.
//
// The time Google Benchmark reports is the main thread's CPU time per drawn frame (manual time).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <time.h>
#include <vector>

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include "capture/CaptureSource.h"
#include "capture/DCCaptureViewController.h"
#include "capture/DemoPageRenderer.h"
#include "capture/Frame.h"
#include "capture/FrameRenderer.h"
#include "capture/I420Image.h"
#include "capture/I420ImageConversion.h"
#include "capture/SimCaptureSource.h"
#include "devices/sim/SimCamera.h"
#include "support/BenchSupport.h"
#include "support/CameraLikeJpeg.h"
#include "ui/view/DCCaptureView.h"
#include "ui/view/FrameMailbox.h"
#include "ui/view/LiveFrameFeed.h"
#include "ui/view/PictureFit.h"
#include "ui/window/DCAttachController.h"

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWarmUp = 1s;
constexpr auto kMeasured = 5s;
// The camera view's size in a window that has just left full screen.
constexpr QSize kWindowSize(800, 600);
constexpr auto kFrameInterval = std::chrono::microseconds(1000000 / 30);

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void runEventLoopFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// When each frame went into the capture controller's hook, by mailbox generation (1, 2, ...): the one
// source posts them in order and nothing else does.
class PostTimes {
public:
    void record() {
        std::lock_guard lock(mutex_);
        times_.push_back(Clock::now());
    }
    size_t count() const {
        std::lock_guard lock(mutex_);
        return times_.size();
    }
    Clock::time_point at(quint64 generation) const {
        std::lock_guard lock(mutex_);
        return generation >= 1 && generation <= times_.size() ? times_[generation - 1] : Clock::now();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Clock::time_point> times_;
};

std::unique_ptr<DCCaptureViewController> makeController() {
    DCCaptureViewController::Dependencies d;
    d.currentCamera = [] { return DCCameraPtr(); };
    d.findDevice = [](const DCCameraPtr &) { return std::unique_ptr<CaptureSource>(); };
    d.watchdogTimer = false;
    return std::make_unique<DCCaptureViewController>(std::move(d));
}

// Where frames come from; each one goes through the controller's frame hook.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual void start(std::function<void(FramePointer)> deliver) = 0;
    virtual void stop() = 0;
};

class DemoCamera : public FrameSource {
public:
    explicit DemoCamera(QSize size)
        : size_(size), source_(std::make_shared<SimCamera>(), QStringLiteral("Wren-HD")) {}
    void start(std::function<void(FramePointer)> deliver) override {
        source_.open();
        source_.start(size_, [deliver = std::move(deliver)](std::shared_ptr<const Frame> frame) {
            deliver(std::move(frame));
        });
    }
    void stop() override {
        source_.stop();
        source_.close();
    }

private:
    QSize size_;
    SimCaptureSource source_;
};

// Camera-like frames of one size, a few different ones in turn, at 30 a second.
class PacedFeeder : public FrameSource {
public:
    explicit PacedFeeder(QSize size) {
        for (quint32 i = 0; i < 4; ++i)
            frames_.push_back(Frame::fromJpeg(cameraLikeJpeg(size, i * 7), size));
    }
    ~PacedFeeder() override { stop(); }
    void start(std::function<void(FramePointer)> deliver) override {
        stop_ = false;
        thread_ = std::thread([this, deliver = std::move(deliver)] {
            const Clock::time_point begin = Clock::now();
            for (size_t i = 0; !stop_; ++i) {
                std::this_thread::sleep_until(begin + i * kFrameInterval);
                deliver(frames_[i % frames_.size()]);
            }
        });
    }
    void stop() override {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    std::vector<FramePointer> frames_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The baseline: the same feed, but each frame decoded whole, converted to a QImage and painted scaled,
// all on the main thread.
class QImageView : public QWidget {
public:
    explicit QImageView(const DCCaptureViewController *controller)
        : mailbox_(std::make_shared<FrameMailbox>()), feed_(controller, mailbox_) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        QObject::connect(&feed_, &LiveFrameFeed::frameArrived, this, [this] { convert(); });
    }
    std::function<void(quint64)> onShown;
    double decodeCpuSeconds = 0;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        if (!image_.isNull())
            painter.drawImage(PictureFit::fitRect(QSizeF(image_.size()), QRectF(rect())), image_);
        painter.end();
        if (std::exchange(fresh_, false) && onShown) onShown(generation_);
    }

private:
    void convert() {
        const FrameMailbox::Letter letter = mailbox_->take();
        if (!letter) return;
        const double begin = threadCpuSeconds();
        const auto planes = renderer_.render(*letter.frame);
        decodeCpuSeconds += threadCpuSeconds() - begin;
        if (!planes) return;
        image_ = I420ImageConversion::toQImage(*planes);
        generation_ = letter.generation;
        fresh_ = true;
        update();
    }

    std::shared_ptr<FrameMailbox> mailbox_;
    LiveFrameFeed feed_;
    FrameRenderer renderer_;
    QImage image_;
    quint64 generation_ = 0;
    bool fresh_ = false;
};

struct Measurement {
    size_t fed = 0;
    int drawn = 0;
    double seconds = 0;
    double mainCpuSeconds = 0;
    double decodeCpuSeconds = 0;
    std::vector<double> latenciesMs;
};

bool waitForExposure(QWidget &window) {
    for (int i = 0; i < 500 && !(window.windowHandle() && window.windowHandle()->isExposed()); ++i)
        runEventLoopFor(10ms);
    return window.windowHandle() && window.windowHandle()->isExposed();
}

// Shows `window`, lets `source` feed the controller, and measures after a warm-up.
template <typename ConnectShown>
Measurement measure(QWidget &window, DCCaptureViewController &controller, FrameSource &source,
                    ConnectShown connectShown, const double *decodeCpuSeconds,
                    QSize windowSize = kWindowSize) {
    PostTimes posts;
    Measurement m;
    bool measuring = false;
    connectShown([&](quint64 generation) {
        if (!measuring) return;
        ++m.drawn;
        m.latenciesMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - posts.at(generation)).count());
    });
    window.resize(windowSize);
    window.show();
    waitForExposure(window);
    source.start([&](FramePointer frame) {
        posts.record();
        controller.willDisplayImage(frame);
    });
    runEventLoopFor(kWarmUp);

    const size_t fed0 = posts.count();
    const double cpu0 = threadCpuSeconds();
    const double decode0 = decodeCpuSeconds ? *decodeCpuSeconds : 0;
    const Clock::time_point wall0 = Clock::now();
    measuring = true;
    runEventLoopFor(kMeasured);
    measuring = false;
    m.mainCpuSeconds = threadCpuSeconds() - cpu0;
    m.seconds = std::chrono::duration<double>(Clock::now() - wall0).count();
    m.fed = posts.count() - fed0;
    m.decodeCpuSeconds = decodeCpuSeconds ? *decodeCpuSeconds - decode0 : 0;
    source.stop();
    window.hide();
    return m;
}

void report(benchmark::State &state, const Measurement &m) {
    if (m.drawn == 0) {
        state.SkipWithError("no frame was drawn");
        return;
    }
    std::vector<double> latencies = m.latenciesMs;
    std::nth_element(latencies.begin(), latencies.begin() + latencies.size() / 2, latencies.end());
    const double perFrame = m.mainCpuSeconds / m.drawn;
    state.SetIterationTime(perFrame);
    state.counters["fps_fed"] = double(m.fed) / m.seconds;
    state.counters["fps_drawn"] = double(m.drawn) / m.seconds;
    state.counters["main_ms_per_frame"] = perFrame * 1e3;
    state.counters["main_ms_beyond_decode"] = (m.mainCpuSeconds - m.decodeCpuSeconds) / m.drawn * 1e3;
    state.counters["to_screen_median_ms"] = latencies[latencies.size() / 2];
}

std::unique_ptr<FrameSource> makeSource(bool demo, QSize size) {
    if (demo) return std::make_unique<DemoCamera>(size);
    return std::make_unique<PacedFeeder>(size);
}

void BM_LiveView(benchmark::State &state, bool demo, QSize size, DCCaptureView::Drawing drawing) {
    const auto source = makeSource(demo, size);
    for (auto _ : state) {
        auto controller = makeController();
        DCCaptureView view(nullptr, drawing);
        view.showFramesOf(controller.get());
        if (drawing == DCCaptureView::Drawing::OpenGL && !view.usesOpenGL())
            state.SkipWithError("no OpenGL: run under xvfb-run or on a desktop");
        const Measurement m = measure(
            view, *controller, *source,
            [&view](std::function<void(quint64)> shown) {
                QObject::connect(&view, &DCCaptureView::pictureShown, &view, shown);
            },
            nullptr);
        report(state, m);
    }
}

void BM_QImageOnMainThread(benchmark::State &state, bool demo, QSize size) {
    const auto source = makeSource(demo, size);
    for (auto _ : state) {
        auto controller = makeController();
        QImageView view(controller.get());
        const Measurement m = measure(
            view, *controller, *source, [&view](std::function<void(quint64)> shown) { view.onShown = shown; },
            &view.decodeCpuSeconds);
        report(state, m);
    }
}

// Full screen as a class sees it: the picture at the screen's size with the overlay's floaters over it,
// the navigator at zoom 2 and the exposure badge kept showing, drawn the way the program chooses.
void BM_FullScreenOverlay(benchmark::State &state, QSize size) {
    const auto source = makeSource(false, size);
    for (auto _ : state) {
        auto controller = makeController();
        QWidget host;
        auto *layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        // As the program draws here: OpenGL on a hardware renderer, else painted.
        auto *view = new DCCaptureView(&host, DCCaptureView::Drawing::Automatic);
        layout->addWidget(view);
        view->showFramesOf(controller.get());
        DCAttachController overlay(&host, nullptr);
        OverlayModel &model = overlay.model();
        model.setIsFullScreen(true);
        model.setIsVisable(true);
        model.setCaptureZoomFactor(2.0f);
        QTimer badge; // the badge goes after 3 s: shown again well before
        QObject::connect(&badge, &QTimer::timeout, &model,
                         [&model] { model.toggleIndicatorForExposure(1, true); });
        model.toggleIndicatorForExposure(1, true);
        badge.start(1000);
        state.SetLabel(view->usesOpenGL() ? "OpenGL" : "painted");
        const QSize screen = QGuiApplication::primaryScreen()->size();
        const Measurement m = measure(
            host, *controller, *source,
            [view](std::function<void(quint64)> shown) {
                QObject::connect(view, &DCCaptureView::pictureShown, view, shown);
            },
            nullptr, screen);
        const bool shown = model.shows(DCAttachController::Floater::Navigator) &&
                           model.shows(DCAttachController::Floater::Exposure);
        if (!shown) state.SkipWithError("the navigator or the badge was not showing");
        report(state, m);
    }
}

struct Case {
    const char *name;
    bool demo;
    QSize size;
};
constexpr Case kCases[] = {
    {"demo_1280x960", true, {1280, 960}},
    {"fed_1600x1200", false, {1600, 1200}},
    {"fed_2592x1944", false, {2592, 1944}},
};

const bool registered = [] {
    for (const Case &c : kCases) {
        const std::string live = std::string("BM_LiveView/") + c.name;
        const std::string painted = std::string("BM_LiveViewPainted/") + c.name;
        const std::string baseline = std::string("BM_QImageOnMainThread/") + c.name;
        benchmark::RegisterBenchmark(live.c_str(), BM_LiveView, c.demo, c.size,
                                     DCCaptureView::Drawing::OpenGL)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(painted.c_str(), BM_LiveView, c.demo, c.size,
                                     DCCaptureView::Drawing::Painter)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(baseline.c_str(), BM_QImageOnMainThread, c.demo, c.size)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        kl::compareWith(live + "/iterations:1/manual_time", baseline + "/iterations:1/manual_time");
        kl::compareWith(painted + "/iterations:1/manual_time", baseline + "/iterations:1/manual_time");
    }
    benchmark::RegisterBenchmark("BM_FullScreenOverlay/fed_1600x1200", BM_FullScreenOverlay,
                                 QSize(1600, 1200))
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    kl::compareWith("BM_FullScreenOverlay/fed_1600x1200/iterations:1/manual_time",
                    "BM_QImageOnMainThread/fed_1600x1200/iterations:1/manual_time");
    return true;
}();

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    return kl::runBenchmarks(argc, argv);
}
