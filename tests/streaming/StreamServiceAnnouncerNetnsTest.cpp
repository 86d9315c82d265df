// Against a real avahi-daemon: run only inside tools/dnssd-netns.sh; outside it the test skips.
#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "dnssd/AvahiDnsSdProvider.h"
#include "streaming/HTTPServer.h"
#include "streaming/StreamServiceAnnouncer.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

TEST(StreamServiceAnnouncerNetns, BothServicesSeenUnderOneNameAtTheServersPortAndGoneAfterStop) {
    if (qEnvironmentVariableIsEmpty("DNSSD_NETNS_NAME")) GTEST_SKIP() << "needs tools/dnssd-netns.sh";
    const QString name = QStringLiteral("Korva Lectern (netns)");
    LogCapture log;
    HTTPServer server({.port = 0});
    HTTPServer::Hooks hooks;
    StreamServiceAnnouncer::create(std::make_shared<AvahiDnsSdProvider>(), name)->install(hooks);
    server.setHooks(hooks);
    server.start();
    ASSERT_EQ(server.state(), HTTPServer::Running);
    const int port = server.port();
    ASSERT_TRUE(waitUntil(
        [&] {
            return log.contains(
                QStringLiteral("_mjpegStreamer._tcp.:%1 on %2 did publish").arg(port).arg(name));
        },
        20s));

    const auto seen = bothServicesSeen();
    ASSERT_TRUE(seen);
    for (const BrowseLine &line : {seen->first, seen->second}) {
        EXPECT_EQ(line.name, name);
        EXPECT_EQ(line.address, QStringLiteral("10.254.0.1"));
        EXPECT_EQ(line.port, port);
    }
    server.stop();
    EXPECT_TRUE(waitUntil(noServiceSeen, 30s));
}
