#include "streaming/MJPEGStreamClient.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include <sys/socket.h>

#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;
namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

// What a client reported: its parts, the sizes of its decoded pictures, and how its stream ended.
struct Report {
    std::vector<Bytes> parts;
    std::vector<std::pair<int, int>> sizes;
    std::vector<std::string> ends;
    std::string endError() const { return ends.empty() ? "(running)" : ends.front(); }
};

// Records a client's reports, from its stream thread.
struct Recorder : Report {
    mutable std::mutex mutex;

    void attach(MJPEGStreamClient &client, DecodedPicture::Format format = DecodedPicture::Format::YUV) {
        client.setPartHandler([this](const MJPEGStreamClient::Part &part) {
            std::lock_guard lock(mutex);
            parts.push_back(*part);
        });
        client.setPictureHandler(
            [this](const DecodedPicture &picture, const MJPEGStreamClient::Part &) {
                std::lock_guard lock(mutex);
                sizes.emplace_back(picture.width, picture.height);
            },
            format);
        client.setEndHandler([this](const std::string &error) {
            std::lock_guard lock(mutex);
            ends.push_back(error);
        });
    }
    bool ended() const {
        std::lock_guard lock(mutex);
        return !ends.empty();
    }
};

// Plays a client against `url` until the stream ends by itself; answers what it reported.
Report play(const std::string &url,
            std::chrono::milliseconds connectTimeout = MJPEGStreamClient::kConnectTimeout) {
    Recorder recorder;
    MJPEGStreamClient client;
    client.setConnectTimeout(connectTimeout);
    client.setStreamURL(QUrl(QString::fromStdString(url)));
    recorder.attach(client);
    client.start();
    EXPECT_TRUE(waitUntil([&] { return recorder.ended(); }, 20s));
    // The end handler runs on the stream's thread just before that thread marks itself finished.
    EXPECT_TRUE(waitUntil([&] { return !client.isRunning(); }, 5s));
    client.stop();
    std::lock_guard lock(recorder.mutex);
    return recorder;
}

ReplayServer::Script replay(std::string head, std::string body,
                            std::vector<std::size_t> pieces = {1500, 7, 333}) {
    return [head = std::move(head), body = std::move(body), pieces](const ReplayServer::Send &send) {
        if (!send(head)) return;
        for (std::string_view piece : piecesOf(body, pieces))
            if (!send(piece)) return;
    };
}

} // namespace

TEST(MJPEGStreamClientFormats, EveryCaptureOverHttp10OrChunkedHttp11YieldsExactlyItsFramesDecoded) {
    for (const Capture &capture : makeCaptures(6)) {
        ReplayServer server(replay(http10Head(capture.contentType), capture.body));
        const Report r = play(server.url());
        EXPECT_EQ(r.endError(), "") << capture.name;
        EXPECT_EQ(r.parts, capture.frames) << capture.name;
        ASSERT_EQ(r.sizes.size(), capture.frames.size()) << capture.name;
        EXPECT_EQ(r.sizes[1], std::make_pair(56, 32)) << capture.name;
    }
    const Capture capture = makeCaptures(5).front();
    ReplayServer server(replay("HTTP/1.1 200 OK\r\nContent-Type: " + capture.contentType +
                                   "\r\nTransfer-Encoding: chunked\r\n\r\n",
                               chunked(capture.body)));
    const Report r = play(server.url());
    EXPECT_EQ(r.endError(), "");
    EXPECT_EQ(r.parts, capture.frames);
}

TEST(MJPEGStreamClientRequest, SendsTheUrlsCredentialsAsBasicAuthenticationAndTheTarget) {
    ReplayServer server(replay(http10Head("multipart/x-mixed-replace; boundary=a"), "--a\r\n"));
    const std::string port = std::to_string(server.port());
    play("http://us%20er:p%40ss:w@127.0.0.1:" + port + "/cam?x=1");
    const std::string request = server.request();
    EXPECT_TRUE(request.starts_with("GET /cam?x=1 HTTP/1.1\r\n")) << request;
    // base64("us er:p@ss:w")
    EXPECT_NE(request.find("\r\nAuthorization: Basic dXMgZXI6cEBzczp3\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + port + "\r\n"), std::string::npos);
}

TEST(MJPEGStreamClientFailures, HttpErrorStatusEndsTheStreamAsAFailedConnection) {
    const Capture capture = makeCaptures(2).front();
    for (std::string status : {"404 Not Found", "500 Internal Server Error", "401 Unauthorized"}) {
        ReplayServer server(replay("HTTP/1.1 " + status + "\r\nContent-Type: " + capture.contentType +
                                       "\r\nContent-Length: " + std::to_string(capture.body.size()) +
                                       "\r\n\r\n",
                                   capture.body));
        LogCapture log;
        const Report r = play(server.url());
        EXPECT_TRUE(r.parts.empty()) << status;
        EXPECT_NE(r.endError().find(status.substr(0, 3)), std::string::npos) << r.endError();
        EXPECT_TRUE(log.contains("Error: HTTP status " + QString::fromStdString(status)));
    }
}

TEST(MJPEGStreamClientFailures, RefusedConnectionAndBadUrlsAreLoggedErrors) {
    for (const std::string &url : {"http://127.0.0.1:" + std::to_string(freePort()) + "/",
                                   std::string("ftp://127.0.0.1/x"), std::string("not a url")}) {
        LogCapture log;
        EXPECT_NE(play(url).endError(), "") << url;
        EXPECT_EQ(log.messages().filter(QStringLiteral("Error: ")).size(), 1) << url;
    }
}

TEST(MJPEGStreamClientFailures, ConnectTimesOutAgainstAListenerThatNeverAccepts) {
    // A loopback listener with a full accept queue: the kernel drops further handshakes, so a connect hangs.
    asio::io_context ioc;
    tcp::acceptor listener(ioc);
    listener.open(tcp::v4());
    listener.bind(tcp::endpoint(asio::ip::address_v4::loopback(), 0));
    ::listen(listener.native_handle(), 0);
    const auto endpoint = listener.local_endpoint();
    std::vector<int> fillers; // raw sockets: a connect that does not wait for its handshake
    for (int i = 0; i < 8; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(fillers.back(), endpoint.data(), static_cast<socklen_t>(endpoint.size()));
    }
    LogCapture log;
    EXPECT_EQ(play("http://127.0.0.1:" + std::to_string(endpoint.port()) + "/", 300ms).endError(),
              "connection timed out");
    EXPECT_TRUE(log.contains("Error: connection timed out"));
    for (int fd : fillers)
        ::close(fd);
}

TEST(MJPEGStreamClientBadInput, ServerStoppingMidFrameKeepsTheWholeFramesAndSaysSo) {
    const Capture capture = makeCaptures(3).front();
    ReplayServer server(
        replay(http10Head(capture.contentType), capture.body.substr(0, capture.body.size() - 500)));
    LogCapture log;
    EXPECT_EQ(play(server.url()).parts, std::vector<Bytes>(capture.frames.begin(), capture.frames.end() - 1));
    EXPECT_TRUE(log.contains("Stream ended inside an image"));
}

TEST(MJPEGStreamClientBadInput, EndlessResponseHeadersEndTheStream) {
    ReplayServer server([](const ReplayServer::Send &send) {
        send("HTTP/1.1 200 OK\r\n");
        for (int i = 0; i < 100000; ++i)
            if (!send("X-Padding-" + std::to_string(i) + ": 0123456789\r\n")) return;
    });
    LogCapture log;
    EXPECT_NE(play(server.url()).endError(), "");
    EXPECT_TRUE(log.contains("Error: "));
}

TEST(MJPEGStreamClientBadInput, HugePartOrNoBoundaryEndsAtTheBufferBound) {
    for (const char *partHeader : {"--b\r\nContent-Type: image/jpeg\r\nContent-Length: 104857600\r\n\r\n",
                                   "--b\r\nContent-Type: image/jpeg\r\n\r\n"}) {
        ReplayServer server([&](const ReplayServer::Send &send) {
            if (!send(http10Head("multipart/x-mixed-replace; boundary=b") + partHeader + "\xFF\xD8\xFF"))
                return;
            const std::string block(64 * 1024, '\x55');
            for (int i = 0; i < 1600; ++i) // 100 MiB
                if (!send(block)) return;
        });
        LogCapture log;
        EXPECT_TRUE(play(server.url()).parts.empty());
        EXPECT_TRUE(log.contains("Error: more than 33554432 bytes received without a complete image"));
        EXPECT_TRUE(waitUntil([&] { return server.done(); }));
        EXPECT_LT(server.bytesSent(), 64u * 1024 * 1024) << "the client kept reading";
    }
}

TEST(MJPEGStreamClientBadInput, GarbageIsReadToTheEndWithoutImages) {
    ReplayServer server(replay(http10Head("multipart/x-mixed-replace; boundary=g"), garbage(300000)));
    EXPECT_TRUE(play(server.url()).parts.empty());
}

TEST(MJPEGStreamClientLifecycle, StopIsPromptFromAnyThreadAndNoHandlerRunsAfterIt) {
    const std::string part =
        "--s\r\nContent-Type: image/jpeg\r\n\r\n" + asString(makeJpeg(64, 48, 9)) + "\r\n";
    ReplayServer server([&](const ReplayServer::Send &send) {
        if (!send(http10Head("multipart/x-mixed-replace; boundary=s"))) return;
        for (int i = 0; i < 100000 && send(part); ++i) {
        }
    });
    Recorder recorder;
    MJPEGStreamClient client;
    client.setStreamURL(QUrl(QString::fromStdString(server.url())));
    recorder.attach(client, DecodedPicture::Format::RGB);
    client.start();
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(recorder.mutex);
        return recorder.sizes.size() >= 3;
    }));
    EXPECT_TRUE(client.isRunning());
    client.stop();
    EXPECT_FALSE(client.isRunning());
    std::size_t seen = 0;
    {
        std::lock_guard lock(recorder.mutex);
        seen = recorder.parts.size();
        EXPECT_TRUE(recorder.ends.empty()) << "a stop is not an end of stream";
    }
    std::this_thread::sleep_for(50ms); // would give a stray handler its chance
    std::lock_guard lock(recorder.mutex);
    EXPECT_EQ(recorder.parts.size(), seen);
    EXPECT_EQ(recorder.sizes.back(), std::make_pair(64, 48));
}

TEST(MJPEGStreamClientLifecycle, AHandlerMayStopItsOwnStreamAndTheClientStartsAgain) {
    const Capture capture = makeCaptures(4).front();
    ReplayServer server(replay(http10Head(capture.contentType), capture.body)); // one script per connection
    MJPEGStreamClient client;
    std::atomic<int> parts{0};
    client.setPartHandler([&](const MJPEGStreamClient::Part &) {
        if (++parts == 2) client.stop();
    });
    client.setStreamURL(QUrl(QString::fromStdString(server.url())));
    client.start();
    ASSERT_TRUE(waitUntil([&] { return !client.isRunning(); }));
    EXPECT_EQ(parts.load(), 2) << "parts kept coming after the handler stopped the stream";

    client.setPartHandler([&](const MJPEGStreamClient::Part &) { ++parts; });
    client.start();
    ASSERT_TRUE(waitUntil([&] { return parts.load() == 6; }));
}
