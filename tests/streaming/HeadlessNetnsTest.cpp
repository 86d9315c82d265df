// The program in headless mode against a real avahi-daemon: run only inside tools/dnssd-netns.sh.
#include <csignal>

#include <QRegularExpression>

#include <gtest/gtest.h>

#include "HeadlessRun.h"
#include "StreamTestSupport.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

TEST(HeadlessNetns, AnnouncesBothServicesAtTheNamespaceAddressAndWithdrawsThemOnSigterm) {
    if (qEnvironmentVariableIsEmpty("DNSSD_NETNS_NAME")) GTEST_SKIP() << "needs tools/dnssd-netns.sh";
    HeadlessRun run;
    ASSERT_TRUE(run.start()) << qPrintable(run.failure());
    // Either end of the namespace's veth pair (both are in it); never loopback.
    EXPECT_TRUE(run.output().contains(
        QRegularExpression(QStringLiteral("http://10\\.254\\.0\\.[12]:%1/").arg(run.port()))))
        << qPrintable(run.output());
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto seen = bothServicesSeen();
            return seen && seen->first.name.startsWith(QStringLiteral("Korva Lectern (")) &&
                   seen->second.port == run.port() && seen->second.address == QStringLiteral("10.254.0.1");
        },
        30s));
    ASSERT_TRUE(run.stop(SIGTERM)) << qPrintable(run.failure());
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_TRUE(waitUntil(noServiceSeen, 30s));
}

TEST(HeadlessNetns, WithoutACameraItNeverOffersItsOwnStreamAsANetworkCamera) {
    if (qEnvironmentVariableIsEmpty("DNSSD_NETNS_NAME")) GTEST_SKIP() << "needs tools/dnssd-netns.sh";
    HeadlessRun run;
    ASSERT_TRUE(run.start({})) << qPrintable(run.failure());
    // Its own browser sees both of its services, and passes them over.
    EXPECT_TRUE(
        waitUntil([&] { return run.logFile().count(QStringLiteral("Passing over our own")) >= 2; }, 30s))
        << qPrintable(run.failure());
    EXPECT_FALSE(run.logFile().contains(QStringLiteral("addNetCamera"))) << qPrintable(run.failure());
    ASSERT_TRUE(run.stop(SIGTERM)) << qPrintable(run.failure());
}
