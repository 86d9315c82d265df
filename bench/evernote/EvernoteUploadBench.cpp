// Uploading 20 camera photos (2592 x 1944 JPEGs) as one note to the loopback stand-in of the service,
// against curl posting the same bytes to the same server; and the longest the main thread went without
// running its event loop meanwhile (a 5 ms heartbeat timer: its longest gap).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include "EvernoteDouble.h"
#include "core/UserDefaults.h"
#include "evernote/EnmlNoteBuilder.h"
#include "evernote/EvernoteService.h"
#include "support/BenchSupport.h"
#include "support/CameraLikeJpeg.h"

namespace {

constexpr int kPhotos = 20;

struct Photos {
    QTemporaryDir dir;
    QStringList paths;
    QString concatenated; // every photo's bytes in one file, for curl
    qint64 bytes = 0;

    Photos() {
        QFile all(dir.filePath("all.bin"));
        all.open(QIODevice::WriteOnly);
        for (int i = 0; i < kPhotos; ++i) {
            const QByteArray jpeg = cameraLikeJpeg(QSize(2592, 1944), quint32(i));
            QFile file(dir.filePath(QStringLiteral("photo%1.jpg").arg(i)));
            file.open(QIODevice::WriteOnly);
            file.write(jpeg);
            all.write(jpeg);
            paths << file.fileName();
            bytes += jpeg.size();
        }
        concatenated = all.fileName();
    }
};

Photos &photos() {
    static Photos made;
    return made;
}

EvernoteDouble &server() {
    static EvernoteDouble made;
    return made;
}

// The longest gap between ticks of a fast timer on the main thread while `running` holds.
class Heartbeat {
public:
    Heartbeat() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, clock_.restart()); });
        clock_.start();
        timer_.start();
    }
    qint64 longestGapMs() const { return longest_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

void BM_EvernoteUpload(benchmark::State &state) {
    const QStringList &paths = photos().paths; // made before anything is timed
    QTemporaryDir home;
    UserDefaults defaults(home.filePath("defaults.json"));
    QFile token(home.filePath("token"));
    token.open(QIODevice::WriteOnly);
    token.write(EvernoteDouble::kAccessToken);
    token.close();
    defaults.setObject(server().noteStoreUrl().toString(), "noteStoreUrl");
    EvernoteService service(server().config(), defaults, token.fileName());
    bool listed = false;
    QObject::connect(&service, &EvernoteService::notebooksListed, [&] { listed = true; });
    service.restoreSignIn();
    QElapsedTimer wait;
    wait.start();
    while (!listed && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    QEventLoop loop;
    QObject::connect(&service, &EvernoteService::noteUploaded, &loop, &QEventLoop::quit);
    QObject::connect(&service, &EvernoteService::uploadFailed, [&](const QString &, const QString &text) {
        state.SkipWithError(text.toStdString().c_str());
        loop.quit();
    });
    const EvernoteNotebook notebook{"11111111-1111-4111-8111-111111111111", "First Notebook"};
    qint64 longestStall = 0;
    for (auto _ : state) {
        Heartbeat heartbeat;
        service.uploadNote("Bench", paths, notebook);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit); // a bound, should the server never answer
        loop.exec();
        longestStall = std::max(longestStall, heartbeat.longestGapMs());
    }
    state.counters["longest_main_gap_ms"] = double(longestStall);
    state.SetBytesProcessed(state.iterations() * photos().bytes);
}
BENCHMARK(BM_EvernoteUpload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The part of an upload before anything is sent: reading the photos, hashing them, making the note.
void BM_BuildNote(benchmark::State &state) {
    const QStringList &paths = photos().paths;
    for (auto _ : state) {
        const auto built = EnmlNoteBuilder::build("Bench", "guid", paths);
        benchmark::DoNotOptimize(built.note.resources.size());
    }
    state.SetBytesProcessed(state.iterations() * photos().bytes);
}
BENCHMARK(BM_BuildNote)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The baseline: the same bytes posted by curl in one request to the same server.
void BM_CurlSameBytes(benchmark::State &state) {
    const QString &file = photos().concatenated;
    const QString url = server().config().scheme + "://" + server().config().host + "/sink";
    for (auto _ : state) {
        QProcess curl;
        curl.start("curl", {"-s", "-o", "/dev/null", "-H", "Expect:", "-H",
                            "Content-Type: application/octet-stream", "--data-binary", "@" + file, url});
        if (!curl.waitForFinished(60000) || curl.exitCode() != 0) state.SkipWithError("curl failed");
    }
    state.SetBytesProcessed(state.iterations() * photos().bytes);
}
BENCHMARK(BM_CurlSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

const bool registered =
    kl::compareWith("BM_EvernoteUpload/iterations:5/real_time", "BM_CurlSameBytes/iterations:5/real_time");

} // namespace
