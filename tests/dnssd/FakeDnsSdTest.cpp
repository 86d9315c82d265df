#include <atomic>
#include <memory>
#include <thread>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <gtest/gtest.h>

#include "DnsSdRecorder.h"
#include "dnssd/FakeDnsSdProvider.h"
#include "support/TestSupport.h"

namespace {

const QString kDevice = QStringLiteral("_korDevPub._udp.");
const QString kStream = QStringLiteral("_mjpegStreamer._tcp.");

QList<DnsSdServiceDescription> bothServices(quint16 port = 8080) {
    return {{kDevice, port, {}}, {kStream, port, {"path=/stream"}}};
}

struct FakeDnsSd : ::testing::Test {
    std::shared_ptr<FakeDnsSdNetwork> network = std::make_shared<FakeDnsSdNetwork>();
    FakeDnsSdProvider provider{network};
    DnsSdRecorder recorder;
};

} // namespace

TEST_F(FakeDnsSd, PublishedServicesAreFoundUnderOneNameAndGoAwayWithTheirPublisher) {
    auto publisher = provider.createPublisher(recorder);
    DnsSdRecorder browsing;
    auto devices = provider.createBrowser(browsing);
    auto streams = provider.createBrowser(browsing);
    devices->searchForServicesOfType(kDevice, QStringLiteral("local."));
    streams->searchForServicesOfType(QStringLiteral("_mjpegStreamer._tcp"), QString());
    publisher->publish(QStringLiteral("Lectern A"), bothServices());

    // Never from inside the call: only once the event loop turns.
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_TRUE(browsing.events.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return browsing.count("found") == 2 && recorder.count("published") == 1; }));
    EXPECT_EQ(recorder.last("published")->name, QStringLiteral("Lectern A"));
    EXPECT_EQ(browsing.present(), (QStringList{"Lectern A|" + kDevice, "Lectern A|" + kStream}));
    EXPECT_EQ(browsing.events[0].service.domain, QStringLiteral("local."));

    publisher.reset();
    ASSERT_TRUE(waitUntil([&] { return browsing.count("removed") == 2; }));
    EXPECT_TRUE(browsing.present().isEmpty());
}

TEST_F(FakeDnsSd, ABrowserStartedLaterGetsTheExistingServicesAsOneBatch) {
    network->addService(QStringLiteral("One"), kStream, 8080);
    network->addService(QStringLiteral("Two"), kStream, 8081);
    network->addService(QStringLiteral("Other type"), kDevice, 9);
    auto browser = provider.createBrowser(recorder);
    browser->searchForServicesOfType(kStream, QString());
    ASSERT_TRUE(waitUntil([&] { return recorder.count("found") == 2; }));
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.events.size(), 2);
    EXPECT_TRUE(recorder.events[0].moreComing);
    EXPECT_FALSE(recorder.events[1].moreComing);

    browser->stop();
    network->removeService(QStringLiteral("One"), kStream);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.count("removed"), 0); // nothing after stop
}

TEST_F(FakeDnsSd, ResolveAnswersAddressesPortAndTxtAndFollowsChanges) {
    network->addService(QStringLiteral("Peer"), kStream, 8080, {"path=/live", "param=a=1"});
    network->setAddresses(
        QStringLiteral("Peer"), kStream, QStringLiteral("peer.local."),
        {QHostAddress(QStringLiteral("192.0.2.7")), QHostAddress(QStringLiteral("fe80::1"))});
    auto resolver = provider.createResolver(recorder);
    DnsSdService service{QStringLiteral("Peer"), kStream, QStringLiteral("local."), -1, -1, {}};
    resolver->resolve(service, std::chrono::milliseconds(0));
    ASSERT_TRUE(waitUntil([&] { return recorder.count("resolved") == 1; }));
    const DnsSdResolution &r = recorder.last("resolved")->resolution;
    EXPECT_EQ(r.hostName, QStringLiteral("peer.local."));
    ASSERT_EQ(r.addresses.size(), 2);
    EXPECT_EQ(r.addresses[0].address, QHostAddress(QStringLiteral("192.0.2.7")));
    EXPECT_EQ(r.addresses[1].port, 8080);
    EXPECT_EQ(r.txtRecord, (QList<QByteArray>{"path=/live", "param=a=1"}));

    network->setTxtRecord(QStringLiteral("Peer"), kStream, {"path=/other"});
    resolver->resolve(service, std::chrono::milliseconds(0));
    ASSERT_TRUE(waitUntil([&] { return recorder.count("resolved") == 2; }));
    EXPECT_EQ(recorder.last("resolved")->resolution.txtRecord, QList<QByteArray>{"path=/other"});
}

TEST_F(FakeDnsSd, AResolveThatNeverAnswersTimesOutOrWaitsForTheService) {
    network->addService(QStringLiteral("Mute"), kStream, 8080);
    network->setAnswersResolves(QStringLiteral("Mute"), kStream, false);
    auto resolver = provider.createResolver(recorder);
    resolver->resolve({QStringLiteral("Mute"), kStream, QStringLiteral("local."), -1, -1, {}},
                      std::chrono::milliseconds(20));
    ASSERT_TRUE(waitUntil([&] { return recorder.count("notResolved") == 1; }));
    EXPECT_EQ(recorder.last("notResolved")->error.code, DnsSdErrorCode::Timeout);

    // Without a limit it waits; a service that appears later is answered then.
    resolver->resolve({QStringLiteral("Late"), kStream, QStringLiteral("local."), -1, -1, {}},
                      std::chrono::milliseconds(0));
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.count("resolved"), 0);
    network->addService(QStringLiteral("Late"), kStream, 8090);
    ASSERT_TRUE(waitUntil([&] { return recorder.count("resolved") == 1; }));
    EXPECT_EQ(recorder.last("resolved")->resolution.addresses.value(0).port, 8090);
    EXPECT_EQ(recorder.count("notResolved"), 1);
}

TEST_F(FakeDnsSd, SearchFailuresAreReportedAndASearchCanStartAgain) {
    network->failNextSearch(kStream, {DnsSdErrorCode::Failure, QStringLiteral("boom")});
    auto browser = provider.createBrowser(recorder);
    browser->searchForServicesOfType(kStream, QString());
    ASSERT_TRUE(waitUntil([&] { return recorder.count("notSearched") == 1; }));
    EXPECT_EQ(recorder.last("notSearched")->error.message, QStringLiteral("boom"));

    network->addService(QStringLiteral("Back"), kStream, 1);
    browser->searchForServicesOfType(kStream, QString());
    ASSERT_TRUE(waitUntil([&] { return recorder.count("found") == 1; }));

    network->failActiveSearches(kStream, {DnsSdErrorCode::DaemonNotRunning, QStringLiteral("gone")});
    ASSERT_TRUE(waitUntil([&] { return recorder.count("notSearched") == 2; }));
    network->addService(QStringLiteral("Unseen"), kStream, 2); // the failed search has stopped
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.count("found"), 1);
}

TEST_F(FakeDnsSd, ANameTakenByAnotherPublisherIsACollisionAndLongNamesAreCut) {
    DnsSdRecorder other;
    auto first = provider.createPublisher(recorder);
    auto second = provider.createPublisher(other);
    first->publish(QStringLiteral("Same"), bothServices());
    second->publish(QStringLiteral("Same"), {{kStream, 9000, {}}});
    ASSERT_TRUE(
        waitUntil([&] { return recorder.count("published") == 1 && other.count("notPublished") == 1; }));
    EXPECT_EQ(other.last("notPublished")->error.code, DnsSdErrorCode::Collision);
    EXPECT_EQ(network->record(QStringLiteral("Same"), kStream)->port, 8080); // the first keeps its service

    const QString longName = QString(60, QLatin1Char('x')) + QStringLiteral("äöü"); // 66 bytes
    second->publish(longName, {{kStream, 9000, {}}});
    ASSERT_TRUE(waitUntil([&] { return other.count("published") == 1; }));
    EXPECT_EQ(second->name(), QString(60, QLatin1Char('x')) + QStringLiteral("ä"));
    EXPECT_TRUE(network->record(second->name(), kStream).has_value());
}

TEST_F(FakeDnsSd, TheDelegateMayDeleteTheBrowserInsideACallback) {
    network->addService(QStringLiteral("A"), kStream, 1);
    network->addService(QStringLiteral("B"), kStream, 2);
    auto browser = provider.createBrowser(recorder);
    recorder.onEvent = [&](const DnsSdRecorder::Event &) { browser.reset(); };
    browser->searchForServicesOfType(kStream, QString());
    ASSERT_TRUE(waitUntil([&] { return !browser; }));
    network->addService(QStringLiteral("C"), kStream, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.events.size(), 1);
}

// The device thread owns its browser; services published on the main thread reach it there. A plain
// std::thread turning its own Qt event loop keeps the hand-over visible to ThreadSanitizer.
TEST_F(FakeDnsSd, EventsArriveOnTheThreadThatMadeTheObject) {
    std::atomic<bool> searching{false}, found{false}, stop{false};
    DnsSdRecorder browsing; // used by the device thread only until it is joined
    QThread *deviceThread = nullptr;
    std::thread device([&] {
        QEventLoop loop; // gives this thread an event dispatcher
        deviceThread = QThread::currentThread();
        auto browser = provider.createBrowser(browsing);
        browsing.onEvent = [&](const DnsSdRecorder::Event &) { found = true; };
        browser->searchForServicesOfType(kDevice, QString());
        searching = true;
        for (int i = 0; i < 5000 && !stop; ++i) {
            loop.processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ASSERT_TRUE(waitUntil([&] { return searching.load(); }));
    auto publisher = provider.createPublisher(recorder);
    publisher->publish(QStringLiteral("Cross-thread"), bothServices());
    const bool arrived = waitUntil([&] { return found.load(); });
    stop = true;
    device.join();
    EXPECT_TRUE(arrived);
    EXPECT_EQ(browsing.count("found"), 1);
    EXPECT_EQ(browsing.threads, QList<QThread *>{deviceThread});
}
