// Clients nobody here wrote, against the program in headless mode with the demo camera: ffmpeg
// decodes the stream, headless Chromium shows the page.
#include <cmath>
#include <csignal>
#include <thread>

#include <QImage>
#include <QRegularExpression>
#include <QSize>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "HeadlessRun.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

// The size the program set the demo camera to, from its log line "set resolution to: {w, h}".
QSize cameraSize(const HeadlessRun &run) {
    const auto match =
        QRegularExpression(QStringLiteral("set resolution to: \\{(\\d+), (\\d+)\\}")).match(run.logFile());
    return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
}

QByteArray runTool(const QString &program, const QStringList &arguments, int timeoutMs, QString *errors) {
    const ChildResult r =
        runChild(program, arguments, ChildProcess::systemEnvironment(), std::chrono::milliseconds(timeoutMs));
    *errors = QString::fromUtf8(r.err);
    if (r.exitCode != 0) errors->prepend(QStringLiteral("exit %1: ").arg(r.exitCode));
    return r.out;
}

double lumaStandardDeviation(const QImage &image) {
    double sum = 0, squares = 0;
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) {
            const double v = grey.constScanLine(y)[x];
            sum += v;
            squares += v * v;
        }
    const double n = double(grey.width()) * grey.height();
    return n > 0 ? std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n))) : 0;
}

} // namespace

// Opened the way players and recorders open a URL, with no format named: ffmpeg picks its multipart
// reader from the response's type, and that reader needs each part's length, the boundaries here
// following a bare LF.
TEST(HeadlessClients, FfmpegDecodesTwentyFramesOfTheDemoCameraSize) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) GTEST_SKIP() << "ffmpeg is not installed";
    HeadlessRun run;
    ASSERT_TRUE(run.start()) << qPrintable(run.failure());

    // The camera starts at its first size and moves to the stored one: read once that is done.
    ASSERT_TRUE(waitUntil([&] { return !cameraSize(run).isEmpty(); }, 30s)) << qPrintable(run.logFile());
    std::this_thread::sleep_for(1s);
    QString errors;
    const QByteArray frames =
        runTool(ffmpeg,
                {"-nostdin", "-hide_banner", "-loglevel", "error", "-i", run.url("/stream"), "-frames:v",
                 "20", "-f", "rawvideo", "-pix_fmt", "gray", "-"},
                60000, &errors);
    const QSize size = cameraSize(run);
    ASSERT_FALSE(size.isEmpty()) << qPrintable(run.logFile());
    EXPECT_EQ(frames.size(), qsizetype(20) * size.width() * size.height()) << qPrintable(errors);
    EXPECT_TRUE(run.stop(SIGTERM));
    EXPECT_EQ(run.exitCode(), 0);
}

TEST(HeadlessClients, ChromiumShowsTheDemoPictureOnThePage) {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) GTEST_SKIP() << "chromium is not installed";
    HeadlessRun run;
    ASSERT_TRUE(run.start()) << qPrintable(run.failure());

    QTemporaryDir profile;
    const QString shot = profile.filePath(QStringLiteral("page.png"));
    QString errors;
    runTool(chromium,
            {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + profile.filePath(QStringLiteral("profile")), "--window-size=800,600",
             "--virtual-time-budget=3000", "--screenshot=" + shot, run.url("/")},
            60000, &errors);
    const QImage page(shot);
    ASSERT_FALSE(page.isNull()) << qPrintable(errors);
    // A blank page (or a broken-image icon on white) is nearly uniform; the demo page has dark text
    // on a light sheet over a dark desk.
    EXPECT_GT(lumaStandardDeviation(page), 30.0);
    EXPECT_TRUE(run.stop(SIGTERM));
    EXPECT_EQ(run.exitCode(), 0);
}
