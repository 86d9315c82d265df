// Review mode on a library of 5,000 photos of 2592 x 1944 as the camera writes them (EXIF with their
// own thumbnail), in the real main window: the time from entering review mode to the first screen of
// thumbnails, with an empty thumbnail cache (cold) and a filled one (warm), against decoding the same
// photos whole on the main thread; and a scroll through the whole strip, reporting the longest time
// the main thread did not answer (a 1 ms heartbeat timer's largest gap). Also the library's own load
// (listing, dates and sizes) and the time from making the window, which starts that load, to the first
// screen of thumbnails.
//
//   xvfb-run -a build/bench/ui/bench_ui_review     (or QT_QPA_PLATFORM=offscreen)
//
// The library is made once in /tmp/korva-review-bench: eight distinct photos, hard-linked under 5,000
// names (the thumbnail cache keys by path, so each name is its own entry), about 12 MB on disk.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include "app/AppCore.h"
#include "capture/DCCaptureViewController.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/JpegCodec.h"
#include "photos/PhotoImage.h"
#include "photos/PhotoWriter.h"
#include "support/BenchSupport.h"
#include "support/CameraLikeJpeg.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/review/DCImageBrowserView.h"
#include "ui/window/DCMainWindowController.h"

namespace {

constexpr int kPhotos = 5000;
constexpr int kSources = 8;
const QString kFolder = QStringLiteral("/tmp/korva-review-bench");

QString makeLibrary() {
    const QString folder = kFolder + QStringLiteral("/library");
    if (QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files).size() == kPhotos) return folder;
    QDir(kFolder).removeRecursively();
    QDir().mkpath(folder);
    QStringList sources;
    for (int i = 0; i < kSources; ++i) {
        const QImage rgb = JpegCodec::decode(cameraLikeJpeg(QSize(2592, 1944), quint32(i)))
                               .convertToFormat(QImage::Format_RGB888);
        RenderedPicture picture;
        picture.format = RenderedPicture::Format::RGB888;
        picture.size = rgb.size();
        picture.planes[0] = rgb.constBits();
        picture.strides[0] = int(rgb.bytesPerLine());
        const QString source = QStringLiteral("%1/source-%2.jpg").arg(kFolder).arg(i);
        PhotoWriter::writePhoto(picture, {QStringLiteral("Wren-HD"), QDateTime::currentDateTime()}, source);
        sources << source;
    }
    for (int i = 0; i < kPhotos; ++i) {
        const QString name = QStringLiteral("%1/2013-04-09_%2.jpg").arg(folder).arg(i + 1, 4, 10, QChar('0'));
        if (::link(QFile::encodeName(sources[i % kSources]).constData(),
                   QFile::encodeName(name).constData()) != 0)
            QFile::copy(sources[i % kSources], name);
    }
    return folder;
}

// The longest single event the main thread handled (outermost events only), in wall time and in the main
// thread's own CPU time: on a loaded machine the wall time also holds what the scheduler gave to others.
struct EventTimes {
    qint64 longestWallNs = 0;
    qint64 longestCpuNs = 0;
    int depth = 0;
};
EventTimes eventTimes;

qint64 threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override {
        if (eventTimes.depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --eventTimes.depth;
            return handled;
        }
        QElapsedTimer wall;
        wall.start();
        const qint64 cpu = threadCpuNs();
        const bool handled = QApplication::notify(receiver, event);
        eventTimes.longestCpuNs = std::max(eventTimes.longestCpuNs, threadCpuNs() - cpu);
        eventTimes.longestWallNs = std::max(eventTimes.longestWallNs, wall.nsecsElapsed());
        --eventTimes.depth;
        return handled;
    }
};

void reportEvents(benchmark::State &state) {
    state.counters["longest_event_ms"] = eventTimes.longestWallNs / 1e6;
    state.counters["longest_event_cpu_ms"] = eventTimes.longestCpuNs / 1e6;
    eventTimes = {};
}

// Counts the main thread's longest silence while it runs.
struct Heartbeat {
    Heartbeat() {
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            if (last) longest = std::max(longest, now - last);
            last = now;
        });
        clock.start();
        timer.start();
    }
    // The silence before the first beat counts too (a stall that starts at once).
    void countFromNow() { last = std::max<qint64>(1, clock.nsecsElapsed()); }
    double longestMs() const { return longest / 1e6; }
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
};

bool waitFor(const std::function<bool()> &done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

struct Window {
    explicit Window(const QString &cacheRoot) {
        qputenv("XDG_CACHE_HOME", cacheRoot.toLocal8Bit());
        UserDefaults::standardUserDefaults().setObject(makeLibrary(), DCDefaults::PhotoLibraryLocation);
        AppCore::Options options;
        options.streaming = AppCore::Streaming::Off;
        core = std::make_unique<AppCore>(options);
        QString error;
        core->start(&error);
        window = std::make_unique<DCMainWindowController>(MainWindowServices{
            core->cameras(), core->settings(), *core->capture(), nullptr, [] { return false; }});
        window->setMode(0);
        window->showWindow();
    }
    ~Window() {
        window.reset();
        core.reset();
    }
    DCImageBrowserView &browser() { return *window->review().browserView(); }
    // The library loads on a worker: the benchmarks of review mode itself start with all of it there.
    Window &loaded() {
        waitFor([this] { return !window->library().isLoading(); }, 20000);
        return *this;
    }
    // Every cell on screen has its thumbnail.
    bool firstScreenShown() {
        DCImageBrowserView &view = browser();
        const int first = view.indexAt(QPoint(8, 8)).row();
        const int last = view.indexAt(QPoint(view.viewport()->width() - 8, 8)).row();
        if (first < 0) return false;
        for (int row = first; row <= std::max(first, last); ++row)
            if (view.thumbnailFor(window->library().itemAt(row)->imageUID()).isNull()) return false;
        return true;
    }
    std::unique_ptr<AppCore> core;
    std::unique_ptr<DCMainWindowController> window;
};

// Asks the kernel to drop the library's pages from its cache, so the next reads go to the disk (the
// directory and inodes stay cached: "cold-ish"). Clean pages only, without privileges. The 5,000 names
// share eight files, so only the first read of each of those misses.
void dropLibraryPages(const QString &folder) {
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files)) {
        const int fd = ::open(QFile::encodeName(folder + QLatin1Char('/') + name).constData(), O_RDONLY);
        if (fd < 0) continue;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

// The library listed and every photo's date and size read, as a change of the library folder does.
void BM_LibraryLoadFolder(benchmark::State &state) {
    const bool cold = state.range(0) != 0;
    const QString folder = makeLibrary();
    for (auto _ : state) {
        PhotoLibraryModel model;
        if (cold) dropLibraryPages(folder);
        QElapsedTimer clock;
        clock.start();
        model.loadFolder(folder);
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        state.counters["photos"] = model.rowCount();
    }
}
BENCHMARK(BM_LibraryLoadFolder)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// From making the window (which loads the library) to the first screen of thumbnails in review mode,
// with an empty thumbnail cache: "make_window_ms" is the constructor's own time, during which the main
// thread answers nothing; "longest_stall_after_made_ms" is the main thread's longest silence after it;
// "all_rows_ms" is when the whole library is there.
void BM_WindowMadeToFirstScreen(benchmark::State &state) {
    makeLibrary();
    for (auto _ : state) {
        QTemporaryDir cache;
        Heartbeat heartbeat;
        eventTimes = {};
        QElapsedTimer clock;
        clock.start();
        Window w(cache.path());
        const qint64 madeNs = clock.nsecsElapsed();
        heartbeat.longest = 0;
        heartbeat.countFromNow();
        w.window->setMode(2);
        if (!waitFor([&] { return w.firstScreenShown(); }, 20000)) state.SkipWithError("no thumbnails");
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        state.counters["make_window_ms"] = madeNs / 1e6;
        state.counters["longest_stall_after_made_ms"] = heartbeat.longestMs();
        reportEvents(state);
        w.loaded();
        state.counters["all_rows_ms"] = clock.nsecsElapsed() / 1e6;
        state.counters["photos"] = w.window->library().rowCount();
    }
}
BENCHMARK(BM_WindowMadeToFirstScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// Cold: an empty thumbnail cache (the photos themselves may be in the page cache).
void BM_ReviewOpenCold(benchmark::State &state) {
    for (auto _ : state) {
        QTemporaryDir cache;
        Window w(cache.path());
        w.loaded();
        Heartbeat heartbeat;
        eventTimes = {};
        QElapsedTimer clock;
        clock.start();
        w.window->setMode(2);
        if (!waitFor([&] { return w.firstScreenShown(); }, 20000)) state.SkipWithError("no thumbnails");
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        state.counters["longest_stall_ms"] = heartbeat.longestMs();
        reportEvents(state);
        state.counters["photos"] = w.window->library().rowCount();
    }
}
BENCHMARK(BM_ReviewOpenCold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// Warm: a first opening fills the cache, the measured one reads it.
void BM_ReviewOpenWarm(benchmark::State &state) {
    QTemporaryDir cache;
    {
        Window w(cache.path());
        w.window->setMode(2);
        waitFor([&] { return w.firstScreenShown(); }, 20000);
    }
    for (auto _ : state) {
        Window w(cache.path());
        w.loaded();
        Heartbeat heartbeat;
        eventTimes = {};
        QElapsedTimer clock;
        clock.start();
        w.window->setMode(2);
        if (!waitFor([&] { return w.firstScreenShown(); }, 20000)) state.SkipWithError("no thumbnails");
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        state.counters["longest_stall_ms"] = heartbeat.longestMs();
        reportEvents(state);
    }
}
BENCHMARK(BM_ReviewOpenWarm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// The simple way: the first screen's photos decoded whole on the main thread.
void BM_FirstScreenDecodedWhole(benchmark::State &state) {
    const QString folder = makeLibrary();
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 6; ++i) // the cells a 640-point strip shows
            benchmark::DoNotOptimize(
                PhotoImage::fromFile(folder + QLatin1Char('/') + names[i]).image().width());
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    }
}
BENCHMARK(BM_FirstScreenDecodedWhole)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The strip scrolled from the first photo to the last, one screen per 16 ms (a fast fling), with the
// thumbnails the cache does not have yet made as they come into view.
void BM_ReviewScrollThroughAll(benchmark::State &state) {
    QTemporaryDir cache;
    for (auto _ : state) {
        Window w(cache.path());
        w.loaded().window->setMode(2);
        waitFor([&] { return w.firstScreenShown(); }, 20000);
        QScrollBar *bar = w.browser().horizontalScrollBar();
        Heartbeat heartbeat;
        eventTimes = {};
        QElapsedTimer clock;
        clock.start();
        while (bar->value() < bar->maximum()) {
            bar->setValue(bar->value() + w.browser().viewport()->width());
            QElapsedTimer step;
            step.start();
            while (step.elapsed() < 16)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        }
        if (!waitFor([&] { return w.firstScreenShown(); }, 20000)) state.SkipWithError("no thumbnails");
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        state.counters["longest_stall_ms"] = heartbeat.longestMs();
        reportEvents(state);
    }
}
BENCHMARK(BM_ReviewScrollThroughAll)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

const bool registered = kl::compareWith("BM_LibraryLoadFolder/1/iterations:3/manual_time",
                                        "BM_LibraryLoadFolder/0/iterations:3/manual_time") &&
                        kl::compareWith("BM_WindowMadeToFirstScreen/iterations:3/manual_time",
                                        "BM_ReviewOpenCold/iterations:1/manual_time") &&
                        kl::compareWith("BM_ReviewOpenCold/iterations:1/manual_time",
                                        "BM_FirstScreenDecodedWhole/iterations:3/manual_time") &&
                        kl::compareWith("BM_ReviewOpenWarm/iterations:1/manual_time",
                                        "BM_FirstScreenDecodedWhole/iterations:3/manual_time");

} // namespace

int main(int argc, char **argv) {
    TimedApplication app(argc, argv);
    return kl::runBenchmarks(argc, argv);
}
