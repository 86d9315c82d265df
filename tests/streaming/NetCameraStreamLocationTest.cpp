#include "streaming/NetCameraStreamLocation.h"

#include <vector>

#include <gtest/gtest.h>

#include "dnssd/DnsSdLimits.h"
#include "support/TestSupport.h"

namespace {

QString urlFor(const QList<QByteArray> &txt) {
    return NetCameraStreamLocation::streamURL(
               QStringLiteral("10.254.0.1"), 8080,
               NetCameraStreamLocation::userInfo(txt, QStringLiteral("Lectern")))
        .toString();
}

// Another platform may publish the record data "%" + JSON as it is; read as DNS strings, the "%" is
// the length byte of a single 37-byte string.
QList<QByteArray> percentJson(const QByteArray &json) {
    EXPECT_EQ(json.size(), 37) << json.constData();
    return DnsSdLimits::txtRecordEntries('%' + json);
}

} // namespace

// Keys in any case; a path alone, or no record, leaves the stream where our own servers have it; a path
// without its slash does not run into the port; "%" + JSON counts when there is no path entry.
TEST(NetCameraStreamLocation, TxtRecordPathAndParamOrPercentJsonMakeTheStreamPath) {
    const std::vector<std::pair<QList<QByteArray>, QString>> cases = {
        {{"path=/live", "param=cam=1"}, QStringLiteral("/live?cam=1")},
        {{"path=/live"}, QStringLiteral("/stream")},
        {{}, QStringLiteral("/stream")},
        {{"Path=live", "PARAM=a=b"}, QStringLiteral("/live?a=b")},
        {{"path=@other.host/x", "param=q"}, QStringLiteral("/@other.host/x?q")},
        {percentJson(R"({"path":"/video","param":"cam=front"})"), QStringLiteral("/video?cam=front")},
        {percentJson(R"({"path":"/video","other":"cam=front"})"), QStringLiteral("/stream")},
        {{R"(%{"path":"/v","param":"a=1"})"}, QStringLiteral("/v?a=1")},
    };
    for (const auto &[txt, path] : cases)
        EXPECT_EQ(urlFor(txt), QStringLiteral("http://10.254.0.1:8080") + path) << qPrintable(path);
    const QVariantMap info = NetCameraStreamLocation::userInfo(
        percentJson(R"({"path":"/video","param":"cam=front"})"), QStringLiteral("Lectern"));
    EXPECT_EQ(info.value(QStringLiteral("param")).toString(), QStringLiteral("cam=front"));
}

TEST(NetCameraStreamLocation, BadRecordsFallBackToTheDefaultPathWithALogLine) {
    {
        LogCapture log;
        EXPECT_EQ(urlFor({"txtvers=1"}), QStringLiteral("http://10.254.0.1:8080/stream"));
        EXPECT_TRUE(log.contains(QStringLiteral("TXT record of Lectern has no path and is no JSON object")));
    }
    {
        // A path that is not UTF-8 does not count; the record is then no JSON either.
        LogCapture log;
        EXPECT_EQ(urlFor({QByteArray("path=/\xff\xfe"), "param=x"}),
                  QStringLiteral("http://10.254.0.1:8080/stream"));
        EXPECT_TRUE(log.contains(QStringLiteral("TXT entry \"path\" of Lectern is not UTF-8")));
    }
    {
        LogCapture log;
        EXPECT_EQ(urlFor(percentJson(R"({"path":"/video","param":"cam=fro)"
                                     "\xff\xff\"}")),
                  QStringLiteral("http://10.254.0.1:8080/stream"));
        EXPECT_EQ(urlFor(percentJson(R"({"path":["/video"],"param":"c=front"})")),
                  QStringLiteral("http://10.254.0.1:8080/stream"));
        EXPECT_TRUE(log.contains(QStringLiteral("stream path or param is not a text")));
    }
}

TEST(NetCameraStreamLocation, OnlyTheFirstIPv4AddressWithAPortIsUsed) {
    const QList<DnsSdAddress> addresses = {{QHostAddress(QStringLiteral("fe80::1")), 8080},
                                           {QHostAddress(QStringLiteral("10.0.0.1")), 0},
                                           {QHostAddress(QStringLiteral("10.0.0.2")), 8081},
                                           {QHostAddress(QStringLiteral("10.0.0.3")), 8082}};
    LogCapture log;
    const auto found = NetCameraStreamLocation::firstStreamAddress(addresses);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->address.toString(), QStringLiteral("10.0.0.2"));
    EXPECT_EQ(found->port, 8081);
    EXPECT_TRUE(log.contains(QStringLiteral("Found service at 10.0.0.2:8081")));
    EXPECT_FALSE(log.contains(QStringLiteral("10.0.0.3")));
    EXPECT_FALSE(NetCameraStreamLocation::firstStreamAddress(addresses.mid(0, 2)));
}
