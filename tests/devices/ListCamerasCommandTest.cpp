// The built program's --list-cameras, as a user runs it: no display, no camera, no avahi-daemon needed.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/ProgramRun.h"

namespace {

ProgramRun runProgram(const QStringList &arguments, const QTemporaryDir &home) {
    return ::runProgram(arguments, home.path());
}

} // namespace

TEST(ListCamerasCommand, DemoCamerasAreListedOneLineEachInTheOrderTheyWerePlugged) {
    QTemporaryDir home;
    const ProgramRun r = runProgram(
        {QStringLiteral("--list-cameras"), QStringLiteral("--demo"), QStringLiteral("--demo=Orb")}, home);
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    QStringList usb;
    for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (line.startsWith(QLatin1String("usb\t"))) usb << line;
    // kind, model, short model, capabilities, location, capture identifier, firmware version
    ASSERT_GE(usb.size(), 2) << qPrintable(r.out);
    EXPECT_EQ(usb[0],
              QStringLiteral("usb\tKorva Wren-HD\tWren-HD\t0x7f\t0x7e100000\t0x7e10000017780206\t0102"));
    EXPECT_EQ(usb[1], QStringLiteral("usb\tKorva Orbit\tOrb\t0x5f\t0x7e200000\t0x7e20000017780204\t0102"));
    // Log lines went to the log file, not to the results.
    EXPECT_FALSE(r.out.contains(QStringLiteral("Got a device")));
    QFile log(home.path() + QStringLiteral("/data/Orb/Log.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(
        text.contains("Got a device: vendor 0x1778, product 0x0206, version 0x0102, location 0x7e100000"));
    EXPECT_TRUE(text.contains("Found Orb"));
}

TEST(ListCamerasCommand, WithoutCamerasItSaysSoAndSucceeds) {
    QTemporaryDir home;
    const ProgramRun r = runProgram({QStringLiteral("--list-cameras")}, home);
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    // A machine running this test may have cameras of its own; without any the answer is one line.
    if (!r.out.contains(QLatin1Char('\t'))) {
        EXPECT_EQ(r.out, QStringLiteral("no cameras\n"));
    }
}

TEST(ListCamerasCommand, AnUnknownDemoModelIsAnError) {
    QTemporaryDir home;
    const ProgramRun r = runProgram({QStringLiteral("--list-cameras"), QStringLiteral("--demo=Heron")}, home);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("unknown demo model \"Heron\""))) << qPrintable(r.err);
}

TEST(ListCamerasCommand, StreamUrlsAreListedAsNetworkCamerasNamedByHostAndPort) {
    QTemporaryDir home;
    const ProgramRun r =
        runProgram({QStringLiteral("--list-cameras"), QStringLiteral("--stream-url"),
                    QStringLiteral("http://127.0.0.1:8089/stream"), QStringLiteral("--stream-url"),
                    QStringLiteral("http://192.0.2.5/cam?x=1")},
                   home);
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << qPrintable(r.out);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("network\t127.0.0.1:8089\t127.0.0.1:8089\t")))
        << qPrintable(lines[0]);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("network\t192.0.2.5:80\t"))) << qPrintable(lines[1]);

    const ProgramRun bad = runProgram({QStringLiteral("--list-cameras"), QStringLiteral("--stream-url"),
                                       QStringLiteral("rtsp://192.0.2.5/")},
                                      home);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("not an http stream URL"))) << qPrintable(bad.err);
}
