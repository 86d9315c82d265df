// The program in headless mode against a real avahi-daemon: run only inside tools/dnssd-netns.sh (see
// Server.cmake); outside it the test skips.
#include <csignal>

#include <QRegularExpression>

#include <gtest/gtest.h>

#include "AvahiBrowse.h"
#include "HeadlessRun.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

const QString kNamespaceAddress = QStringLiteral("10.254.0.1");

bool bothAnnounced(int port) {
    const QList<BrowseLine> device = avahiBrowse(QStringLiteral("_korDevPub._udp"));
    const QList<BrowseLine> stream = avahiBrowse(QStringLiteral("_mjpegStreamer._tcp"));
    return device.size() == 1 && stream.size() == 1 && device[0].name == stream[0].name &&
           device[0].name.startsWith(QStringLiteral("Korva Lectern (")) && stream[0].port == port &&
           stream[0].address == kNamespaceAddress;
}

} // namespace

TEST(HeadlessNetns, AnnouncesBothServicesAtTheNamespaceAddressAndWithdrawsThemOnSigterm) {
    if (qEnvironmentVariableIsEmpty("DNSSD_NETNS_NAME")) GTEST_SKIP() << "needs tools/dnssd-netns.sh";
    HeadlessRun run;
    ASSERT_TRUE(run.start()) << qPrintable(run.failure());
    // Either end of the namespace's veth pair (both are in it); never loopback.
    EXPECT_TRUE(run.output().contains(
        QRegularExpression(QStringLiteral("http://10\\.254\\.0\\.[12]:%1/").arg(run.port()))))
        << qPrintable(run.output());
    EXPECT_TRUE(waitUntil([&] { return bothAnnounced(run.port()); }, 30s));

    ASSERT_TRUE(run.stop(SIGTERM)) << qPrintable(run.failure());
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_TRUE(waitUntil(
        [] {
            return avahiBrowse(QStringLiteral("_korDevPub._udp")).isEmpty() &&
                   avahiBrowse(QStringLiteral("_mjpegStreamer._tcp")).isEmpty();
        },
        30s));
}
