#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/ProgramRun.h"

// The About box's "<version> Build <build>", with the project's version, and nothing started.
TEST(ProgramVersion, IsTheProjectVersionAndBuildAsTheAboutBoxShowsThem) {
    QTemporaryDir home;
    const ProgramRun r = runProgram({QStringLiteral("--version")}, home.path());
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    const QRegularExpression line(QStringLiteral("^korva-lectern (\\S+) Build \\d+\\n$"));
    const auto match = line.match(r.out);
    ASSERT_TRUE(match.hasMatch()) << qPrintable(r.out);
    EXPECT_EQ(match.captured(1), QStringLiteral(KL_PROJECT_VERSION));
    EXPECT_FALSE(QDir(home.path()).exists(QStringLiteral("Pictures")))
        << "the version needs no photo library";
}
