// Against a real avahi-daemon: run only inside tools/dnssd-netns.sh (see CMakeLists.txt); outside it
// every test skips.
#include <atomic>
#include <memory>
#include <thread>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include "DnsSdRecorder.h"
#include "dnssd/AvahiDnsSdProvider.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

const QString kDevice = QStringLiteral("_korDevPub._udp.");
const QString kStream = QStringLiteral("_mjpegStreamer._tcp.");
const QString kAddress = QStringLiteral("10.254.0.1");
const QString kPeerAddress = QStringLiteral("10.254.0.2");

// 63 bytes of UTF-8, the longest name DNS-SD carries, with characters outside ASCII.
const QString kLongName = QStringLiteral("Lectern ÄÖÜ éè ") + QString(63 - 20, QLatin1Char('x'));

#define REQUIRE_NAMESPACE()                                                                                  \
    if (qEnvironmentVariableIsEmpty("DNSSD_NETNS_NAME")) GTEST_SKIP() << "needs tools/dnssd-netns.sh"

// The environment of a program that talks to another system bus (another machine's daemon) when `bus`
// is given.
QStringList onBus(const QString &bus) {
    QStringList env = ChildProcess::systemEnvironment();
    if (!bus.isEmpty()) ChildProcess::setVariable(env, QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus);
    return env;
}

// avahi-browse -p writes bytes outside printable ASCII as \DDD, and '.' and '\' after a backslash.
QString unescape(const QByteArray &in) {
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const bool decimal = in[i] == '\\' && i + 3 < in.size() && QChar::fromLatin1(in[i + 1]).isDigit();
        if (decimal)
            out.append(static_cast<char>(in.mid(i + 1, 3).toInt())), i += 3;
        else
            out.append(in[i] == '\\' && i + 1 < in.size() ? in[++i] : in[i]);
    }
    return QString::fromUtf8(out);
}

struct BrowseLine {
    QString name, address, txt;
    int port = 0;
};

// Resolved entries of `avahi-browse -rpt` for `type`.
QList<BrowseLine> avahiBrowse(const QString &type, const QString &bus = QString()) {
    const ChildResult browse =
        runChild(QStringLiteral("avahi-browse"), {QStringLiteral("-rpt"), type.chopped(1)}, onBus(bus), 20s);
    if (browse.exitCode != 0) ADD_FAILURE() << "avahi-browse: " << browse.err.constData();
    QList<BrowseLine> lines;
    for (const QByteArray &raw : browse.out.split('\n')) {
        const QList<QByteArray> f = raw.split(';');
        if (f.size() >= 10 && f[0] == "=")
            lines.append({unescape(f[3]), QString::fromLatin1(f[7]), QString::fromLatin1(f.mid(9).join(';')),
                          f[8].toInt()});
    }
    return lines;
}

// avahi-publish as another program (or, with `bus`, another machine) announcing a service.
std::unique_ptr<ChildProcess> avahiPublish(const QString &name, const QString &type, int port,
                                           const QStringList &txt, const QString &bus = QString()) {
    auto process = std::make_unique<ChildProcess>();
    EXPECT_TRUE(process->start(
        QStringLiteral("avahi-publish"),
        QStringList{QStringLiteral("-s"), name, type.chopped(1), QString::number(port)} + txt, onBus(bus)));
    return process;
}

void stopProcess(std::unique_ptr<ChildProcess> &process) {
    if (!process) return;
    process->signal(SIGTERM); // by its PID
    process->waitForExit(5s);
    process.reset(); // killed if it still runs
}

const DnsSdRecorder::Event *found(const DnsSdRecorder &recorder, const QString &name, const QString &type) {
    for (const DnsSdRecorder::Event &e : recorder.events)
        if (e.kind == QLatin1String("found") && e.service.name == name && e.service.type == type) return &e;
    return nullptr;
}

DnsSdService stream(const QString &name) {
    return {name, kStream, QStringLiteral("local."), -1, -1, {}};
}

// Turns the event loop for `time`, so that what should not happen has had its chance.
void settle(std::chrono::milliseconds time) {
    waitUntil([] { return false; }, time);
}

qsizetype logCount(const LogCapture &log, const QString &text) {
    return log.messages().filter(text).size();
}

} // namespace

TEST(AvahiNetns, OurTwoServicesUnderOneNameAreSeenByAvahiBrowseAndWithdrawn) {
    REQUIRE_NAMESPACE();
    AvahiDnsSdProvider provider;
    DnsSdRecorder publishing, browsing;
    auto publisher = provider.createPublisher(publishing);
    // Our own browser on the same daemon must see our own services (never hidden as LOCAL/OUR_OWN).
    auto browser = provider.createBrowser(browsing);
    browser->searchForServicesOfType(kStream, QStringLiteral("local."));
    publisher->publish(kLongName, {{kDevice, 5001, {"v=1"}}, {kStream, 8080, {"path=/stream", "param=a=b"}}});
    ASSERT_TRUE(waitUntil([&] { return publishing.count("published") == 1; }, 15s));
    EXPECT_EQ(publishing.last("published")->name, kLongName);

    const QList<BrowseLine> streams = avahiBrowse(kStream);
    const QList<BrowseLine> devices = avahiBrowse(kDevice);
    ASSERT_EQ(streams.size(), 1);
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(streams[0].name + devices[0].name, kLongName + kLongName);
    EXPECT_EQ(streams[0].address, kAddress);
    EXPECT_EQ(streams[0].port * 10000 + devices[0].port, 8080 * 10000 + 5001);
    EXPECT_TRUE(streams[0].txt.contains(QLatin1String("\"path=/stream\""))) << qPrintable(streams[0].txt);

    ASSERT_TRUE(waitUntil([&] { return found(browsing, kLongName, kStream) != nullptr; }, 10s));
    auto resolver = provider.createResolver(browsing);
    resolver->resolve(found(browsing, kLongName, kStream)->service, 10s);
    ASSERT_TRUE(
        waitUntil([&] { return browsing.count("resolved") + browsing.count("notResolved") == 1; }, 15s));
    ASSERT_EQ(browsing.count("resolved"), 1);
    EXPECT_EQ(browsing.last("resolved")->resolution.txtRecord,
              (QList<QByteArray>{"path=/stream", "param=a=b"}));

    publisher->stop();
    ASSERT_TRUE(waitUntil([&] { return browsing.count("removed") == 1; }, 10s));
    EXPECT_TRUE(avahiBrowse(kStream).isEmpty());
    EXPECT_TRUE(avahiBrowse(kDevice).isEmpty());
}

TEST(AvahiNetns, ServicesOfAnotherProgramAreFoundResolvedAndRemovedWhenItExits) {
    REQUIRE_NAMESPACE();
    AvahiDnsSdProvider provider;
    DnsSdRecorder recorder;
    auto streams = provider.createBrowser(recorder);
    auto devices = provider.createBrowser(recorder);
    streams->searchForServicesOfType(kStream, QStringLiteral("local."));
    devices->searchForServicesOfType(kDevice, QString());

    const QString name = QStringLiteral("Wren-HD im Hörsaal 3 – Ω");
    auto streamPublisher = avahiPublish(name, kStream, 8765, {"path=/stream", "a=1", "b=2"});
    auto devicePublisher = avahiPublish(name, kDevice, 8766, {});
    ASSERT_TRUE(
        waitUntil([&] { return found(recorder, name, kStream) && found(recorder, name, kDevice); }, 15s));
    const DnsSdService service = found(recorder, name, kStream)->service;
    EXPECT_EQ(service.domain, QStringLiteral("local."));

    auto resolver = provider.createResolver(recorder);
    resolver->resolve(service, 0ms);
    ASSERT_TRUE(waitUntil([&] { return recorder.count("resolved") == 1; }, 15s));
    const DnsSdResolution &r = recorder.last("resolved")->resolution;
    EXPECT_EQ(r.hostName, QStringLiteral("lectern-dnssd.local"));
    ASSERT_FALSE(r.addresses.isEmpty());
    EXPECT_EQ(r.addresses[0].address, QHostAddress(kAddress));
    EXPECT_EQ(r.addresses[0].port, 8765);
    EXPECT_EQ(r.txtRecord, (QList<QByteArray>{"path=/stream", "a=1", "b=2"}));

    // The name is taken: announcing it here is a collision, reported as one, and withdrawn.
    auto publisher = provider.createPublisher(recorder);
    publisher->publish(name, {{kStream, 9999, {}}});
    ASSERT_TRUE(waitUntil([&] { return recorder.count("notPublished") == 1; }, 15s));
    EXPECT_EQ(recorder.last("notPublished")->error.code, DnsSdErrorCode::Collision);
    EXPECT_EQ(recorder.count("published"), 0);

    stopProcess(streamPublisher);
    ASSERT_TRUE(waitUntil([&] { return recorder.count("removed") == 1; }, 15s));
    EXPECT_EQ(recorder.last("removed")->service.type, kStream);
    EXPECT_EQ(recorder.present(), QStringList{name + QLatin1Char('|') + kDevice});
    stopProcess(devicePublisher);
    ASSERT_TRUE(waitUntil([&] { return recorder.count("removed") == 2; }, 15s));
    EXPECT_TRUE(recorder.present().isEmpty());
    EXPECT_EQ(recorder.count("found"), 2); // one found per service, not per interface or protocol
}

TEST(AvahiNetns, AResolveOfAServiceThatIsNotThereTimesOut) {
    REQUIRE_NAMESPACE();
    AvahiDnsSdProvider provider;
    DnsSdRecorder recorder;
    auto resolver = provider.createResolver(recorder);
    resolver->resolve(stream(QStringLiteral("Nobody")), 1500ms);
    ASSERT_TRUE(waitUntil([&] { return recorder.events.size() == 1; }, 15s));
    EXPECT_EQ(recorder.events[0].kind, QStringLiteral("notResolved"));
    EXPECT_EQ(recorder.events[0].error.code, DnsSdErrorCode::Timeout);
}

// Two machines: a second daemon across the veth (needs --peer).
TEST(AvahiNetns, ServicesCrossBetweenTwoDaemons) {
    REQUIRE_NAMESPACE();
    const QString peerBus = qEnvironmentVariable("DNSSD_NETNS_PEER_BUS");
    if (peerBus.isEmpty()) GTEST_SKIP() << "needs --peer";
    AvahiDnsSdProvider provider;
    DnsSdRecorder recorder;
    auto browser = provider.createBrowser(recorder);
    browser->searchForServicesOfType(kStream, QString());

    // Published on the other machine, resolved here.
    const QString remoteName = QStringLiteral("Kite-1 drüben");
    auto remote = avahiPublish(remoteName, kStream, 9100, {"path=/remote"}, peerBus);
    ASSERT_TRUE(waitUntil([&] { return found(recorder, remoteName, kStream) != nullptr; }, 15s));
    auto resolver = provider.createResolver(recorder);
    resolver->resolve(found(recorder, remoteName, kStream)->service, 10s);
    ASSERT_TRUE(
        waitUntil([&] { return recorder.count("resolved") + recorder.count("notResolved") == 1; }, 15s));
    ASSERT_EQ(recorder.count("resolved"), 1);
    const DnsSdResolution &r = recorder.last("resolved")->resolution;
    ASSERT_FALSE(r.addresses.isEmpty());
    EXPECT_EQ(r.addresses[0].address, QHostAddress(kPeerAddress));
    EXPECT_EQ(r.addresses[0].port, 9100);
    EXPECT_EQ(r.txtRecord, QList<QByteArray>{"path=/remote"});

    // Published here, seen on the other machine.
    DnsSdRecorder publishing;
    auto publisher = provider.createPublisher(publishing);
    publisher->publish(QStringLiteral("Lectern hier"), {{kDevice, 1, {}}, {kStream, 8080, {}}});
    ASSERT_TRUE(waitUntil([&] { return publishing.count("published") == 1; }, 15s));
    QList<BrowseLine> seen;
    for (int attempt = 0; attempt < 10 && seen.isEmpty(); ++attempt)
        for (const BrowseLine &line : avahiBrowse(kStream, peerBus))
            if (line.name == QLatin1String("Lectern hier")) seen.append(line);
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen[0].address, kAddress);
    EXPECT_EQ(seen[0].port, 8080);

    stopProcess(remote);
    ASSERT_TRUE(waitUntil([&] { return recorder.count("removed") >= 1; }, 15s));
}

// No system bus at all (so no client can even be made): the program logs it once, keeps going, and
// finds services once the bus appears. Runs in a process of its own: libdbus reads the bus address once.
TEST(AvahiNetns, WithoutABusItLogsOnceKeepsRunningAndPicksTheDaemonUpLater) {
    REQUIRE_NAMESPACE();
    const QString realBus = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    ASSERT_TRUE(realBus.startsWith(QLatin1String("unix:path=")));
    const QString realSocket = realBus.mid(10).section(QLatin1Char(','), 0, 0);
    QTemporaryDir dir(QStringLiteral("/tmp/kl-bus-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString socket = dir.filePath(QStringLiteral("bus"));
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).toUtf8());

    auto publisher = avahiPublish(QStringLiteral("Late Lectern"), kStream, 8080, {}, realBus);
    LogCapture log;
    AvahiDnsSdProvider provider(100ms);
    DnsSdRecorder recorder;
    auto browser = provider.createBrowser(recorder);
    browser->searchForServicesOfType(kStream, QString());
    auto resolver = provider.createResolver(recorder);
    resolver->resolve(stream(QStringLiteral("Late Lectern")), 0ms);
    // Several retries pass; one log line says so; nothing is reported as found or failed meanwhile.
    settle(600ms);
    EXPECT_FALSE(provider.isDaemonRunning());
    EXPECT_EQ(logCount(log, QStringLiteral("cannot reach avahi-daemon")), 1);
    EXPECT_TRUE(recorder.events.isEmpty());

    ASSERT_TRUE(QFile::link(realSocket, socket));
    ASSERT_TRUE(
        waitUntil([&] { return recorder.count("found") == 1 && recorder.count("resolved") == 1; }, 15s));
    EXPECT_TRUE(provider.isDaemonRunning());
    EXPECT_EQ(recorder.last("resolved")->resolution.addresses.value(0).address, QHostAddress(kAddress));
    stopProcess(publisher);
}

// One daemon on both ends of the veth: every service shows up once per interface, as on a machine
// with two network connections. The browser reports it once, and removes it once, when the last goes.
TEST(AvahiNetns, AServiceSeenOnTwoInterfacesIsFoundAndRemovedOnce) {
    REQUIRE_NAMESPACE();
    AvahiDnsSdProvider provider;
    DnsSdRecorder recorder;
    auto browser = provider.createBrowser(recorder);
    browser->searchForServicesOfType(kStream, QString());
    auto publisher = avahiPublish(QStringLiteral("Twice"), kStream, 8080, {});
    ASSERT_TRUE(waitUntil([&] { return recorder.count("found") == 1; }, 15s));
    // Both instances are in once the daemon's own browse shows them.
    qsizetype instances = 0;
    for (int attempt = 0; attempt < 10 && instances < 2; ++attempt)
        instances = avahiBrowse(kStream).size();
    ASSERT_EQ(instances, 2);
    settle(300ms);
    EXPECT_EQ(recorder.count("found"), 1);
    stopProcess(publisher);
    ASSERT_TRUE(waitUntil([&] { return recorder.count("removed") == 1; }, 15s));
    settle(300ms);
    EXPECT_EQ(recorder.count("removed"), 1);
    EXPECT_EQ(recorder.count("found"), 1);
}

// In the program the browsers live on the device thread and the publisher on the server's thread, made
// by one shared provider: each thread's objects run on that thread's own event loop.
TEST(AvahiNetns, OneProviderServesObjectsOnSeveralThreads) {
    REQUIRE_NAMESPACE();
    AvahiDnsSdProvider provider;
    DnsSdRecorder publishing;
    auto publisher = provider.createPublisher(publishing);
    publisher->publish(QStringLiteral("Seen from a thread"), {{kStream, 8123, {"path=/x"}}});

    std::atomic<bool> resolved{false}, stop{false};
    DnsSdRecorder recorder; // used by the device thread only until it is joined
    QThread *deviceThread = nullptr;
    std::thread device([&] {
        QEventLoop loop; // gives this thread an event dispatcher
        deviceThread = QThread::currentThread();
        auto resolver = provider.createResolver(recorder);
        auto browser = provider.createBrowser(recorder);
        recorder.onEvent = [&](const DnsSdRecorder::Event &e) {
            if (e.kind == QLatin1String("found")) resolver->resolve(e.service, 0ms);
            if (e.kind == QLatin1String("resolved")) resolved = true;
        };
        browser->searchForServicesOfType(kStream, QString());
        for (int i = 0; i < 20000 && !stop; ++i) {
            loop.processEvents(QEventLoop::AllEvents);
            std::this_thread::sleep_for(1ms);
        }
    });
    const bool done = waitUntil([&] { return resolved.load(); }, 15s); // the publisher needs this loop
    stop = true;
    device.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(publishing.count("published"), 1);
    EXPECT_EQ(recorder.last("resolved")->resolution.addresses.value(0).port, 8123);
    EXPECT_EQ(recorder.threads.count(deviceThread), recorder.threads.size());
}

// A system bus without avahi-daemon on it: the client waits (AVAHI_CLIENT_NO_FAIL), says so once, and
// nothing fails or is found. When the bus itself goes and comes back, the client is dropped, retried
// and made again. Runs in a process of its own (the bus address is read once).
TEST(AvahiNetns, ABusWithoutTheDaemonIsWaitedForQuietlyAndALostBusIsRetried) {
    REQUIRE_NAMESPACE();
    QTemporaryDir dir(QStringLiteral("/tmp/kl-bus-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString socket = dir.filePath(QStringLiteral("bus"));
    const QString address = QStringLiteral("unix:path=") + socket;
    auto startBus = [&] {
        auto bus = std::make_unique<ChildProcess>();
        EXPECT_TRUE(bus->start(QStringLiteral("dbus-daemon"),
                               {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                QStringLiteral("--address=") + address}));
        EXPECT_TRUE(waitUntil([&] { return QFile::exists(socket); }, 10s));
        return bus;
    };
    auto bus = startBus();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
    LogCapture log;
    AvahiDnsSdProvider provider(100ms);
    DnsSdRecorder recorder;
    auto browser = provider.createBrowser(recorder);
    browser->searchForServicesOfType(kStream, QString());
    auto publisher = provider.createPublisher(recorder);
    publisher->publish(QStringLiteral("Waiting"), {{kStream, 8080, {}}});
    auto resolver = provider.createResolver(recorder);
    resolver->resolve(stream(QStringLiteral("Waiting")), 0ms);
    // On a busy machine the client's first answer may take a while; it comes once.
    EXPECT_TRUE(waitUntil(
        [&] {
            return logCount(log, QStringLiteral("avahi-daemon is not running; waiting for it")) >= 1 &&
                   log.contains(QStringLiteral("\"Waiting\" will be announced once avahi-daemon is running"));
        },
        10s));
    settle(300ms);
    EXPECT_FALSE(provider.isDaemonRunning());
    EXPECT_EQ(logCount(log, QStringLiteral("avahi-daemon is not running; waiting for it")), 1);

    stopProcess(bus);
    QFile::remove(socket);
    ASSERT_TRUE(waitUntil([&] { return log.contains(QStringLiteral("cannot reach avahi-daemon")); }, 10s));
    settle(400ms); // several retries, one line
    EXPECT_EQ(logCount(log, QStringLiteral("cannot reach avahi-daemon")), 1);

    bus = startBus();
    ASSERT_TRUE(waitUntil([&] { return log.contains(QStringLiteral("the system bus is back")); }, 10s));
    EXPECT_TRUE(waitUntil(
        [&] { return logCount(log, QStringLiteral("avahi-daemon is not running; waiting for it")) == 2; },
        10s));
    EXPECT_TRUE(recorder.events.isEmpty()); // waiting is not failing
    resolver.reset();
    publisher.reset();
    browser.reset();
    stopProcess(bus);
}
