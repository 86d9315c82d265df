#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/ProgramRun.h"

namespace {
ProgramRun runProgram(const QStringList &arguments, const QTemporaryDir &home) {
    return ::runProgram(arguments, home.path());
}
} // namespace

TEST(ListControlsCommand, DemoPrintsTheSimulatedCamera) {
    QTemporaryDir home;
    const ProgramRun r = runProgram({QStringLiteral("--list-controls"), QStringLiteral("--demo")}, home);
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 18);
    EXPECT_EQ(lines[0], QStringLiteral("model: Korva Wren-HD"));
    EXPECT_EQ(lines[1], QStringLiteral("short model: Wren-HD"));
    EXPECT_EQ(lines[2], QStringLiteral("capabilities: 0x7f"));
    EXPECT_EQ(lines[3], QStringLiteral("capture identifier: 0xfa12000017780206"));
    EXPECT_EQ(lines[4], QStringLiteral("firmware version: 0x0102"));
    EXPECT_TRUE(r.out.contains(
        QRegularExpression(QStringLiteral(R"(\nbrightness\s+0\s+\(min -64, max 64, default 0\)\n)"))));
    EXPECT_TRUE(r.out.contains(QRegularExpression(
        QStringLiteral(R"(\nwhite balance temperature\s+4600\s+\(min 2800, max 6500, default 4600\)\n)"))));
    EXPECT_TRUE(r.out.contains(
        QRegularExpression(QStringLiteral(R"(\npower line frequency\s+1\s+\(min --, max --)"))));
    EXPECT_TRUE(r.out.contains(QRegularExpression(QStringLiteral(R"(\nfocus auto\s+YES\n)"))));
    // Log lines went to the log file, not to the results.
    EXPECT_FALSE(r.out.contains(QStringLiteral("get frequency")));
    QFile log(home.path() + QStringLiteral("/data/Orb/Log.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("get frequency 1"));

    // Wren-HD is the default model.
    const ProgramRun named =
        runProgram({QStringLiteral("--list-controls"), QStringLiteral("--demo=Wren-HD")}, home);
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_EQ(named.out, r.out);

    const ProgramRun orb =
        runProgram({QStringLiteral("--list-controls"), QStringLiteral("--demo=Orb")}, home);
    EXPECT_EQ(orb.exitCode, 0);
    EXPECT_TRUE(
        orb.out.startsWith(QStringLiteral("model: Korva Orbit\nshort model: Orb\ncapabilities: 0x5f\n")))
        << qPrintable(orb.out);
    EXPECT_TRUE(orb.out.contains(QStringLiteral("capture identifier: 0xfa12000017780204\n")));

    const ProgramRun unknown =
        runProgram({QStringLiteral("--list-controls"), QStringLiteral("--demo=Heron")}, home);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("unknown demo model Heron")));
}

TEST(ListControlsCommand, AnUnopenableDeviceIsAnError) {
    QTemporaryDir home;
    const ProgramRun r = runProgram({QStringLiteral("--list-controls"), QStringLiteral("--device"),
                                     QStringLiteral("/nonexistent/video7")},
                                    home);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("/nonexistent/video7"))) << qPrintable(r.err);

    const ProgramRun notACamera = runProgram(
        {QStringLiteral("--list-controls"), QStringLiteral("--device"), QStringLiteral("/dev/null")}, home);
    EXPECT_EQ(notACamera.exitCode, 1);
    EXPECT_TRUE(notACamera.err.contains(QStringLiteral("not a video capture device")))
        << qPrintable(notACamera.err);
}
