// Two instances of the program as on two machines, inside tools/dnssd-netns.sh --peer: A streams its
// demo camera headless and announces it on one avahi-daemon; B, on the other, has no camera of its
// own, finds A as a network camera and takes a photo of A's picture, or streams A's picture itself.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include "PictureComparison.h"
#include "app/SnapshotRun.h"

using namespace std::chrono_literals;

namespace {

QProcessEnvironment environmentFor(const PrivateHome &home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.path(QStringLiteral("cache")));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

// The stream address a headless instance prints, or empty when it prints none in time.
QString streamAddressOf(QProcess &process) {
    QByteArray out;
    if (!process.waitForStarted(10000)) return {};
    for (int i = 0; i < 100 && process.state() == QProcess::Running; ++i) {
        process.waitForReadyRead(200);
        out += process.readAllStandardOutput();
        const qsizetype at = out.indexOf("Stream: ");
        const qsizetype end = out.indexOf('\n', at);
        if (at >= 0 && end > at) return QString::fromUtf8(out.mid(at + 8, end - at - 8)).trimmed();
    }
    return {};
}

QString logOf(const PrivateHome &home) {
    QString text;
    for (const QFileInfo &dir :
         QDir(home.path(QStringLiteral("data"))).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile log(dir.filePath() + QStringLiteral("/Log.txt"));
        if (log.open(QIODevice::ReadOnly)) text += QString::fromUtf8(log.readAll().right(6000));
    }
    return text;
}

// Starts the program headless with `more`, on this environment's daemon; answers its stream address.
QString startHeadless(QProcess &process, const PrivateHome &home, const QStringList &more = {}) {
    process.setProcessEnvironment(environmentFor(home));
    process.start(QStringLiteral(KL_PROGRAM), QStringList{QStringLiteral("--headless")} + more);
    return streamAddressOf(process);
}

void end(QProcess &process) {
    process.terminate();
    if (!process.waitForFinished(10000)) process.kill();
    process.waitForFinished();
}

} // namespace

TEST(TwoInstances, SnapshotOnBShowsTheDemoPictureThatAStreams) {
    const QByteArray peerBus = qgetenv("DNSSD_NETNS_PEER_BUS");
    if (peerBus.isEmpty()) GTEST_SKIP() << "runs inside tools/dnssd-netns.sh run --peer";

    PrivateHome homeA;
    QProcess a;
    const QString stream = startHeadless(
        a, homeA, {QStringLiteral("--demo"), QStringLiteral("--port"), QStringLiteral("18080")});
    ASSERT_FALSE(stream.isEmpty()) << qPrintable(QString::fromUtf8(a.readAllStandardError()));
    // B talks to the other daemon, as another machine would.
    PrivateHome homeB;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", peerBus);
    const ProgramRun b = homeB.run({QStringLiteral("--snapshot")});
    // What A serves now; its first pictures may still have the size the camera had before its stored one.
    const auto served = firstStreamImage(stream.toStdString(), 10s);
    end(a);
    ASSERT_EQ(b.exitCode, 0) << qPrintable(b.err) << qPrintable(logOf(homeB));
    ASSERT_TRUE(served) << "no picture from " << qPrintable(stream);

    const auto photo = decodeJpegFile(b.out.toStdString());
    const auto expected = decodeJpeg(*served);
    ASSERT_TRUE(photo) << qPrintable(b.out);
    ASSERT_TRUE(expected);
    EXPECT_EQ(photo->width, expected->width);
    EXPECT_EQ(photo->height, expected->height);
    // The demo page moves a little between the two pictures, and B's photo is encoded again.
    EXPECT_LT(meanDifference(*photo, *expected), 10.0);
}

TEST(TwoInstances, HeadlessBWithoutACameraStreamsThePictureOfA) {
    const QByteArray peerBus = qgetenv("DNSSD_NETNS_PEER_BUS");
    if (peerBus.isEmpty()) GTEST_SKIP() << "runs inside tools/dnssd-netns.sh run --peer";
    PrivateHome homeA, homeB;
    QProcess a, b;
    const QString streamA = startHeadless(
        a, homeA, {QStringLiteral("--demo"), QStringLiteral("--port"), QStringLiteral("18080")});
    ASSERT_FALSE(streamA.isEmpty()) << qPrintable(QString::fromUtf8(a.readAllStandardError()));
    QProcessEnvironment envB = environmentFor(homeB);
    envB.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QString::fromUtf8(peerBus));
    b.setProcessEnvironment(envB);
    b.start(QStringLiteral(KL_PROGRAM),
            {QStringLiteral("--headless"), QStringLiteral("--port"), QStringLiteral("18081")});
    const QString streamB = streamAddressOf(b);
    ASSERT_FALSE(streamB.isEmpty()) << qPrintable(QString::fromUtf8(b.readAllStandardError()));

    // B has a picture once it has found A; then both serve the same page.
    const auto fromB = firstStreamImage(streamB.toStdString(), 20s);
    const auto fromA = firstStreamImage(streamA.toStdString(), 10s);
    end(b);
    end(a);
    ASSERT_TRUE(fromB) << qPrintable(logOf(homeB));
    ASSERT_TRUE(fromA);
    const auto pictureB = decodeJpeg(*fromB);
    const auto pictureA = decodeJpeg(*fromA);
    ASSERT_TRUE(pictureB && pictureA);
    EXPECT_EQ(pictureB->width, pictureA->width);
    EXPECT_EQ(pictureB->height, pictureA->height);
    EXPECT_LT(meanDifference(*pictureB, *pictureA), 10.0);
}
