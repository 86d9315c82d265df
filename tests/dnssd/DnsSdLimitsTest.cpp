#include "dnssd/DnsSdLimits.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace DnsSdLimits;

TEST(DnsSdLimits, OversizedTxtRecordsAreCutWithALogLine) {
    LogCapture log;
    QList<QByteArray> entries(70, QByteArray("k=v"));
    entries[0] = "path=" + QByteArray(300, 'a');
    const QList<QByteArray> bounded = boundedTxtRecord(entries, QStringLiteral("test"));
    EXPECT_EQ(bounded.size(), kMaxTxtEntries);
    EXPECT_EQ(bounded[0].size(), kMaxTxtEntryBytes);
    EXPECT_TRUE(log.contains(QStringLiteral("has 70 entries")));
    EXPECT_TRUE(log.contains(QStringLiteral("cut to 255")));
}

TEST(DnsSdLimits, LongNamesAreCutAtACharacterBoundaryAndNonUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(boundedServiceName(QString(63, QLatin1Char('a'))), QString(63, QLatin1Char('a')));
    // 62 ASCII bytes then a two-byte character: it would straddle byte 63, so it goes whole.
    const QString name = QString(62, QLatin1Char('a')) + QStringLiteral("é");
    EXPECT_EQ(boundedServiceName(name), QString(62, QLatin1Char('a')));
    const QString emoji = QString(61, QLatin1Char('a')) + QStringLiteral("😀"); // 4 bytes
    EXPECT_EQ(boundedServiceName(emoji).toUtf8().size(), 61);

    // The next name after a collision, still within a label.
    EXPECT_EQ(alternativeServiceName(QStringLiteral("Lectern")), QStringLiteral("Lectern #2"));
    EXPECT_EQ(alternativeServiceName(QStringLiteral("Lectern #9")), QStringLiteral("Lectern #10"));
    EXPECT_EQ(alternativeServiceName(QStringLiteral("Room #A")), QStringLiteral("Room #A #2"));
    EXPECT_EQ(alternativeServiceName(emoji), QString(60, QLatin1Char('a')) + QStringLiteral(" #2"));

    // Names off the wire that are not UTF-8 get replacement characters and a log line.
    LogCapture log;
    EXPECT_EQ(serviceNameFromWire("Caf\xc3\xa9"), QStringLiteral("Café"));
    EXPECT_FALSE(log.contains(QStringLiteral("not valid UTF-8")));
    EXPECT_EQ(serviceNameFromWire("bad\xff\xfe"), QStringLiteral("bad\uFFFD\uFFFD"));
    EXPECT_TRUE(log.contains(QStringLiteral("not valid UTF-8")));
}

TEST(DnsSdLimits, TxtWireFormRoundTripsTruncatedDataIsSafeAndTheDictionaryKeepsTheFirstKey) {
    const QList<QByteArray> entries{"path=/stream", "param=x=1", QByteArray(255, 'z')};
    const QByteArray data = txtRecordData(entries);
    EXPECT_EQ(data.size(), 1 + 12 + 1 + 9 + 1 + 255);
    EXPECT_EQ(data[0], '\x0c');
    EXPECT_EQ(txtRecordEntries(data), entries);
    LogCapture log;
    EXPECT_EQ(txtRecordEntries(data.left(20)), QList<QByteArray>{"path=/stream"});
    EXPECT_TRUE(log.contains(QStringLiteral("ends inside an entry")));
    EXPECT_TRUE(txtRecordEntries(QByteArray(1, '\0')).isEmpty()); // the empty record

    // The dictionary keeps the first of repeated keys, case-insensitively, and skips empty keys.
    const auto d = txtRecordDictionary({"Path=/a", "path=/b", "flag", "=nokey", "param=a=b"});
    EXPECT_EQ(d.value(QStringLiteral("path")), QByteArray("/a"));
    EXPECT_TRUE(d.contains(QStringLiteral("flag")));
    EXPECT_EQ(d.value(QStringLiteral("param")), QByteArray("a=b"));
    EXPECT_EQ(d.size(), 3);
}
