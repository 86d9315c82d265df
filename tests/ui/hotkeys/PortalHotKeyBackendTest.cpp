#include "ui/hotkeys/PortalHotKeyBackend.h"

#include <chrono>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QThread>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "ui/hotkeys/HotKeyModifiers.h"

using namespace std::chrono_literals;
using namespace HotKeyModifiers;

namespace {

// QtDBus runs every connection on a thread of its own and hands messages over with Qt's own locking,
// which ThreadSanitizer cannot see in Debian's uninstrumented Qt: every D-Bus call would be reported.
// The backend itself is single-threaded, so these tests run in the other builds only.
#if defined(__SANITIZE_THREAD__)
constexpr bool kUnderThreadSanitizer = true;
#elif defined(__has_feature)
constexpr bool kUnderThreadSanitizer = __has_feature(thread_sanitizer);
#else
constexpr bool kUnderThreadSanitizer = false;
#endif
#define SKIP_UNDER_THREAD_SANITIZER()                                                                        \
    if (kUnderThreadSanitizer) GTEST_SKIP() << "QtDBus's own threads are invisible to ThreadSanitizer"

const QString kDesktop = QStringLiteral("/org/freedesktop/portal/desktop");

QString lastElement(const QString &path) {
    return path.section(QLatin1Char('/'), -1);
}

// The desktop portal's side of GlobalShortcuts, answering as the real one does: a request object per
// call, whose Response signal carries the result. It runs in a thread of its own, since the backend
// waits for its replies.
class FakePortal : public QDBusVirtualObject {
public:
    QStringList calls() const {
        QMutexLocker lock(&mutex_);
        return calls_;
    }
    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        QDBusConnection bus(connection);
        const QString member = message.member();
        if (member == QLatin1String("Get"))
            return bus.send(message.createReply(QVariant::fromValue(QDBusVariant(2u))));
        if (member == QLatin1String("Close")) return record("Close " + lastElement(message.path()));
        const auto options = qdbus_cast<QVariantMap>(message.arguments().constLast());
        const QString sender = message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request =
            kDesktop + "/request/" + sender + "/" + options.value("handle_token").toString();
        QVariantMap results;
        if (member == QLatin1String("CreateSession")) {
            const QString token = options.value("session_handle_token").toString();
            results["session_handle"] = kDesktop + "/session/" + sender + "/" + token;
            record("CreateSession " + token);
        } else if (member == QLatin1String("BindShortcuts")) {
            record("BindShortcuts " + lastElement(message.arguments()[0].value<QDBusObjectPath>().path()) +
                   shortcuts(message.arguments()[1].value<QDBusArgument>()));
        } else {
            return false;
        }
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        return bus.send(QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response")
                        << 0u << results);
    }

private:
    bool record(const QString &call) {
        QMutexLocker lock(&mutex_);
        calls_ << call;
        return true;
    }
    static QString shortcuts(const QDBusArgument &argument) {
        QString out;
        argument.beginArray();
        while (!argument.atEnd()) {
            QString id;
            QVariantMap options;
            argument.beginStructure();
            argument >> id >> options;
            argument.endStructure();
            out += " " + id + "=" + options.value("preferred_trigger").toString();
        }
        argument.endArray();
        return out;
    }

    mutable QMutex mutex_;
    QStringList calls_;
};

// A session bus of the test's own, with the fake portal on it.
struct PortalRig {
    ChildProcess daemon;
    QString address;
    QThread thread;
    FakePortal portal;

    bool start() {
        if (!daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"}))
            return false;
        if (!daemon.readUntil([this] { return daemon.out().contains('\n'); }, 10s)) return false;
        address = QString::fromLatin1(daemon.out()).trimmed();
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("portal"));
        const bool registered = bus.registerVirtualObject(kDesktop, &portal, QDBusConnection::SubPath) &&
                                bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
        portal.moveToThread(&thread);
        thread.start();
        return registered;
    }
    void send(const char *signal, const QString &sessionToken, const QString &id) {
        const QString session = kDesktop + "/session/" +
                                client().baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_')) +
                                "/" + sessionToken;
        QDBusConnection(QStringLiteral("portal"))
            .send(QDBusMessage::createSignal(kDesktop, "org.freedesktop.portal.GlobalShortcuts", signal)
                  << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap());
    }
    QDBusConnection client() { return QDBusConnection::connectToBus(address, QStringLiteral("client")); }
    ~PortalRig() {
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        thread.quit();
        thread.wait();
    }
};

} // namespace

TEST(PortalHotKeyBackend, WritesTheCombinationAsAPortalTrigger) {
    struct Case {
        DCKeyCombo combo;
        const char *trigger;
    };
    const Case cases[] = {
        {{XKB_KEY_F5, kShift | kControl}, "CTRL+SHIFT+F5"},
        {{XKB_KEY_Escape, 0}, "Escape"},
        {{XKB_KEY_a, kMeta | kAlt}, "ALT+LOGO+a"},
        {{XKB_KEY_Escape, kNumLock | kLock}, "Escape"},
        {DCKeyCombo::clearKeyCombo(), ""},
        {{0x7fffffff, 0}, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PortalHotKeyBackend::triggerFor(c.combo), QLatin1String(c.trigger)) << c.trigger;
}

TEST(PortalHotKeyBackend, WithoutAPortalRegistrationAnswersNoAndLogsOnce) {
    SKIP_UNDER_THREAD_SANITIZER();
    LogCapture log;
    PortalHotKeyBackend backend(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/korva-bus"), QStringLiteral("korva-no-portal")));
    EXPECT_FALSE(backend.registerKeyCombo({XKB_KEY_Escape, 0}, {QStringLiteral("Esc"), QString()}));
    EXPECT_EQ(log.messages().size(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("Esc is not registered")));
    QDBusConnection::disconnectFromBus(QStringLiteral("korva-no-portal"));
}

TEST(PortalHotKeyBackend, BindsEveryShortcutInOneSessionAndHearsThem) {
    SKIP_UNDER_THREAD_SANITIZER();
    PortalRig rig;
    if (runChild(QStringLiteral("dbus-daemon"), {"--version"}).exitCode != 0)
        GTEST_SKIP() << "no dbus-daemon";
    ASSERT_TRUE(rig.start());
    QStringList heard;
    {
        PortalHotKeyBackend backend(rig.client());
        QObject::connect(&backend, &HotKeyBackend::pressed,
                         [&](auto r) { heard << QString("pressed %1").arg(r); });
        QObject::connect(&backend, &HotKeyBackend::released,
                         [&](auto r) { heard << QString("released %1").arg(r); });
        // The second registration comes before the portal's answer to the first: the first session is
        // of no use then, and only the second binds, with both shortcuts.
        ASSERT_EQ(backend.registerKeyCombo({XKB_KEY_Escape, 0}, {"AppExitFromFullScreenKey", "Leave"}), 1u);
        ASSERT_EQ(backend.registerKeyCombo({XKB_KEY_F5, kControl | kShift}, {"f5", ""}), 2u);
        ASSERT_TRUE(waitUntil([&] { return rig.portal.calls().size() >= 4; }));
        EXPECT_EQ(rig.portal.calls(),
                  QStringList({"CreateSession korva2", "CreateSession korva4", "Close korva2",
                               "BindShortcuts korva4 AppExitFromFullScreenKey=Escape f5=CTRL+SHIFT+F5"}));

        rig.send("Activated", "korva2", "f5"); // the closed session: not ours any more
        rig.send("Activated", "korva4", "f5");
        rig.send("Deactivated", "korva4", "f5");
        ASSERT_TRUE(waitUntil([&] { return heard.size() >= 2; }));
        EXPECT_EQ(heard, QStringList({"pressed 2", "released 2"}));

        backend.unregisterKeyCombo(2);
        ASSERT_TRUE(waitUntil([&] { return rig.portal.calls().size() >= 7; }));
        EXPECT_EQ(rig.portal.calls().mid(4),
                  QStringList({"Close korva4", "CreateSession korva7",
                               "BindShortcuts korva7 AppExitFromFullScreenKey=Escape"}));
    }
    // The backend's end closes its session, and with it the shortcuts.
    ASSERT_TRUE(waitUntil([&] { return rig.portal.calls().size() >= 8; }));
    EXPECT_EQ(rig.portal.calls().last(), "Close korva7");
}
