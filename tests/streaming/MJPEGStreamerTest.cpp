#include <algorithm>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "capture/I420Image.h"
#include "streaming/HTTPServer.h"
#include "streaming/JPEGCompressor.h"
#include "streaming/JpegFrame.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace {
class Stream : public RunningServer {};
const std::string &kHeader = kStreamHead;

// Decoded planes of one grey level, `width` pixels wide.
FramePointer flatPicture(int width) {
    auto planes = I420Image::create(QSize(width, 48));
    std::fill(planes->y(), planes->y() + I420Image::byteSize(planes->size()), 128);
    return Frame::fromPlanes(std::move(planes));
}
} // namespace

TEST_F(Stream, StartsWithTheExactHeaderBeforeAnyPicture) {
    auto client = connectStream();
    ASSERT_TRUE(client->readAtLeast(kHeader.size()));
    EXPECT_EQ(client->received(), kHeader);
    // No picture, no part.
    EXPECT_FALSE(client->readAtLeast(kHeader.size() + 1, std::chrono::milliseconds(200)));
}

TEST_F(Stream, EachNewPictureGivesExactlyOnePartToEachClient) {
    auto a = connectStream();
    auto b = connectStream();
    ASSERT_TRUE(a->readAtLeast(kHeader.size()));
    ASSERT_TRUE(b->readAtLeast(kHeader.size()));
    ASSERT_TRUE(clientsAre(2));

    std::string expected = kHeader;
    for (int i = 1; i <= 3; ++i) {
        const auto frame = jpegShaped(i, 5000 * i);
        server_->publishFrame(frame);
        server_->publishFrame(frame); // the same picture again is not a new one
        expected += streamPart(*frame);
        ASSERT_TRUE(a->readAtLeast(expected.size()));
        ASSERT_TRUE(b->readAtLeast(expected.size()));
    }
    EXPECT_FALSE(a->readAtLeast(expected.size() + 1, std::chrono::milliseconds(200)));
    EXPECT_EQ(a->received(), expected);
    EXPECT_EQ(b->received(), expected);
}

TEST_F(Stream, ALateClientStartsWithTheNewestPicture) {
    server_->publishFrame(jpegShaped(1));
    const auto newest = jpegShaped(2);
    server_->publishFrame(newest);
    auto client = connectStream();
    const std::string expected = kHeader + streamPart(*newest);
    ASSERT_TRUE(client->readAtLeast(expected.size()));
    EXPECT_FALSE(client->readAtLeast(expected.size() + 1, std::chrono::milliseconds(200)));
    EXPECT_EQ(client->received(), expected);
}

TEST_F(Stream, AClientThatLeavesIsReleasedWithoutAffectingOthers) {
    LogCapture log;
    auto staying = connectStream();
    auto leaving = connectStream();
    ASSERT_TRUE(clientsAre(2));
    leaving.reset();
    ASSERT_TRUE(clientsAre(1));
    EXPECT_TRUE(waitUntil([&] { return log.contains(QStringLiteral("<MJPEGStreamer: 0x")); }));
    EXPECT_TRUE(log.contains(QStringLiteral("> end response")));

    const auto frame = jpegShaped(7);
    server_->publishFrame(frame);
    EXPECT_TRUE(staying->readAtLeast(kHeader.size() + streamPart(*frame).size()));
    EXPECT_EQ(staying->received(), kHeader + streamPart(*frame));
}

TEST_F(Stream, AClientThatNeverReadsDoesNotHoldUpOthersNorPilesUpPictures) {
    auto stalled = connectStream(4096); // a small receive buffer that fills at once
    auto reader = connectStream();
    ASSERT_TRUE(clientsAre(2));

    std::vector<std::weak_ptr<const JpegFrame>> published;
    std::size_t expected = kHeader.size();
    for (int i = 0; i < 20; ++i) {
        auto frame = jpegShaped(i, 200 * 1024);
        published.push_back(frame);
        expected += streamPart(*frame).size();
        server_->publishFrame(std::move(frame));
        ASSERT_TRUE(reader->readAtLeast(expected)) << "the reader stalled at picture " << i;
    }
    EXPECT_EQ(reader->received().size(), expected);
    // The stalled client holds at most the picture it is writing and the newest one.
    std::size_t alive = 0;
    for (const auto &frame : published)
        alive += frame.expired() ? 0 : 1;
    EXPECT_LE(alive, 3u);
    EXPECT_FALSE(stalled->peerClosed());
}

TEST_F(Stream, AfterTheCompressorStopsClientsKeepTheirConnectionButGetNoParts) {
    JPEGCompressor compressor;
    compressor.setFrameSink(
        [this](std::shared_ptr<const JpegFrame> frame) { server_->publishFrame(std::move(frame)); });
    compressor.setFrameInterval(std::chrono::microseconds(0));
    compressor.start();
    auto client = connectStream();
    ASSERT_TRUE(clientsAre(1));

    const FramePointer image = flatPicture(64);
    compressor.captureViewWillDisplayImage(image);
    ASSERT_TRUE(
        client->readUntilContains("\n--ca3cdghdujhihal3\nContent-Type: image/jpeg\nContent-Length: "));
    ASSERT_TRUE(client->readUntil(
        [](const std::string &r) { return r.ends_with("\xFF\xD9\n--ca3cdghdujhihal3\n"); }));
    const std::size_t received = client->received().size();

    compressor.stop();
    compressor.captureViewWillDisplayImage(image);
    EXPECT_FALSE(client->readAtLeast(received + 1, std::chrono::milliseconds(300)));
    EXPECT_FALSE(client->peerClosed());
    EXPECT_EQ(server_->clientCount(), 1u);

    server_->stop();
    EXPECT_TRUE(client->readUntilClosed());
}

// Nobody watching, no picture is compressed; the first client gets the newest one at once, and when the
// last one leaves compressing stops again.
TEST_F(Stream, PicturesAreCompressedOnlyWhileAStreamClientWatches) {
    JPEGCompressor compressor;
    compressor.setFrameSink(
        [this](std::shared_ptr<const JpegFrame> frame) { server_->publishFrame(std::move(frame)); });
    compressor.setFrameInterval(std::chrono::microseconds(0));
    compressor.compressOnlyWhileWatched(*server_);
    compressor.start();
    compressor.captureViewWillDisplayImage(flatPicture(64));
    compressor.captureViewWillDisplayImage(flatPicture(80));
    EXPECT_FALSE(
        waitUntil([&] { return compressor.currentFrameData() != nullptr; }, std::chrono::milliseconds(300)));

    auto client = connectStream();
    ASSERT_TRUE(client->readUntil([](const std::string &r) {
        return r.ends_with("\n--ca3cdghdujhihal3\n") && r.size() > kHeader.size();
    }));
    const auto newest = compressor.currentFrameData();
    ASSERT_TRUE(newest);
    EXPECT_EQ(decodeJpeg(Bytes(newest->bytes().begin(), newest->bytes().end()))->width, 80);
    EXPECT_EQ(client->received(), kHeader + streamPart(*newest));

    client.reset();
    ASSERT_TRUE(clientsAre(0));
    // The next viewer must not start with a picture that grew old while nobody watched.
    EXPECT_TRUE(waitUntil([&] { return server_->currentFrame() == nullptr; }));
    compressor.captureViewWillDisplayImage(flatPicture(96));
    EXPECT_FALSE(
        waitUntil([&] { return compressor.currentFrameData() != newest; }, std::chrono::milliseconds(300)));
    compressor.stop();
    server_->setStreamClientsHandler({});
}

// A client nobody here wrote: curl gets the page whole, and the stream's head and first part (still
// reading when its time is up).
TEST_F(Stream, CurlFetchesThePageAndReadsTheStreamHeaderAndFirstPart) {
    const auto frame = jpegShaped(3, 4000);
    server_->publishFrame(frame);
    const auto curl = [&](const char *path, int expectedExit) {
        const ChildResult curl =
            runChild(QStringLiteral("curl"),
                     {QStringLiteral("-sSi"), QStringLiteral("--max-time"), QStringLiteral("2"),
                      QStringLiteral("http://127.0.0.1:%1").arg(server_->port()) + QLatin1String(path)},
                     ChildProcess::systemEnvironment(), std::chrono::seconds(15));
        EXPECT_EQ(curl.exitCode, expectedExit) << path;
        return curl.out.toStdString();
    };
    const std::string page = curl("/", 0);
    EXPECT_TRUE(page.starts_with("HTTP/1.1 200 OK\r\n")) << page;
    EXPECT_TRUE(page.ends_with("\r\n\r\n<html><body><img src=\"/stream\" /></body></html>")) << page;
    EXPECT_EQ(curl("/stream", 28), kHeader + streamPart(*frame));
}
