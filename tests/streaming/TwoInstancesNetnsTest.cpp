// Two instances as on two machines, inside tools/dnssd-netns.sh --peer: A streams its demo camera
// headless and announces it on one avahi-daemon; B, on the other, has no camera of its own, finds A as a
// network camera and takes a photo of A's picture, or streams A's picture itself.
#include <QFile>
#include <QRegularExpression>
#include <QSize>

#include <gtest/gtest.h>

#include "HeadlessRun.h"
#include "StreamTestSupport.h"
#include "app/SnapshotRun.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

// The size the program last set its camera to, from its log lines "set resolution to: {w, h}".
QSize lastResolution(const QString &log) {
    QSize size;
    auto lines =
        QRegularExpression(QStringLiteral("set resolution to: \\{(\\d+), (\\d+)\\}")).globalMatch(log);
    while (lines.hasNext()) {
        const auto line = lines.next();
        size = QSize(line.captured(1).toInt(), line.captured(2).toInt());
    }
    return size;
}

class TwoInstances : public ::testing::Test {
protected:
    void SetUp() override {
        if (peerBus_.isEmpty()) GTEST_SKIP() << "runs inside tools/dnssd-netns.sh run --peer";
        a_.setPort(18080);
        ASSERT_TRUE(a_.start()) << qPrintable(a_.failure());
        // A busy machine may take longer than A's own wait to apply the camera's stored size; B must
        // not start while A still serves the size the camera had before.
        ASSERT_TRUE(waitUntil(
            [&] {
                const QSize size = lastResolution(a_.logFile());
                const auto served = firstStreamImage(a_.printedStreamUrl(), 10s);
                const auto picture = served ? decodeJpeg(*served) : std::nullopt;
                return picture && QSize(picture->width, picture->height) == size;
            },
            30s))
            << qPrintable(a_.failure());
    }
    // Same size and, allowing for the demo page's motion and a second encoding, similar pixels.
    static void expectSamePicture(const std::optional<RgbPicture> &got, const std::optional<Bytes> &want) {
        ASSERT_TRUE(got && want);
        const auto expected = decodeJpeg(*want);
        ASSERT_TRUE(expected);
        EXPECT_EQ(got->width, expected->width);
        EXPECT_EQ(got->height, expected->height);
        EXPECT_LT(meanDifference(*got, *expected), 10.0);
    }

    const QString peerBus_ = qEnvironmentVariable("DNSSD_NETNS_PEER_BUS");
    HeadlessRun a_;
};

} // namespace

TEST_F(TwoInstances, SnapshotOnBShowsTheDemoPictureThatAStreams) {
    PrivateHome homeB;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", peerBus_.toUtf8()); // B talks to the other daemon
    const ProgramRun b = homeB.run({QStringLiteral("--snapshot")});
    // What A serves now; its first pictures may still have the size the camera had before its stored one.
    const auto served = firstStreamImage(a_.printedStreamUrl(), 10s);
    QFile log(homeB.path(QStringLiteral("data/Orb/Log.txt")));
    log.open(QIODevice::ReadOnly);
    ASSERT_EQ(b.exitCode, 0) << qPrintable(b.err) << log.readAll().right(6000).constData();
    expectSamePicture(decodeJpegFile(b.out.toStdString()), served);
}

TEST_F(TwoInstances, HeadlessBWithoutACameraStreamsThePictureOfA) {
    HeadlessRun b;
    b.setEnvironment(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), peerBus_);
    b.setPort(18081);
    ASSERT_TRUE(b.start({})) << qPrintable(b.failure());
    // B has a picture once it has found A; then both serve the same page.
    const auto fromB = firstStreamImage(b.printedStreamUrl(), 20s);
    ASSERT_TRUE(fromB) << qPrintable(b.failure());
    const auto fromA = firstStreamImage(a_.printedStreamUrl(), 10s);
    expectSamePicture(decodeJpeg(*fromB), fromA);
}
