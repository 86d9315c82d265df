// Two instances as on two machines, inside tools/dnssd-netns.sh --peer: A streams its demo camera
// headless and announces it on one avahi-daemon; B, on the other, has no camera of its own, finds A as a
// network camera and takes a photo of A's picture, or streams A's picture itself.
#include <QFile>

#include <gtest/gtest.h>

#include "HeadlessRun.h"
#include "StreamTestSupport.h"
#include "app/SnapshotRun.h"

using namespace std::chrono_literals;

namespace {

class TwoInstances : public ::testing::Test {
protected:
    void SetUp() override {
        if (peerBus_.isEmpty()) GTEST_SKIP() << "runs inside tools/dnssd-netns.sh run --peer";
        a_.setPort(18080);
        ASSERT_TRUE(a_.start()) << qPrintable(a_.failure());
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
