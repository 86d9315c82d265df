// Against a real avahi-daemon: run only inside tools/dnssd-netns.sh (see Server.cmake); outside it the
// test skips.
#include <QProcess>

#include <gtest/gtest.h>

#include "dnssd/AvahiDnsSdProvider.h"
#include "streaming/HTTPServer.h"
#include "streaming/StreamServiceAnnouncer.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

const QString kName = QStringLiteral("Korva Lectern (netns)");
const QString kNamespaceAddress = QStringLiteral("10.254.0.1");

struct BrowseLine {
    QString name, address;
    int port = 0;
};

// avahi-browse -p writes bytes such as the space as \DDD (decimal).
QString unescape(const QString &field) {
    const QByteArray in = field.toLatin1();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size() && QChar::fromLatin1(in[i + 1]).isDigit()) {
            out.append(static_cast<char>(in.mid(i + 1, 3).toInt()));
            i += 3;
        } else if (in[i] == '\\' && i + 1 < in.size()) {
            out.append(in[++i]);
        } else {
            out.append(in[i]);
        }
    }
    return QString::fromUtf8(out);
}

// Resolved IPv4 entries of `avahi-browse -rpt` for `type` (without the trailing dot).
QList<BrowseLine> avahiBrowse(const QString &type) {
    QProcess process;
    process.start(QStringLiteral("avahi-browse"), {QStringLiteral("-rpt"), type});
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "avahi-browse did not finish";
        return {};
    }
    QList<BrowseLine> lines;
    for (const QByteArray &raw : process.readAllStandardOutput().split('\n')) {
        const QStringList f = QString::fromLatin1(raw).split(QLatin1Char(';'));
        if (f.size() < 10 || f[0] != QLatin1String("=") || f[2] != QLatin1String("IPv4")) continue;
        lines.append({unescape(f[3]), f[7], f[8].toInt()});
    }
    return lines;
}

} // namespace

TEST(StreamServiceAnnouncerNetns, BothServicesSeenUnderOneNameAtTheServersPortAndGoneAfterStop) {
    if (qEnvironmentVariableIsEmpty("DNSSD_NETNS_NAME")) GTEST_SKIP() << "needs tools/dnssd-netns.sh";
    LogCapture log;
    HTTPServer::Configuration configuration;
    configuration.port = 0;
    HTTPServer server(configuration);
    HTTPServer::Hooks hooks;
    StreamServiceAnnouncer::create(std::make_shared<AvahiDnsSdProvider>(), kName)->install(hooks);
    server.setHooks(hooks);

    server.start();
    ASSERT_EQ(server.state(), HTTPServer::Running);
    const int port = server.port();
    ASSERT_TRUE(waitUntil(
        [&] {
            return log.contains(
                QStringLiteral("_mjpegStreamer._tcp.:%1 on %2 did publish").arg(port).arg(kName));
        },
        20s));

    for (const QString &type : {QStringLiteral("_korDevPub._udp"), QStringLiteral("_mjpegStreamer._tcp")}) {
        const QList<BrowseLine> lines = avahiBrowse(type);
        ASSERT_EQ(lines.size(), 1) << qPrintable(type);
        EXPECT_EQ(lines[0].name, kName);
        EXPECT_EQ(lines[0].address, kNamespaceAddress);
        EXPECT_EQ(lines[0].port, port);
    }

    server.stop();
    EXPECT_TRUE(waitUntil(
        [] {
            return avahiBrowse(QStringLiteral("_korDevPub._udp")).isEmpty() &&
                   avahiBrowse(QStringLiteral("_mjpegStreamer._tcp")).isEmpty();
        },
        30s));
}
