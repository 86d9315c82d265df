#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

#include <QStandardPaths>

#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "streaming/MJPEGStreamClient.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

// A stream server nobody here wrote: the ffmpeg encoder serving its own multipart JPEG output over HTTP.
TEST(MJPEGStreamFFmpeg, DecodesAtLeastTwentyFramesOfAnEncodersTestPattern) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) GTEST_SKIP() << "ffmpeg is not installed";

    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(freePort());
    ChildProcess server;
    ASSERT_TRUE(server.start(ffmpeg, {"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                                      "testsrc=size=640x480:rate=25", "-t", "60", "-f", "mpjpeg", "-listen",
                                      "1", url}));

    std::mutex mutex;
    int decoded = 0;
    bool allFullSize = true;
    std::atomic<bool> ended{false};
    MJPEGStreamClient client;
    client.setStreamURL(QUrl(url));
    client.setPictureHandler([&](const DecodedPicture &picture, const MJPEGStreamClient::Part &) {
        std::lock_guard lock(mutex);
        ++decoded;
        allFullSize = allFullSize && picture.width == 640 && picture.height == 480;
    });
    client.setEndHandler([&](const std::string &) { ended = true; });
    const auto enough = [&] {
        std::lock_guard lock(mutex);
        return decoded >= 20;
    };
    // The encoder opens its listening socket only after it has set up its input.
    for (int attempt = 0; attempt < 100 && !enough(); ++attempt) {
        ended = false;
        client.start();
        waitUntil([&] { return ended.load() || enough(); }, 10s);
        if (!enough()) std::this_thread::sleep_for(100ms);
        if (!server.running()) break;
    }
    client.stop();
    const bool exitedEarly = !server.running();
    server.signal(SIGKILL); // by its process id
    server.waitForExit(5s);
    EXPECT_FALSE(exitedEarly) << server.err().toStdString();

    std::lock_guard lock(mutex);
    EXPECT_GE(decoded, 20);
    EXPECT_TRUE(allFullSize);
}
