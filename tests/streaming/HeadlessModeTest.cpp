// The program in headless mode, end to end: started as a user starts it, stopped by a signal.
#include <csignal>
#include <memory>
#include <vector>

#include <boost/asio/ip/tcp.hpp>

#include <gtest/gtest.h>

#include "HeadlessRun.h"
#include "StreamTestSupport.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

const std::string kFirstPart = "--ca3cdghdujhihal3\nContent-Type: image/jpeg\nContent-Length: ";

class HeadlessStop : public ::testing::TestWithParam<int> {};

} // namespace

// Stream clients, a page request still being written and an idle connection are all connected when
// the signal comes: the program closes every one of them, withdraws its services and exits 0 within
// two seconds, with nothing left for LeakSanitizer to report.
TEST_P(HeadlessStop, ASignalStopsTheServerWithClientsConnectedAndExitsZero) {
    HeadlessRun run;
    ASSERT_TRUE(run.start()) << qPrintable(run.failure());
    const QString base = QStringLiteral(":%1/").arg(run.port());
    EXPECT_TRUE(run.output().contains(QStringLiteral("http://")) && run.output().contains(base))
        << qPrintable(run.output());
    EXPECT_TRUE(run.output().contains(base + QStringLiteral("stream\n"))) << qPrintable(run.output());

    std::vector<std::unique_ptr<ServerTestClient>> streams;
    for (int i = 0; i < 20; ++i) {
        streams.push_back(std::make_unique<ServerTestClient>(run.port()));
        ASSERT_TRUE(streams.back()->send(getRequest("/stream")));
    }
    for (auto &stream : streams)
        ASSERT_TRUE(stream->readUntilContains(kFirstPart, 30s)) << "no picture from the demo camera";
    ServerTestClient halfRequest(run.port());
    ASSERT_TRUE(halfRequest.send("GET / HTTP/1.1\r\nHost: x\r\n"));
    ServerTestClient idle(run.port());

    ASSERT_TRUE(run.stop(GetParam(), 2s * kSlowdown)) << qPrintable(run.failure());
    EXPECT_TRUE(run.exitedNormally());
    EXPECT_EQ(run.exitCode(), 0) << qPrintable(run.failure());
    for (auto &stream : streams)
        EXPECT_TRUE(stream->readUntilClosed(5s));
    EXPECT_TRUE(halfRequest.readUntilClosed(5s));
    EXPECT_TRUE(idle.readUntilClosed(5s));
    EXPECT_TRUE(run.logFile().contains(QStringLiteral("Headless mode stops on signal %1").arg(GetParam())));

    EXPECT_FALSE(ServerTestClient(run.port()).connected()) << "the port is still taken";
}

INSTANTIATE_TEST_SUITE_P(Signals, HeadlessStop, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto &info) { return info.param == SIGTERM ? "SIGTERM" : "SIGINT"; });

// A signal while the program still starts (before it serves), and a second one while it stops.
TEST(HeadlessMode, ASignalDuringTheStartEndsItCleanlyAndASecondOneEndsAStopAtOnce) {
    HeadlessRun early;
    ASSERT_TRUE(early.start({QStringLiteral("--demo")}, 0s));
    waitUntil([] { return false; }, 300ms);
    ASSERT_TRUE(early.stop(SIGTERM, 10s * kSlowdown)) << qPrintable(early.failure());
    EXPECT_EQ(early.exitCode(), 0) << qPrintable(early.failure());
    EXPECT_TRUE(early.logFile().contains(QStringLiteral("Stopped"))) << qPrintable(early.failure());

    HeadlessRun twice;
    ASSERT_TRUE(twice.start()) << qPrintable(twice.failure());
    twice.signal(SIGTERM);
    twice.signal(SIGTERM);
    ASSERT_TRUE(twice.stop(0, 10s * kSlowdown)) << qPrintable(twice.failure());
    // Either the first stop was over before the second signal came, or the second ended it at once.
    EXPECT_TRUE(twice.exitCode() == 0 || !twice.exitedNormally()) << qPrintable(twice.failure());
}

TEST(HeadlessMode, APortInUseEndsWithAMessageOnStandardErrorAndANonZeroStatus) {
    boost::asio::io_context ioc;
    boost::asio::ip::tcp::acceptor taken(ioc, {boost::asio::ip::tcp::v4(), 0});
    HeadlessRun run;
    run.setPort(taken.local_endpoint().port());
    EXPECT_FALSE(run.start());
    ASSERT_TRUE(run.stop(0)); // already gone
    EXPECT_NE(run.exitCode(), 0);
    EXPECT_TRUE(run.errors().contains(QStringLiteral("korva-lectern: cannot serve the stream")) &&
                run.errors().contains(QString::number(run.port())))
        << qPrintable(run.failure());
    EXPECT_TRUE(run.output().isEmpty());
    EXPECT_TRUE(run.logFile().contains(QStringLiteral("HTTPServer error:")));
}

TEST(HeadlessMode, AnUnknownDemoModelIsRefused) {
    HeadlessRun run;
    EXPECT_FALSE(run.start({QStringLiteral("--demo=Nonesuch")}));
    ASSERT_TRUE(run.stop(0));
    EXPECT_NE(run.exitCode(), 0);
    EXPECT_TRUE(run.errors().contains(QStringLiteral("Nonesuch"))) << qPrintable(run.failure());
}
