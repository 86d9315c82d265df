#include <thread>
#include <vector>

#include <sys/resource.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ServerTestClient.h"
#include "streaming/HTTPResponseHandler.h"
#include "streaming/HTTPServer.h"
#include "streaming/JpegFrame.h"
#include "support/TestSupport.h"

namespace {

const std::string kPage = "<html><body><img src=\"/stream\" /></body></html>";

class ServerRequests : public ::testing::Test {
protected:
    void startServer(HTTPServer::Configuration configuration = {}) {
        configuration.port = 0;
        server_ = std::make_unique<HTTPServer>(configuration);
        server_->start();
        ASSERT_EQ(server_->state(), HTTPServer::Running);
    }
    void SetUp() override { startServer(); }
    void TearDown() override { server_->stop(); }

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
    bool servesThePage() { return exchange(getRequest("/")).starts_with("HTTP/1.1 200 OK\r\n"); }

    std::unique_ptr<HTTPServer> server_;
};

// This process's resident memory (the server runs inside it).
long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

QByteArray runCurl(const QStringList &arguments, int *exitCode = nullptr) {
    QProcess curl;
    curl.start(QStringLiteral("curl"), arguments);
    if (!curl.waitForStarted(5000)) return "curl did not start";
    curl.waitForFinished(15000);
    if (exitCode) *exitCode = curl.exitCode();
    return curl.readAllStandardOutput();
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

TEST_F(ServerRequests, CurlFetchesThePage) {
    int exitCode = -1;
    const QByteArray body =
        runCurl({QStringLiteral("-sS"), QStringLiteral("--max-time"), QStringLiteral("10"),
                 QStringLiteral("http://127.0.0.1:%1/").arg(server_->port())},
                &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(body.toStdString(), kPage);
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

TEST_F(ServerRequests, GarbageIsClosedAndOthersAreStillServed) {
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
    EXPECT_TRUE(servesThePage());
    EXPECT_TRUE(waitUntil([&] { return server_->clientCount() == 0; }));
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

TEST_F(ServerRequests, ConnectionsBeyondTheCapGet503) {
    const std::size_t cap = server_->configuration().maxClients;
    ASSERT_EQ(cap, 64u);
    LogCapture log;
    std::vector<std::unique_ptr<ServerTestClient>> held;
    for (int i = 0; i < 200; ++i)
        held.push_back(std::make_unique<ServerTestClient>(server_->port()));
    for (auto &client : held)
        ASSERT_TRUE(client->connected());
    // Poll every client without waiting until all refusals have arrived (bounded).
    std::size_t refused = 0;
    waitUntil(
        [&] {
            refused = 0;
            for (auto &client : held)
                refused += client->readUntilClosed(std::chrono::milliseconds(0)) ? 1 : 0;
            return refused >= 200 - cap;
        },
        std::chrono::seconds(10));
    const std::size_t open = 200 - refused;
    EXPECT_EQ(open, cap);
    EXPECT_EQ(refused, 200 - cap);
    std::size_t with503 = 0;
    for (auto &client : held) {
        if (client->received().starts_with("HTTP/1.1 503 Service Unavailable\r\n")) ++with503;
    }
    EXPECT_EQ(with503, 200 - cap);
    EXPECT_EQ(server_->clientCount(), cap);
    EXPECT_EQ(log.messages().filter(QStringLiteral("Refusing connections")).size(), 1)
        << "one line per flood";

    // Once the held connections go, new clients are served again.
    held.clear();
    ASSERT_TRUE(waitUntil([&] { return server_->clientCount() == 0; }));
    EXPECT_TRUE(servesThePage());
}

// A flood of 1,000 connections that are opened and held: beyond the cap each is refused at once, the
// streams already running keep getting every picture, and the server's memory does not grow with
// the flood.
TEST_F(ServerRequests, AThousandHeldConnectionsAreRefusedBeyondTheCapWhileStreamsGoOn) {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 2048 && files.rlim_max >= 2048) {
        files.rlim_cur = 2048;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    if (files.rlim_cur < 2048) GTEST_SKIP() << "needs 2048 file descriptors";
    const std::size_t cap = server_->configuration().maxClients;

    std::vector<std::unique_ptr<ServerTestClient>> streams;
    for (int i = 0; i < 4; ++i) {
        streams.push_back(std::make_unique<ServerTestClient>(server_->port()));
        ASSERT_TRUE(streams.back()->send(getRequest("/stream")));
    }
    ASSERT_TRUE(waitUntil([&] { return server_->clientCount() == streams.size(); }));
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

    // The streams go on while the flood is held.
    std::string expected;
    for (int i = 0; i < 5; ++i) {
        std::vector<std::uint8_t> bytes(50 * 1024, static_cast<std::uint8_t>(i));
        bytes[0] = 0xFF, bytes[1] = 0xD8, bytes[bytes.size() - 2] = 0xFF, bytes.back() = 0xD9;
        expected.assign(bytes.begin(), bytes.end());
        server_->publishFrame(JpegFrame::make(std::move(bytes)));
        for (auto &stream : streams)
            ASSERT_TRUE(stream->readUntilContains(expected + "\n--ca3cdghdujhihal3\n")) << "picture " << i;
    }
    // Held connections and refusals cost the server no more than a few megabytes.
    EXPECT_LT(residentKilobytes() - rssBefore, 16 * 1024);

    flood.clear();
    ASSERT_TRUE(
        waitUntil([&] { return server_->clientCount() == streams.size(); }, std::chrono::seconds(15)));
    EXPECT_TRUE(servesThePage());
}

TEST_F(ServerRequests, ASlowHeaderIsClosedAtTheTimeOutWhileOthersAreServed) {
    server_->stop();
    HTTPServer::Configuration configuration;
    configuration.headerTimeout = std::chrono::milliseconds(600);
    startServer(configuration);

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

TEST_F(ServerRequests, APeerLeavingBeforeItsHeaderIsCompleteIsDropped) {
    {
        ServerTestClient client(server_->port());
        ASSERT_TRUE(client.send("GET / HT"));
        ASSERT_TRUE(waitUntil([&] { return server_->clientCount() == 1; }));
    }
    EXPECT_TRUE(waitUntil([&] { return server_->clientCount() == 0; }));
    EXPECT_TRUE(servesThePage());
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
