#include <algorithm>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include <QFile>

#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "streaming/HTTPResponseHandler.h"
#include "streaming/HTTPServer.h"
#include "streaming/JpegFrame.h"
#include "support/TestSupport.h"

namespace {

const std::string kPage = "<html><body><img src=\"/stream\" /></body></html>";

class ServerRequests : public RunningServer {
protected:
    // The body after the header of a complete, closed response.
    static std::string bodyOf(const std::string &response) {
        const auto end = response.find("\r\n\r\n");
        return end == std::string::npos ? std::string() : response.substr(end + 4);
    }
    std::string exchange(const std::string &request) {
        ServerTestClient client(server_->port());
        EXPECT_TRUE(client.send(request));
        EXPECT_TRUE(client.readUntilClosed()) << "the server must close after the response";
        return client.received();
    }
};

// This process's resident memory (the server runs inside it).
long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

} // namespace

TEST_F(ServerRequests, PageHasExactLengthAndClosesAfterTheBody) {
    const std::string response = exchange(getRequest("/"));
    EXPECT_TRUE(response.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_NE(response.find("\r\nContent-Type: text/html\r\n"), std::string::npos);
    EXPECT_NE(response.find("\r\nConnection: close\r\n"), std::string::npos);
    EXPECT_NE(response.find("\r\nContent-Length: " + std::to_string(kPage.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(bodyOf(response), kPage);
    // A query string does not change the path.
    EXPECT_EQ(bodyOf(exchange(getRequest("/?x=1"))), kPage);
}

TEST_F(ServerRequests, OtherPathsGetNotImplementedWithTheEscapedUrl) {
    for (const std::string path :
         {"/index.html", "/stream/", "/stream.jpg", "/a?b=<script>alert(\"x\")</script>&c='d'"}) {
        const std::string response = exchange(getRequest(path));
        EXPECT_TRUE(response.starts_with("HTTP/1.1 501 Not Implemented\r\n")) << path;
        EXPECT_NE(response.find("\r\nConnection: close\r\n"), std::string::npos);
        EXPECT_EQ(bodyOf(response),
                  "<html><head><title>501 - Not Implemented</title></head><body><h1>501 - Not "
                  "Implemented</h1><p>No handler exists to handle " +
                      HTTPResponseHandler::htmlEscaped(path) + ".</p></body></html>");
        EXPECT_EQ(response.find("<script>"), std::string::npos) << "markup from the URL reached the page";
    }
    EXPECT_EQ(HTTPResponseHandler::htmlEscaped("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;");
}

TEST_F(ServerRequests, AHeaderSplitOverManySegmentsIsAnsweredOnceComplete) {
    const std::string request = getRequest("/");
    ServerTestClient client(server_->port());
    for (std::size_t i = 0; i + 1 < request.size(); ++i) {
        ASSERT_TRUE(client.send(request.substr(i, 1)));
        if (i % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_FALSE(client.readAtLeast(1, std::chrono::milliseconds(100)))
        << "answered before the header was complete";
    ASSERT_TRUE(client.send(request.substr(request.size() - 1)));
    EXPECT_TRUE(client.readUntilClosed());
    EXPECT_EQ(bodyOf(client.received()), kPage);
}

TEST_F(ServerRequests, ARequestWithABodyIsAnsweredWithoutWaitingForIt) {
    ServerTestClient client(server_->port());
    ASSERT_TRUE(
        client.send("POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\nfirst bytes of the body"));
    EXPECT_TRUE(client.readUntilContains(kPage));
    EXPECT_TRUE(client.received().starts_with("HTTP/1.1 200 OK\r\n"));
}

TEST_F(ServerRequests, GarbageIsClosedAPeerLeavingMidHeaderIsDroppedAndOthersAreStillServed) {
    LogCapture log;
    for (const std::string &garbage :
         {std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11),
          std::string("NOT HTTP AT ALL\r\n\r\n"), std::string("GET / HTTP/9.9\r\n\r\n"),
          std::string("GET / HTTP/1.1\r\nBad Header\r\n\r\n")}) {
        ServerTestClient client(server_->port());
        ASSERT_TRUE(client.send(garbage));
        EXPECT_TRUE(client.readUntilClosed());
        EXPECT_EQ(client.received().find("200 OK"), std::string::npos);
    }
    { // a peer that leaves before its header is complete is dropped
        ServerTestClient leaving(server_->port());
        ASSERT_TRUE(leaving.send("GET / HT"));
        ASSERT_TRUE(clientsAre(1));
    }
    EXPECT_TRUE(clientsAre(0));
    EXPECT_TRUE(servesThePage());
}

TEST_F(ServerRequests, AnOversizedHeaderGets431AndIsClosed) {
    ServerTestClient client(server_->port());
    std::string huge = "GET / HTTP/1.1\r\nHost: x\r\nX-Filler: ";
    huge.append(1 << 20, 'a');
    client.sendWhatFits(huge, std::chrono::seconds(2)); // the server stops taking bytes long before
    EXPECT_TRUE(client.readUntilClosed());
    EXPECT_TRUE(client.received().starts_with("HTTP/1.1 431 ")) << client.received().substr(0, 80);
    EXPECT_TRUE(servesThePage());

    // Just under the limit is still a request.
    std::string large = "GET / HTTP/1.1\r\nHost: x\r\nX-Filler: ";
    large.append(8 * 1024 - large.size() - 64, 'b');
    large += "\r\n\r\n";
    EXPECT_TRUE(exchange(large).starts_with("HTTP/1.1 200 OK\r\n"));
}

// A flood of 1,000 connections that are opened and held: beyond the cap each gets 503 at once (one log
// line for the flood), the streams already running keep getting every picture, and the server's memory
// does not grow with the flood.
TEST_F(ServerRequests, AThousandHeldConnectionsAreRefusedBeyondTheCapWhileStreamsGoOn) {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 2048 && files.rlim_max >= 2048) {
        files.rlim_cur = 2048;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    if (files.rlim_cur < 2048) GTEST_SKIP() << "needs 2048 file descriptors";
    const std::size_t cap = server_->configuration().maxClients;
    LogCapture log;
    std::vector<std::unique_ptr<ServerTestClient>> streams;
    for (int i = 0; i < 4; ++i) {
        streams.push_back(std::make_unique<ServerTestClient>(server_->port()));
        ASSERT_TRUE(streams.back()->send(getRequest("/stream")));
    }
    ASSERT_TRUE(clientsAre(streams.size()));
    const long rssBefore = residentKilobytes();

    std::vector<std::unique_ptr<ServerTestClient>> flood;
    for (int i = 0; i < 1000; ++i) {
        flood.push_back(std::make_unique<ServerTestClient>(server_->port()));
        ASSERT_TRUE(flood.back()->connected()) << "connection " << i;
    }
    std::size_t refused = 0;
    waitUntil(
        [&] {
            refused = 0;
            for (auto &client : flood)
                refused += client->readUntilClosed(std::chrono::milliseconds(0)) ? 1 : 0;
            return refused >= flood.size() - (cap - streams.size());
        },
        std::chrono::seconds(30));
    EXPECT_EQ(refused, flood.size() - (cap - streams.size()));
    EXPECT_EQ(server_->clientCount(), cap);
    EXPECT_EQ(std::count_if(
                  flood.begin(), flood.end(),
                  [](auto &c) { return c->received().starts_with("HTTP/1.1 503 Service Unavailable\r\n"); }),
              long(refused));
    EXPECT_EQ(log.messages().filter(QStringLiteral("Refusing connections")).size(), 1)
        << "one line per flood";

    // The streams go on while the flood is held.
    std::string expected;
    for (int i = 0; i < 5; ++i) {
        const auto frame = jpegShaped(i, 50 * 1024);
        expected = streamPart(*frame);
        server_->publishFrame(frame);
        for (auto &stream : streams)
            ASSERT_TRUE(stream->readUntilContains(expected)) << "picture " << i;
    }
    // Held connections and refusals cost the server no more than a few megabytes.
    EXPECT_LT(residentKilobytes() - rssBefore, 16 * 1024);

    flood.clear();
    ASSERT_TRUE(clientsAre(streams.size(), std::chrono::seconds(15)));
    EXPECT_TRUE(servesThePage());
}

// Sixty-four clients that ask for the stream and then never read take every free place: each is
// dropped once it has taken no byte for the send time-out, so a new viewer gets in within that time,
// while the viewers already served get every picture.
TEST_F(ServerRequests, StalledStreamClientsGiveWayToANewViewerWithinTheSendTimeOut) {
    using namespace std::chrono_literals;
    const std::size_t kViewers = 2, kStalled = 64;
    const auto timeout = 2s;
    server_->stop();
    startServer({.port = 0, .maxClients = kViewers + kStalled, .sendTimeout = timeout});
    LogCapture log;
    std::vector<std::unique_ptr<ServerTestClient>> viewers, stalled;
    while (viewers.size() < kViewers)
        viewers.push_back(connectStream());
    ASSERT_TRUE(clientsAre(kViewers));
    while (stalled.size() < kStalled)
        stalled.push_back(connectStream(4096));
    ASSERT_TRUE(clientsAre(kViewers + kStalled));

    std::string expected = kStreamHead;
    const auto publish = [&](int number, std::size_t size) {
        const auto frame = jpegShaped(number, size);
        expected += streamPart(*frame);
        server_->publishFrame(frame);
        return std::all_of(viewers.begin(), viewers.end(),
                           [&](auto &viewer) { return viewer->readAtLeast(expected.size()); });
    };
    // More than any socket's buffers hold (a few megabytes): from here on no stalled client takes a
    // byte, and each one's time-out runs.
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(publish(i, 256 * 1024)) << "picture " << i;
    const auto buffersFull = std::chrono::steady_clock::now();
    for (int i = 20; i < 2000 && server_->clientCount() > viewers.size(); ++i) {
        ASSERT_TRUE(publish(i, 4096)) << "picture " << i;
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(server_->clientCount(), viewers.size());
    EXPECT_LT(std::chrono::steady_clock::now() - buffersFull, timeout + 2s * kSlowdown);
    for (auto &viewer : viewers)
        EXPECT_EQ(viewer->received(), expected);
    EXPECT_EQ(log.messages().filter(QStringLiteral("has taken no byte")).size(), qsizetype(kStalled));

    auto newcomer = connectStream();
    ASSERT_TRUE(clientsAre(viewers.size() + 1));
    const auto frame = jpegShaped(1000);
    server_->publishFrame(frame);
    EXPECT_TRUE(newcomer->readUntilContains(streamPart(*frame)));
}

TEST_F(ServerRequests, ASlowHeaderIsClosedAtTheTimeOutWhileOthersAreServed) {
    server_->stop();
    startServer({.port = 0, .headerTimeout = std::chrono::milliseconds(600)});

    LogCapture log;
    ServerTestClient slowloris(server_->port());
    const std::string request = getRequest("/");
    std::size_t sent = 0;
    // One byte every 100 ms: far too slow to finish the header within the time-out.
    for (int i = 0; i < 40 && !slowloris.peerClosed(); ++i) {
        if (!slowloris.send(request.substr(sent++, 1))) break;
        slowloris.readUntilClosed(std::chrono::milliseconds(100));
        if (i == 2) {
            EXPECT_TRUE(servesThePage());
        }
    }
    EXPECT_TRUE(slowloris.peerClosed());
    EXPECT_LT(sent, request.size());
    EXPECT_TRUE(slowloris.received().empty());
    EXPECT_TRUE(log.contains(QStringLiteral("did not arrive within 600 ms")));
}

TEST(HandlerRegistry, HigherPriorityFirstAndAmongEqualsTheLastRegistered) {
    using H = HTTPResponseHandler;
    static std::vector<std::string> asked;
    const auto make = [](const char *name, unsigned priority,
                         bool (*can)(const H::Request &, const std::string &, const std::string &,
                                     const H::HeaderFields &)) {
        H::HandlerClass c = H::handlerClass();
        c.name = name;
        c.priority = priority;
        c.canHandleRequest = can;
        return c;
    };
    H::registerHandler(make("low", 1, [](auto &, auto &, const std::string &url, auto &) {
        asked.push_back("low");
        return url == "/x" || url == "/y";
    }));
    H::registerHandler(make("high", 7, [](auto &, auto &, const std::string &url, auto &) {
        asked.push_back("high");
        return url == "/x";
    }));
    H::registerHandler(make("low2", 1, [](auto &, auto &, const std::string &url, auto &) {
        asked.push_back("low2");
        return url == "/y";
    }));
    const H::Request request;
    EXPECT_EQ(H::handlerClassForRequest(request, "GET", "/x", {}).name, "high");
    EXPECT_EQ(asked, (std::vector<std::string>{"high"}));
    asked.clear();
    EXPECT_EQ(H::handlerClassForRequest(request, "GET", "/y", {}).name, "low2");
    EXPECT_EQ(asked, (std::vector<std::string>{"high", "low2"}));
    asked.clear();
    // The built-in classes (priority 0) still come after, the base class last.
    EXPECT_EQ(H::handlerClassForRequest(request, "GET", "/", {}).name, "StreamPageResponder");
    EXPECT_EQ(H::handlerClassForRequest(request, "GET", "/stream", {}).name, "MJPEGStreamer");
    EXPECT_EQ(H::handlerClassForRequest(request, "GET", "/stream/", {}).name, "HTTPResponseHandler");
    EXPECT_EQ(H::handlerClassForRequest(request, "GET", "http://host:8080/stream?a=b", {}).name,
              "MJPEGStreamer");
}
