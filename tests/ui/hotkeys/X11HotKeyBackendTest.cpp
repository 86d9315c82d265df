// The X11 key grabs in a real X server: keys typed from outside with xdotool reach the hot key whatever
// window has the keyboard, also with Num Lock on, and a combination another X client holds is refused.
#include "ui/hotkeys/X11HotKeyBackend.h"

#include <chrono>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <QGuiApplication>
#include <QtTest>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "ui/hotkeys/DCHotKeyCenter.h"
#include "ui/hotkeys/HotKeyBackendFactory.h"
#include "ui/hotkeys/HotKeyModifiers.h"

using namespace std::chrono_literals;
using namespace HotKeyModifiers;

namespace {

bool xdotool(const QStringList &arguments) {
    return runChild(QStringLiteral("xdotool"), arguments, ChildProcess::systemEnvironment(), 10s).exitCode ==
           0;
}

// Another program on the same display, with a connection of its own.
class OtherClient {
public:
    OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    // Lets go of its grabs before it goes: the server handles a closed connection in its own time, so a
    // grab tried right after a plain disconnect may still find the key held.
    ~OtherClient() {
        std::free(xcb_request_check(
            connection_, xcb_ungrab_key_checked(connection_, XCB_GRAB_ANY, root_, XCB_MOD_MASK_ANY)));
        xcb_disconnect(connection_);
    }
    bool grab(uint8_t keycode, uint16_t modifiers) {
        xcb_generic_error_t *error =
            xcb_request_check(connection_, xcb_grab_key_checked(connection_, 1, root_, modifiers, keycode,
                                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }
    // Num Lock's state as the server keeps it.
    bool numLockOn() {
        xcb_query_pointer_reply_t *reply =
            xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr);
        const bool on = reply && (reply->mask & kNumLock);
        std::free(reply);
        return on;
    }
    uint8_t keycodeOf(uint32_t keysym) {
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection_);
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
        const uint8_t first = codes ? codes[0] : 0;
        std::free(codes);
        xcb_key_symbols_free(symbols);
        return first;
    }

private:
    xcb_connection_t *connection_;
    xcb_window_t root_ = 0;
};

} // namespace

class X11HotKeyBackendTest : public QObject {
    Q_OBJECT

    std::unique_ptr<DCHotKeyCenter> center_;
    QStringList heard_;

    std::shared_ptr<DCHotKey> hotKey(const char *identifier, DCKeyCombo combo) {
        return std::make_shared<DCHotKey>(QLatin1String(identifier), combo);
    }

private Q_SLOTS:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        if (!xdotool({QStringLiteral("version")})) QSKIP("xdotool is missing");
        std::unique_ptr<HotKeyBackend> backend = HotKeyBackendFactory::create();
        QVERIFY2(dynamic_cast<X11HotKeyBackend *>(backend.get()), "the factory chose no key grabs on X11");
        center_ = std::make_unique<DCHotKeyCenter>(std::move(backend));
        connect(center_.get(), &DCHotKeyCenter::hotKeyPressed, this,
                [this](DCHotKey *k) { heard_ << "pressed " + k->identifier(); });
        connect(center_.get(), &DCHotKeyCenter::hotKeyReleased, this,
                [this](DCHotKey *k) { heard_ << "released " + k->identifier(); });
    }
    void init() { heard_.clear(); }
    void cleanup() {
        for (const auto &hotKey : center_->allHotKeys())
            center_->unregisterHotKey(hotKey);
    }
    void cleanupTestCase() { center_.reset(); }

    void aGrabbedComboFiresOnlyWithItsModifiers() {
        auto f5 = hotKey("f5", {XKB_KEY_F5, kControl | kShift});
        QVERIFY(center_->registerHotKey(f5));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("F5"), QStringLiteral("ctrl+F5"),
                         QStringLiteral("ctrl+shift+F5")}));
        QTRY_COMPARE(heard_, QStringList({"pressed f5", "released f5"}));
        QTest::qWait(200);
        QCOMPARE(heard_.size(), 2);
    }

    void itFiresWithNumLockOn() {
        OtherClient probe;
        auto f7 = hotKey("f7", {XKB_KEY_F7, kControl});
        QVERIFY(center_->registerHotKey(f7));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
        QTRY_VERIFY(probe.numLockOn());
        const bool typed = xdotool({QStringLiteral("key"), QStringLiteral("ctrl+F7")});
        QTest::qWait(300);
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")})); // leave it as it was
        QTRY_VERIFY(!probe.numLockOn());
        QVERIFY(typed);
        QTRY_COMPARE(heard_, QStringList({"pressed f7", "released f7"}));
    }

    void aComboAnotherClientHoldsIsRefused() {
        LogCapture log;
        auto other = std::make_unique<OtherClient>();
        const uint8_t f9 = other->keycodeOf(XKB_KEY_F9);
        QVERIFY(f9 != 0);
        QVERIFY(other->grab(f9, kControl | kNumLock)); // one of the four variants is enough to refuse

        auto taken = hotKey("taken", {XKB_KEY_F9, kControl});
        QVERIFY(!center_->registerHotKey(taken));
        QVERIFY(center_->allHotKeys().isEmpty());
        QCOMPARE(log.messages().size(), 1);
        QVERIFY(log.contains(QStringLiteral("held by another program")));

        // Once the other program lets go, the same hot key registers and fires.
        other.reset();
        QVERIFY(center_->registerHotKey(taken));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+F9")}));
        QTRY_COMPARE(heard_, QStringList({"pressed taken", "released taken"}));

        // And once unregistered, it is free for others again.
        center_->unregisterHotKey(taken);
        OtherClient later;
        QVERIFY(later.grab(f9, kControl));
    }
};

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    X11HotKeyBackendTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "X11HotKeyBackendTest.moc"
