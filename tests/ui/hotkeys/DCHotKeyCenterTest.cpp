#include "ui/hotkeys/DCHotKeyCenter.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <QStringList>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

// The desktop's service as a test wants it: records what is asked, refuses the combinations it is told
// to, and presses a registration's keys on demand.
class FakeBackend : public HotKeyBackend {
public:
    QStringList calls;
    QList<DCKeyCombo> refused;
    std::map<Reference, DCKeyCombo> registered;

    std::optional<Reference> registerKeyCombo(const DCKeyCombo &combo, const Label &label) override {
        calls << QStringLiteral("register %1").arg(label.identifier);
        if (refused.contains(combo)) return std::nullopt;
        registered[next_] = combo;
        return next_++;
    }
    void unregisterKeyCombo(Reference reference) override {
        calls << QStringLiteral("unregister %1").arg(reference);
        registered.erase(reference);
    }
    void press(Reference reference) {
        Q_EMIT pressed(reference);
        Q_EMIT released(reference);
    }

private:
    Reference next_ = 1;
};

// A window controller's stand-in: its slots are the hot keys' actions.
class Target : public QObject {
    Q_OBJECT
public:
    QStringList heard;
public Q_SLOTS:
    void withHotKey(DCHotKey *hotKey) { heard << hotKey->identifier(); }
    void withoutArgument() { heard << QStringLiteral("called"); }
};

const DCKeyCombo kEscape(XKB_KEY_Escape, 0);
const DCKeyCombo kCtrlF5(XKB_KEY_F5, 0x4);

struct Rig {
    FakeBackend *backend = new FakeBackend;
    DCHotKeyCenter center{std::unique_ptr<HotKeyBackend>(backend)};

    std::shared_ptr<DCHotKey> hotKey(const char *identifier, std::optional<DCKeyCombo> combo) {
        return std::make_shared<DCHotKey>(QLatin1String(identifier), combo);
    }
};

} // namespace

TEST(DCHotKeyCenter, RegistersAndUnregisters) {
    Rig rig;
    auto escape = rig.hotKey("escape", kEscape);
    auto clear = rig.hotKey("clear", DCKeyCombo(QVariantMap{{"keyCode", -5}}));
    auto never = rig.hotKey("never", kCtrlF5);

    // No valid combination: nothing to register, and that is a success.
    EXPECT_TRUE(rig.center.registerHotKey(clear));
    EXPECT_TRUE(rig.center.registerHotKey(escape));
    // A second registration replaces the first.
    EXPECT_TRUE(rig.center.registerHotKey(escape));
    EXPECT_EQ(rig.center.allHotKeys(), QList<std::shared_ptr<DCHotKey>>{escape});
    // One never registered is left alone.
    rig.center.unregisterHotKey(never);
    rig.center.unregisterHotKey(escape);
    rig.center.unregisterHotKey(escape);
    EXPECT_EQ(rig.backend->calls,
              QStringList({"register escape", "unregister 1", "register escape", "unregister 2"}));
    EXPECT_TRUE(rig.center.allHotKeys().isEmpty());
}

TEST(DCHotKeyCenter, ARefusedRegistrationAnswersNoAndKeepsNothing) {
    Rig rig;
    rig.backend->refused << kCtrlF5;
    auto escape = rig.hotKey("escape", kEscape);
    EXPECT_TRUE(rig.center.registerHotKey(escape));
    // Moving a registered hot key to a refused combination loses the old registration too.
    escape->setKeyCombo(kCtrlF5);
    EXPECT_FALSE(rig.center.registerHotKey(escape));
    EXPECT_TRUE(rig.center.allHotKeys().isEmpty());
    EXPECT_EQ(rig.center.hotKeyWithIdentifier(QStringLiteral("escape")), nullptr);
}

TEST(DCHotKeyCenter, FindsHotKeysByIdentifier) {
    Rig rig;
    auto first = rig.hotKey("same", kEscape);
    auto second = rig.hotKey("same", kCtrlF5);
    auto unnamed = rig.hotKey("", DCKeyCombo(XKB_KEY_F1, 0));
    for (const auto &hotKey : {first, second, unnamed})
        ASSERT_TRUE(rig.center.registerHotKey(hotKey));
    EXPECT_EQ(rig.center.hotKeyWithIdentifier(QStringLiteral("same")), first);
    EXPECT_EQ(rig.center.hotKeyWithIdentifier(QString()), nullptr);
    EXPECT_EQ(rig.center.hotKeyWithIdentifier(QStringLiteral("other")), nullptr);
}

TEST(DCHotKeyCenter, APressCallsTheActionAndSignals) {
    Rig rig;
    Target target;
    QStringList signalled;
    QObject::connect(&rig.center, &DCHotKeyCenter::hotKeyPressed,
                     [&](DCHotKey *k) { signalled << "pressed " + k->identifier(); });
    QObject::connect(&rig.center, &DCHotKeyCenter::hotKeyReleased,
                     [&](DCHotKey *k) { signalled << "released " + k->identifier(); });
    auto escape = rig.hotKey("escape", kEscape);
    escape->setTarget(&target);
    escape->setAction("withHotKey");
    auto f5 = rig.hotKey("f5", kCtrlF5);
    f5->setTarget(&target);
    f5->setAction("withoutArgument");
    ASSERT_TRUE(rig.center.registerHotKey(escape));
    ASSERT_TRUE(rig.center.registerHotKey(f5));

    rig.backend->press(1);
    rig.backend->press(2);
    EXPECT_EQ(target.heard, QStringList({"escape", "called"}));
    EXPECT_EQ(signalled, QStringList({"pressed escape", "released escape", "pressed f5", "released f5"}));

    // A press still on its way when its hot key goes is dropped, not sent to a hot key no one holds.
    rig.center.unregisterHotKey(escape);
    rig.backend->press(1);
    EXPECT_EQ(target.heard.size(), 2);
}

TEST(DCHotKey, InvokingNeedsALiveTargetWithTheAction) {
    LogCapture log;
    DCHotKey hotKey(QStringLiteral("escape"), std::nullopt);
    EXPECT_TRUE(hotKey.keyCombo().isClearCombo());
    hotKey.setKeyCombo(kEscape);
    hotKey.setKeyCombo(std::nullopt);
    EXPECT_TRUE(hotKey.keyCombo().isClearCombo());

    hotKey.invoke(); // no target: nothing
    {
        Target target;
        hotKey.setTarget(&target);
        hotKey.setAction("noSuchSlot");
        hotKey.invoke();
        EXPECT_TRUE(target.heard.isEmpty());
        EXPECT_TRUE(log.contains(QStringLiteral("has no method noSuchSlot")));
    }
    EXPECT_EQ(hotKey.target(), nullptr); // the target went: invoking must not reach it
    hotKey.invoke();
    EXPECT_EQ(log.messages().size(), 1);
}

#include "DCHotKeyCenterTest.moc"
