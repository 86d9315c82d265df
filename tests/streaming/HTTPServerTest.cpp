#include "streaming/HTTPServer.h"

#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "streaming/NetworkInterfaces.h"
#include "support/TestSupport.h"

namespace {

// Everything the server announces or calls, in order, from whichever thread.
class EventRecorder {
public:
    explicit EventRecorder(HTTPServer &server) {
        for (const QString &name : {DCNote::ServerNotificationStateChanged, DCNote::VideoStreamServerDidStart,
                                    DCNote::VideoStreamServerDidStop})
            observers_.add(name, [this, &server](const DCNotification &n) {
                EXPECT_EQ(n.object.value<HTTPServer *>(), &server);
                record(n.name == DCNote::ServerNotificationStateChanged
                           ? QStringLiteral("state %1").arg(server.state()).toStdString()
                           : n.name.toStdString());
            });
        HTTPServer::Hooks hooks;
        hooks.startFrameSource = [this] { record("startFrameSource"); };
        hooks.announce = [this](std::uint16_t port) { record("announce " + std::to_string(port)); };
        hooks.stopFrameSource = [this] { record("stopFrameSource"); };
        hooks.withdraw = [this] { record("withdraw"); };
        server.setHooks(hooks);
    }
    void record(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }

private:
    std::mutex mutex_;
    std::vector<std::string> events_;
    DCObserverSet observers_;
};

} // namespace

TEST(HTTPServerLifecycle, StartAndStopRunTheirSequencesInOrder) {
    HTTPServer server({.port = 0});
    EventRecorder recorder(server);
    server.start();
    ASSERT_EQ(server.state(), HTTPServer::Running);
    ASSERT_NE(server.port(), 0);
    const std::string port = std::to_string(server.port());
    EXPECT_EQ(recorder.take(), (std::vector<std::string>{"state 2", "startFrameSource", "announce " + port,
                                                         "VideoStreamServerDidStart"}));
    server.stop();
    EXPECT_EQ(server.state(), HTTPServer::Idle);
    EXPECT_EQ(recorder.take(), (std::vector<std::string>{"state 3", "state 0", "stopFrameSource",
                                                         "VideoStreamServerDidStop", "withdraw"}));
    // Nothing listens any more, and the server starts again on request.
    EXPECT_FALSE(ServerTestClient(static_cast<std::uint16_t>(std::stoi(port))).connected());
    server.start();
    EXPECT_EQ(server.state(), HTTPServer::Running);
    ServerTestClient client(server.port());
    EXPECT_TRUE(client.connected());
    server.stop();
}

TEST(HTTPServerLifecycle, NeedlessCallsChangeNothing) {
    HTTPServer server({.port = 0});
    EventRecorder recorder(server);
    server.stop(); // never started
    server.setState(HTTPServer::Idle);
    EXPECT_EQ(server.state(), HTTPServer::Idle);
    EXPECT_TRUE(recorder.take().empty());
    server.setState(HTTPServer::Stopping);
    server.setState(HTTPServer::Stopping);
    EXPECT_EQ(recorder.take(), std::vector<std::string>{"state 3"});
    server.setState(HTTPServer::Idle);

    server.start();
    const auto port = server.port();
    server.start(); // keeps the running server
    EXPECT_EQ(server.state(), HTTPServer::Running);
    EXPECT_EQ(server.port(), port);
    EXPECT_TRUE(ServerTestClient(port).connected());
    server.stop();
}

TEST(HTTPServerLifecycle, APortInUseIsReportedAndLeavesTheServerIdle) {
    HTTPServer first({.port = 0});
    first.start();
    ASSERT_EQ(first.state(), HTTPServer::Running);

    HTTPServer second({.port = first.port()});
    LogCapture log;
    second.start();
    EXPECT_EQ(second.state(), HTTPServer::Idle);
    ASSERT_TRUE(second.lastError().has_value());
    EXPECT_EQ(second.lastError()->domain, QStringLiteral("HTTPServerError"));
    EXPECT_EQ(second.lastError()->code, 0);
    EXPECT_TRUE(log.contains(QStringLiteral("HTTPServer error: ")));
    EXPECT_EQ(second.address(), QStringLiteral("N/A"));
    // The first server is untouched.
    EXPECT_TRUE(servesThePage(first.port()));
    second.stop();
    first.stop();
}

TEST(HTTPServerLifecycle, ServesIPv6AsWellAsIPv4) {
    HTTPServer server({.port = 0});
    server.start();
    ServerTestClient v6(server.port(), "::1");
    if (!v6.connected()) {
        server.stop();
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    }
    ASSERT_TRUE(v6.send(getRequest("/")));
    EXPECT_TRUE(v6.readUntilContains("200 OK"));
    server.stop();
}

TEST(HTTPServerLifecycle, TheDefaultConfigurationTakesItsPortFromTheHiddenDefault) {
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setInteger(18080, QStringLiteral("HTTPServerPort"));
    EXPECT_EQ(HTTPServer::defaultConfiguration().port, 18080);
    defaults.setInteger(70000, QStringLiteral("HTTPServerPort"));
    EXPECT_EQ(HTTPServer::defaultConfiguration().port, HTTPServer::kDefaultPort);
    defaults.removeObjectForKey(QStringLiteral("HTTPServerPort"));
}

TEST(HTTPServerAddress, IsNotAvailableUnlessRunning) {
    HTTPServer server({.port = 0});
    EXPECT_EQ(server.address(), QStringLiteral("N/A"));
    server.start();
    const QString running = server.address();
    // With no suitable interface the answer is "N/A" even while running.
    if (running != QStringLiteral("N/A")) {
        EXPECT_TRUE(running.startsWith(QStringLiteral("http://")));
        EXPECT_TRUE(running.endsWith(QStringLiteral(":%1").arg(server.port())));
    }
    server.stop();
    EXPECT_EQ(server.address(), QStringLiteral("N/A"));
}

TEST(HTTPServerAddress, PrefersWiredThenWirelessAndSkipsLoopbackAndDownInterfaces) {
    using E = NetworkInterfaces::Entry;
    const E lo{"lo", "127.0.0.1", true, true};
    const E docker{"docker0", "172.17.0.1", true, false};
    const E wifi{"wlp2s0", "192.168.1.20", true, false};
    const E wiredDown{"eth0", "10.0.0.2", false, false};
    const E wired{"enp3s0", "10.0.0.3", true, false};
    const E eth{"eth1", "10.0.0.4", true, false};

    EXPECT_EQ(NetworkInterfaces::preferredIPv4({lo, docker, wifi, wiredDown, wired, eth}), "10.0.0.3");
    EXPECT_EQ(NetworkInterfaces::preferredIPv4({lo, eth, wired}), "10.0.0.4");
    EXPECT_EQ(NetworkInterfaces::preferredIPv4({lo, docker, wifi, wiredDown}), "192.168.1.20");
    EXPECT_EQ(NetworkInterfaces::preferredIPv4({lo, wiredDown, docker}), "172.17.0.1");
    EXPECT_EQ(NetworkInterfaces::preferredIPv4({lo, wiredDown}), std::nullopt);
    EXPECT_EQ(NetworkInterfaces::preferredIPv4({}), std::nullopt);
}
