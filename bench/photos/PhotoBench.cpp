// Saving a snapshot, listing a library of 1,000 five-megapixel photos and making their thumbnails (with
// and without a thumbnail of their own in their EXIF tags), each against the work the simple way costs
// (compressing only; decoding every photo).
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include "capture/Frame.h"
#include "capture/I420Image.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/DCActionController.h"
#include "photos/ExifTags.h"
#include "photos/JpegCodec.h"
#include "photos/PhotoImage.h"
#include "photos/PhotoLibrary.h"
#include "photos/PhotoWriter.h"
#include "photos/ThumbnailCache.h"
#include "support/BenchSupport.h"

namespace {

constexpr int kWidth = 2592;
constexpr int kHeight = 1944;
constexpr int kLibrarySize = 1000;

// A camera-like frame: smooth shading, edges and sensor noise, so the JPEG has a realistic size.
struct CameraFrame {
    CameraFrame() : y(kWidth * kHeight), u((kWidth / 2) * (kHeight / 2)), v((kWidth / 2) * (kHeight / 2)) {
        uint32_t noise = 12345;
        for (int row = 0; row < kHeight; ++row)
            for (int x = 0; x < kWidth; ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int base = ((x / 64 + row / 64) % 2) ? 200 : 60;
                y[static_cast<size_t>(row * kWidth + x)] =
                    static_cast<uint8_t>(base + (x * 30) / kWidth + (noise >> 29));
            }
        for (size_t i = 0; i < u.size(); ++i) {
            u[i] = static_cast<uint8_t>(120 + (i % 13));
            v[i] = static_cast<uint8_t>(130 - (i % 11));
        }
    }
    RenderedPicture picture() const {
        RenderedPicture p;
        p.size = QSize(kWidth, kHeight);
        p.planes[0] = y.data();
        p.planes[1] = u.data();
        p.planes[2] = v.data();
        p.strides[0] = kWidth;
        p.strides[1] = p.strides[2] = kWidth / 2;
        return p;
    }
    std::vector<uint8_t> y, u, v;
};

const CameraFrame &frame() {
    static const CameraFrame f;
    return f;
}

// The library: one photo written by the writer, copied with a distinct EXIF date in each copy.
struct Library {
    Library() : defaults(home.filePath(QStringLiteral("defaults.json"))) {
        folder = home.filePath(QStringLiteral("library"));
        QDir().mkpath(folder);
        defaults.setObject(folder, DCDefaults::PhotoLibraryLocation);
        const QDateTime first(QDate(2013, 4, 9), QTime(8, 0));
        const QByteArray original =
            PhotoWriter::photoData(frame().picture(), {QStringLiteral("Wren-HD"), first});
        const QByteArray firstText = ExifTags::dateText(first).toLatin1();
        for (int i = 0; i < kLibrarySize; ++i) {
            QByteArray copy = original;
            copy.replace(firstText, ExifTags::dateText(first.addSecs(60LL * i)).toLatin1());
            QFile file(
                QStringLiteral("%1/2013-04-09_%2.jpg").arg(folder).arg(i + 1, 4, 10, QLatin1Char('0')));
            if (file.open(QIODevice::WriteOnly)) file.write(copy);
        }
        paths = QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
        for (QString &p : paths)
            p = folder + QLatin1Char('/') + p;
        photoBytes = original.size();
    }
    // Drops the photos from the page cache, so a listing reads from the disk again.
    void evict() const {
        for (const QString &p : paths) {
            const int fd = ::open(QFile::encodeName(p).constData(), O_RDONLY);
            if (fd < 0) continue;
            ::fdatasync(fd);
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
    QTemporaryDir home;
    UserDefaults defaults;
    QString folder;
    QStringList paths;
    qint64 photoBytes = 0;
};

Library &library() {
    static Library l;
    return l;
}

void BM_PlainTurboJpegCompress(benchmark::State &state) {
    const CameraFrame &f = frame();
    tjhandle handle = tjInitCompress();
    std::vector<unsigned char> out(tjBufSize(kWidth, kHeight, TJSAMP_420));
    const unsigned char *planes[3] = {f.y.data(), f.u.data(), f.v.data()};
    const int strides[3] = {kWidth, kWidth / 2, kWidth / 2};
    for (auto _ : state) {
        unsigned char *buffer = out.data();
        unsigned long length = out.size();
        tjCompressFromYUVPlanes(handle, planes, kWidth, strides, kHeight, TJSAMP_420, &buffer, &length,
                                JpegCodec::kDefaultQuality, TJFLAG_NOREALLOC);
        benchmark::DoNotOptimize(length);
    }
    tjDestroy(handle);
}
BENCHMARK(BM_PlainTurboJpegCompress)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WritePhoto(benchmark::State &state) {
    QTemporaryDir dir;
    const RenderedPicture picture = frame().picture();
    int n = 0;
    for (auto _ : state) {
        const QString path =
            dir.filePath(QStringLiteral("2013-04-09_%1.jpg").arg(++n, 4, 10, QLatin1Char('0')));
        const bool ok =
            PhotoWriter::writePhoto(picture, {QStringLiteral("Wren-HD"), QDateTime::currentDateTime()}, path);
        if (!ok) state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_WritePhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

double processCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

class SilentSounds : public SoundEffects {
public:
    void play(Sound) override {}
    void stop(Sound) override {}
};

// From the snapshot request (main thread) to the renamed file and its announcement back on the
// main thread, as the snapshot button does it.
void BM_SnapshotThroughActionController(benchmark::State &state) {
    QTemporaryDir home;
    UserDefaults defaults(home.filePath(QStringLiteral("defaults.json")));
    defaults.setObject(home.path(), DCDefaults::PhotoLibraryLocation);
    DCActionController::Dependencies deps;
    deps.defaults = &defaults;
    deps.currentCamera = [] { return DCCameraPtr(); };
    deps.sounds = std::make_shared<SilentSounds>();
    deps.countdownTimer = false;
    DCActionController controller(deps);

    const CameraFrame &f = frame();
    auto planes = I420Image::create(QSize(kWidth, kHeight));
    std::copy(f.y.begin(), f.y.end(), planes->y());
    std::copy(f.u.begin(), f.u.end(), planes->u());
    std::copy(f.v.begin(), f.v.end(), planes->v());
    controller.setCurrentImage(::Frame::fromPlanes(std::move(planes)));

    int announced = 0;
    DCObserverSet observers;
    observers.add(DCNote::DCFileDidCreateNotification, [&](const DCNotification &) { ++announced; });
    // The work runs on the controller's queue: the process's CPU time shows its cost where real time,
    // on a busy machine, also shows the waiting for a processor.
    double cpuSeconds = 0;
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds();
        const int before = announced;
        if (!controller.snapshot()) state.SkipWithError("no snapshot");
        while (announced == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        cpuSeconds += processCpuSeconds() - cpuBefore;
        state.PauseTiming();
        // The counter is saved after the announcement; it is not part of the photo's way to disk.
        controller.waitUntilSnapshotsAreWritten();
        state.ResumeTiming();
    }
    state.counters["process_cpu_ms"] = benchmark::Counter(cpuSeconds * 1e3 / double(state.iterations()));
}
BENCHMARK(BM_SnapshotThroughActionController)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListLibraryCold(benchmark::State &state) {
    Library &lib = library();
    size_t resolved = 0;
    for (auto _ : state) {
        state.PauseTiming();
        lib.evict();
        state.ResumeTiming();
        const auto items = PhotoLibrary::itemsInLibrary(lib.defaults);
        resolved = 0;
        for (const auto &item : items)
            resolved += !item->resolution().isEmpty() && item->createDate().isValid();
    }
    if (resolved != kLibrarySize) state.SkipWithError("not every item was complete");
}
BENCHMARK(BM_ListLibraryCold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ListLibraryWarm(benchmark::State &state) {
    Library &lib = library();
    for (auto _ : state)
        benchmark::DoNotOptimize(PhotoLibrary::itemsInLibrary(lib.defaults).size());
}
BENCHMARK(BM_ListLibraryWarm)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The simple way: every photo decoded in full to learn its size (and to draw a thumbnail from).
void BM_DecodeEveryPhoto(benchmark::State &state) {
    Library &lib = library();
    for (auto _ : state) {
        for (const QString &path : lib.paths) {
            const QImage image = JpegCodec::decode(PhotoImage::readFile(path, nullptr));
            benchmark::DoNotOptimize(image.width());
        }
    }
}
BENCHMARK(BM_DecodeEveryPhoto)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_Thumbnails160Uncached(benchmark::State &state) {
    Library &lib = library();
    std::vector<std::unique_ptr<QTemporaryDir>> roots; // removed after the measurement
    for (auto _ : state) {
        state.PauseTiming();
        roots.push_back(std::make_unique<QTemporaryDir>());
        const ThumbnailCache cache(roots.back()->path());
        state.ResumeTiming();
        for (const QString &path : lib.paths)
            benchmark::DoNotOptimize(cache.thumbnail(path, 160).width());
    }
}
BENCHMARK(BM_Thumbnails160Uncached)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_Thumbnails160Cached(benchmark::State &state) {
    Library &lib = library();
    QTemporaryDir cacheRoot;
    const ThumbnailCache cache(cacheRoot.path());
    for (const QString &path : lib.paths)
        cache.thumbnail(path, 160);
    for (auto _ : state)
        for (const QString &path : lib.paths)
            benchmark::DoNotOptimize(cache.thumbnail(path, 160).width());
}
BENCHMARK(BM_Thumbnails160Cached)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Photos without a thumbnail of their own (from other programs): one plain JPEG of the same frame,
// hard-linked under 1,000 names; the cache keys by path, so each name is made and stored anew.
struct PlainLibrary {
    PlainLibrary() {
        const CameraFrame &f = frame();
        const uint8_t *planes[3] = {f.y.data(), f.u.data(), f.v.data()};
        const int strides[3] = {kWidth, kWidth / 2, kWidth / 2};
        const QByteArray jpeg = JpegCodec::compressI420(planes, strides, QSize(kWidth, kHeight), 90);
        const QString source = home.filePath(QStringLiteral("source.jpg"));
        QFile file(source);
        if (file.open(QIODevice::WriteOnly)) file.write(jpeg);
        file.close();
        for (int i = 0; i < kLibrarySize; ++i) {
            const QString name =
                home.filePath(QStringLiteral("plain_%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
            if (::link(QFile::encodeName(source).constData(), QFile::encodeName(name).constData()) != 0)
                QFile::copy(source, name);
            paths << name;
        }
    }
    QTemporaryDir home;
    QStringList paths;
};

PlainLibrary &plainLibrary() {
    static PlainLibrary l;
    return l;
}

void BM_Thumbnails160UncachedNoExif(benchmark::State &state) {
    PlainLibrary &lib = plainLibrary();
    std::vector<std::unique_ptr<QTemporaryDir>> roots;
    for (auto _ : state) {
        state.PauseTiming();
        roots.push_back(std::make_unique<QTemporaryDir>());
        const ThumbnailCache cache(roots.back()->path());
        state.ResumeTiming();
        for (const QString &path : lib.paths)
            benchmark::DoNotOptimize(cache.thumbnail(path, 160).width());
    }
}
BENCHMARK(BM_Thumbnails160UncachedNoExif)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_Thumbnails160CachedNoExif(benchmark::State &state) {
    PlainLibrary &lib = plainLibrary();
    QTemporaryDir cacheRoot;
    const ThumbnailCache cache(cacheRoot.path());
    for (const QString &path : lib.paths)
        cache.thumbnail(path, 160);
    for (auto _ : state)
        for (const QString &path : lib.paths)
            benchmark::DoNotOptimize(cache.thumbnail(path, 160).width());
}
BENCHMARK(BM_Thumbnails160CachedNoExif)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

const bool registered =
    kl::compareWith("BM_WritePhoto/real_time", "BM_PlainTurboJpegCompress/real_time") &&
    kl::compareWith("BM_SnapshotThroughActionController/real_time", "BM_PlainTurboJpegCompress/real_time") &&
    kl::compareWith("BM_ListLibraryCold/iterations:5/real_time",
                    "BM_DecodeEveryPhoto/iterations:1/real_time") &&
    kl::compareWith("BM_ListLibraryWarm/iterations:5/real_time",
                    "BM_DecodeEveryPhoto/iterations:1/real_time") &&
    kl::compareWith("BM_Thumbnails160Uncached/iterations:2/real_time",
                    "BM_DecodeEveryPhoto/iterations:1/real_time") &&
    kl::compareWith("BM_Thumbnails160Cached/iterations:3/real_time",
                    "BM_DecodeEveryPhoto/iterations:1/real_time") &&
    kl::compareWith("BM_Thumbnails160UncachedNoExif/iterations:1/real_time",
                    "BM_DecodeEveryPhoto/iterations:1/real_time") &&
    kl::compareWith("BM_Thumbnails160CachedNoExif/iterations:3/real_time",
                    "BM_DecodeEveryPhoto/iterations:1/real_time");

} // namespace
