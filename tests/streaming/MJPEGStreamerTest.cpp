#include <algorithm>
#include <memory>
#include <vector>

#include <QProcess>

#include <gtest/gtest.h>

#include "ServerTestClient.h"
#include "capture/I420Image.h"
#include "streaming/HTTPServer.h"
#include "streaming/JPEGCompressor.h"
#include "streaming/JpegFrame.h"
#include "support/TestSupport.h"

namespace {

const std::string kHeader = "HTTP/1.1 200 OK\r\n"
                            "Content-Type: multipart/x-mixed-replace; boundary=\"ca3cdghdujhihal3\"\r\n\r\n"
                            "--ca3cdghdujhihal3\n";

// A JPEG-shaped picture whose bytes tell it apart from others.
std::shared_ptr<const JpegFrame> picture(int number, std::size_t size = 1000) {
    std::vector<std::uint8_t> bytes(size, static_cast<std::uint8_t>(number));
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    bytes[size - 2] = 0xFF;
    bytes[size - 1] = 0xD9;
    return JpegFrame::make(std::move(bytes));
}

std::string part(const JpegFrame &frame) {
    return "Content-Type: image/jpeg\n\n" + std::string(frame.bytes().begin(), frame.bytes().end()) +
           "\n--ca3cdghdujhihal3\n";
}

class Stream : public ::testing::Test {
protected:
    void SetUp() override {
        HTTPServer::Configuration configuration;
        configuration.port = 0;
        server_ = std::make_unique<HTTPServer>(configuration);
        server_->start();
        ASSERT_EQ(server_->state(), HTTPServer::Running);
    }
    void TearDown() override { server_->stop(); }

    std::unique_ptr<ServerTestClient> connect(int receiveBuffer = 0) {
        auto client = std::make_unique<ServerTestClient>(server_->port(), "127.0.0.1", receiveBuffer);
        EXPECT_TRUE(client->send(getRequest("/stream")));
        return client;
    }
    // Waits until the server has a response running for each client (the header has been parsed).
    bool handlersRunning(std::size_t count) {
        return waitUntil([&] { return server_->clientCount() == count; });
    }

    std::unique_ptr<HTTPServer> server_;
};

} // namespace

TEST_F(Stream, StartsWithTheExactHeaderBeforeAnyPicture) {
    auto client = connect();
    ASSERT_TRUE(client->readAtLeast(kHeader.size()));
    EXPECT_EQ(client->received(), kHeader);
    // No picture, no part.
    EXPECT_FALSE(client->readAtLeast(kHeader.size() + 1, std::chrono::milliseconds(200)));
}

TEST_F(Stream, EachNewPictureGivesExactlyOnePartToEachClient) {
    auto a = connect();
    auto b = connect();
    ASSERT_TRUE(a->readAtLeast(kHeader.size()));
    ASSERT_TRUE(b->readAtLeast(kHeader.size()));
    ASSERT_TRUE(handlersRunning(2));

    std::string expected = kHeader;
    for (int i = 1; i <= 3; ++i) {
        const auto frame = picture(i, 5000 * i);
        server_->publishFrame(frame);
        server_->publishFrame(frame); // the same picture again is not a new one
        expected += part(*frame);
        ASSERT_TRUE(a->readAtLeast(expected.size()));
        ASSERT_TRUE(b->readAtLeast(expected.size()));
    }
    EXPECT_FALSE(a->readAtLeast(expected.size() + 1, std::chrono::milliseconds(200)));
    EXPECT_EQ(a->received(), expected);
    EXPECT_EQ(b->received(), expected);
}

TEST_F(Stream, ALateClientStartsWithTheNewestPicture) {
    server_->publishFrame(picture(1));
    const auto newest = picture(2);
    server_->publishFrame(newest);
    auto client = connect();
    const std::string expected = kHeader + part(*newest);
    ASSERT_TRUE(client->readAtLeast(expected.size()));
    EXPECT_FALSE(client->readAtLeast(expected.size() + 1, std::chrono::milliseconds(200)));
    EXPECT_EQ(client->received(), expected);
}

TEST_F(Stream, AClientThatLeavesIsReleasedWithoutAffectingOthers) {
    LogCapture log;
    auto staying = connect();
    auto leaving = connect();
    ASSERT_TRUE(handlersRunning(2));
    leaving.reset();
    ASSERT_TRUE(handlersRunning(1));
    EXPECT_TRUE(waitUntil([&] { return log.contains(QStringLiteral("<MJPEGStreamer: 0x")); }));
    EXPECT_TRUE(log.contains(QStringLiteral("> end response")));

    const auto frame = picture(7);
    server_->publishFrame(frame);
    EXPECT_TRUE(staying->readAtLeast(kHeader.size() + part(*frame).size()));
    EXPECT_EQ(staying->received(), kHeader + part(*frame));
}

TEST_F(Stream, AClientThatNeverReadsDoesNotHoldUpOthersNorPilesUpPictures) {
    auto stalled = connect(4096); // a small receive buffer that fills at once
    auto reader = connect();
    ASSERT_TRUE(handlersRunning(2));

    std::vector<std::weak_ptr<const JpegFrame>> published;
    std::size_t expected = kHeader.size();
    for (int i = 0; i < 20; ++i) {
        auto frame = picture(i, 200 * 1024);
        published.push_back(frame);
        expected += part(*frame).size();
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
    auto client = connect();
    ASSERT_TRUE(handlersRunning(1));

    auto planes = I420Image::create(QSize(64, 48));
    std::fill(planes->y(), planes->y() + I420Image::byteSize(planes->size()), 128);
    const FramePointer image = Frame::fromPlanes(std::move(planes));
    compressor.captureViewWillDisplayImage(image);
    ASSERT_TRUE(client->readUntilContains("\n--ca3cdghdujhihal3\nContent-Type: image/jpeg\n\n\xFF\xD8"));
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

TEST_F(Stream, CurlReadsTheStreamHeaderAndFirstPart) {
    const auto frame = picture(3, 4000);
    server_->publishFrame(frame);
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-sSi"), QStringLiteral("--max-time"), QStringLiteral("2"),
                QStringLiteral("http://127.0.0.1:%1/stream").arg(server_->port())});
    ASSERT_TRUE(curl.waitForStarted(5000));
    curl.waitForFinished(15000);
    EXPECT_EQ(curl.exitCode(), 28) << "curl should still be reading when its time is up";
    const QByteArray output = curl.readAllStandardOutput();
    EXPECT_EQ(output.toStdString(), kHeader + part(*frame));
}
