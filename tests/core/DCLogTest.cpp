#include "core/DCLog.h"

#include <thread>
#include <vector>

#include <QRegularExpression>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

TEST(DCLog, LineHasPlatformPrefixThenFileLineFunctionAndMessageAndKeepsTrailingBreaks) {
    LogCapture log;
    const int line = __LINE__ + 1;
    DCLog("frame %d width %d height %d", 1, 640, 480);
    DCLog("Got a device: vendor 0x%04x\n", 0x1778); // a trailing break leaves an empty line
    DCLog("next");
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 4);
    static const QRegularExpression prefix(
        QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} [^\[ ]+\[\d+:\d+\] )"));
    const auto match = prefix.match(lines.first());
    ASSERT_TRUE(match.hasMatch()) << qPrintable(lines.first());
    EXPECT_EQ(lines.first().mid(match.capturedLength()),
              QStringLiteral("DCLogTest.cpp:%1 TestBody; frame 1 width 640 height 480").arg(line));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("Got a device: vendor 0x1778")));
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("; next")));
}

TEST(DCLog, ManyThreadsWriteWholeLinesOnly) {
    LogCapture log;
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    const std::string filler(300, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                DCLog("thread %d line %d %s end", t, i, filler.c_str());
        });
    for (auto &t : threads)
        t.join();
    const QStringList messages = log.messages();
    ASSERT_EQ(messages.size(), kThreads * kLines);
    static const QRegularExpression whole(QStringLiteral(R"(^thread \d+ line \d+ x{300} end$)"));
    for (const QString &m : messages)
        ASSERT_TRUE(whole.match(m).hasMatch()) << qPrintable(m);
}
