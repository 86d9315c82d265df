#include "streaming/StreamServiceAnnouncer.h"

#include <atomic>
#include <memory>
#include <thread>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "dnssd/DnsSdOwnNames.h"
#include "dnssd/FakeDnsSdProvider.h"
#include "streaming/HTTPServer.h"
#include "support/TestSupport.h"

namespace {

const QString kName = QStringLiteral("Korva Lectern (test-host)");
const QString kDevice = QStringLiteral("_korDevPub._udp.");
const QString kStream = QStringLiteral("_mjpegStreamer._tcp.");
const QString kLocal = QStringLiteral("local.");

// A server on a free port whose hooks announce through the fake network, as the shared server's do
// through Avahi.
struct AnnouncedServer {
    AnnouncedServer() {
        server = std::make_unique<HTTPServer>(HTTPServer::Configuration{.port = 0});
        HTTPServer::Hooks hooks;
        announcer =
            StreamServiceAnnouncer::create(std::make_shared<FakeDnsSdProvider>(network), kName, ownNames);
        announcer->install(hooks);
        server->setHooks(hooks);
    }
    ~AnnouncedServer() { server->stop(); }

    bool announced(const QString &name = kName) const {
        return network->record(name, kDevice, kLocal).has_value() &&
               network->record(name, kStream, kLocal).has_value();
    }

    std::shared_ptr<FakeDnsSdNetwork> network = std::make_shared<FakeDnsSdNetwork>();
    std::shared_ptr<DnsSdOwnNames> ownNames = std::make_shared<DnsSdOwnNames>();
    std::shared_ptr<StreamServiceAnnouncer> announcer;
    std::unique_ptr<HTTPServer> server;
};

} // namespace

TEST(StreamServiceAnnouncer, BothServicesUnderOneNameOnTheServersPortWhileRunning) {
    LogCapture log;
    AnnouncedServer s;
    // The start is announced once the services are asked for (the fake network takes them at once).
    std::atomic<int> startsSeen = 0, startsAfterTheRequest = 0;
    DCObserverSet observers;
    observers.add(DCNote::VideoStreamServerDidStart, [&](const DCNotification &) {
        ++startsSeen;
        if (s.announced()) ++startsAfterTheRequest;
    });
    s.server->start();
    ASSERT_EQ(s.server->state(), HTTPServer::Running);
    EXPECT_TRUE(waitUntil([&] { return startsSeen == 1; }));
    EXPECT_EQ(startsAfterTheRequest, 1);
    const std::uint16_t port = s.server->port();
    ASSERT_NE(port, 0);

    ASSERT_TRUE(waitUntil([&] { return log.contains(QStringLiteral(" did publish")); }));
    ASSERT_TRUE(s.announced());
    const auto device = s.network->record(kName, kDevice, kLocal);
    const auto stream = s.network->record(kName, kStream, kLocal);
    EXPECT_EQ(device->port, port);
    EXPECT_EQ(stream->port, port);
    EXPECT_EQ(stream->txtRecord, QList<QByteArray>{QByteArrayLiteral("path=/stream")});
    EXPECT_TRUE(waitUntil([&] {
        return log.contains(QStringLiteral("%1:%2 on %3 did publish").arg(kDevice).arg(port).arg(kName)) &&
               log.contains(QStringLiteral("%1:%2 on %3 did publish").arg(kStream).arg(port).arg(kName));
    }));

    s.server->stop();
    EXPECT_TRUE(waitUntil([&] { return s.network->services().isEmpty(); }));

    // A second run announces again, on the port of that run.
    s.server->start();
    ASSERT_EQ(s.server->state(), HTTPServer::Running);
    ASSERT_TRUE(waitUntil([&] { return s.announced(); }));
    EXPECT_EQ(s.network->record(kName, kStream, kLocal)->port, s.server->port());
    s.server->stop();
    EXPECT_TRUE(waitUntil([&] { return s.network->services().isEmpty(); }));
}

TEST(StreamServiceAnnouncer, ATakenNameGivesWayToTheNextFreeOneWhichIsOwnOnlyWhileAnnounced) {
    LogCapture log;
    AnnouncedServer s;
    const QString second = kName + QStringLiteral(" #2"), third = kName + QStringLiteral(" #3");
    s.network->addService(kName, kStream, 9999, {}, kLocal); // other machines already use these names
    s.network->addService(second, kDevice, 9998, {}, kLocal);
    s.server->start();
    ASSERT_EQ(s.server->state(), HTTPServer::Running);

    ASSERT_TRUE(waitUntil([&] { return s.announced(third); }));
    EXPECT_TRUE(log.contains(QStringLiteral("Got error name collision")));
    EXPECT_TRUE(log.contains(QStringLiteral("announcing as \"%1\"").arg(third)));
    EXPECT_TRUE(waitUntil([&] { return s.ownNames->contains(third); }));
    EXPECT_FALSE(s.ownNames->contains(kName) || s.ownNames->contains(second));
    // All or nothing: no service is left behind under a taken name, where it would pair with another
    // machine's.
    EXPECT_FALSE(s.network->record(kName, kDevice, kLocal).has_value());
    EXPECT_FALSE(s.network->record(second, kStream, kLocal).has_value());
    EXPECT_TRUE(servesThePage(s.server->port()));

    // Stopping withdraws only our own.
    s.server->stop();
    EXPECT_TRUE(waitUntil([&] { return s.announcer->announcedName().isEmpty(); }));
    EXPECT_FALSE(s.ownNames->contains(third));
    EXPECT_EQ(s.network->record(kName, kStream, kLocal)->port, 9999);
    EXPECT_TRUE(s.network->record(second, kDevice, kLocal).has_value());
}

TEST(StreamServiceAnnouncer, AnAnnouncerGoneBeforeItsQueuedWorkDoesNothing) {
    auto network = std::make_shared<FakeDnsSdNetwork>();
    auto announcer = StreamServiceAnnouncer::create(std::make_shared<FakeDnsSdProvider>(network), kName);
    std::thread([&] { announcer->announce(8080); }).join();
    announcer.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(network->services().isEmpty());
}

TEST(StreamServiceAnnouncerName, HostBasedUnlessTheUserSetOne) {
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QString key = StreamServiceAnnouncer::kServiceNameDefaultsKey;
    defaults.removeObjectForKey(key);
    const QString hostBased = StreamServiceAnnouncer::defaultServiceName();
    EXPECT_TRUE(hostBased.startsWith(QStringLiteral("Korva Lectern"))) << qPrintable(hostBased);
    EXPECT_FALSE(hostBased.contains(QLatin1Char('.'))) << qPrintable(hostBased);

    defaults.setObject(QStringLiteral("  Room 12 lectern "), key);
    EXPECT_EQ(StreamServiceAnnouncer::defaultServiceName(), QStringLiteral("Room 12 lectern"));

    LogCapture log;
    for (const QVariant &unusable : {QVariant(42), QVariant(QStringLiteral("   "))}) {
        defaults.setObject(unusable, key);
        EXPECT_EQ(StreamServiceAnnouncer::defaultServiceName(), hostBased);
    }
    EXPECT_TRUE(log.contains(QStringLiteral("Ignoring the user default HTTPServerServiceName")));
    defaults.removeObjectForKey(key);
}
