// Against a real avahi-daemon: run only inside tools/dnssd-netns.sh (see Server.cmake); outside it the
// test skips.
#include <gtest/gtest.h>

#include "AvahiBrowse.h"
#include "dnssd/AvahiDnsSdProvider.h"
#include "streaming/HTTPServer.h"
#include "streaming/StreamServiceAnnouncer.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

const QString kName = QStringLiteral("Korva Lectern (netns)");
const QString kNamespaceAddress = QStringLiteral("10.254.0.1");

} // namespace

TEST(StreamServiceAnnouncerNetns, BothServicesSeenUnderOneNameAtTheServersPortAndGoneAfterStop) {
    if (qEnvironmentVariableIsEmpty("DNSSD_NETNS_NAME")) GTEST_SKIP() << "needs tools/dnssd-netns.sh";
    LogCapture log;
    HTTPServer::Configuration configuration;
    configuration.port = 0;
    HTTPServer server(configuration);
    HTTPServer::Hooks hooks;
    StreamServiceAnnouncer::create(std::make_shared<AvahiDnsSdProvider>(), kName)->install(hooks);
    server.setHooks(hooks);

    server.start();
    ASSERT_EQ(server.state(), HTTPServer::Running);
    const int port = server.port();
    ASSERT_TRUE(waitUntil(
        [&] {
            return log.contains(
                QStringLiteral("_mjpegStreamer._tcp.:%1 on %2 did publish").arg(port).arg(kName));
        },
        20s));

    for (const QString &type : {QStringLiteral("_korDevPub._udp"), QStringLiteral("_mjpegStreamer._tcp")}) {
        const QList<BrowseLine> lines = avahiBrowse(type);
        ASSERT_EQ(lines.size(), 1) << qPrintable(type);
        EXPECT_EQ(lines[0].name, kName);
        EXPECT_EQ(lines[0].address, kNamespaceAddress);
        EXPECT_EQ(lines[0].port, port);
    }

    server.stop();
    EXPECT_TRUE(waitUntil(
        [] {
            return avahiBrowse(QStringLiteral("_korDevPub._udp")).isEmpty() &&
                   avahiBrowse(QStringLiteral("_mjpegStreamer._tcp")).isEmpty();
        },
        30s));
}
