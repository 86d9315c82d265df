#include "ui/hotkeys/DCKeyCombo.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <gtest/gtest.h>

#include "ui/hotkeys/HotKeyModifiers.h"

using namespace HotKeyModifiers;

TEST(DCKeyCombo, ReadsItsPropertyList) {
    struct Case {
        const char *name;
        QVariantMap plist;
        int32_t keyCode;
        uint32_t modifiers;
    };
    const Case cases[] = {
        {"empty", {}, -1, 0},
        {"key and modifiers", {{"keyCode", XKB_KEY_F5}, {"modifiers", kControl | kShift}}, XKB_KEY_F5, 5},
        {"negative key raised to -1", {{"keyCode", -5}, {"modifiers", 4}}, -1, 4},
        {"key too large for 32 bits", {{"keyCode", qint64(1) << 32}}, -1, 0},
        {"number as text", {{"keyCode", QStringLiteral("65307")}}, XKB_KEY_Escape, 0},
    };
    for (const Case &c : cases) {
        const DCKeyCombo combo(c.plist);
        EXPECT_EQ(combo.keyCode(), c.keyCode) << c.name;
        EXPECT_EQ(combo.modifiers(), c.modifiers) << c.name;
        EXPECT_EQ(DCKeyCombo(combo.plistRepresentation()), combo) << c.name;
    }
    EXPECT_TRUE(DCKeyCombo(QVariantMap{{"keyCode", -5}}).isClearCombo());
    EXPECT_FALSE(DCKeyCombo(QVariantMap{{"keyCode", -5}}).isValidHotKeyCombo());
}

TEST(HotKeyModifiers, ConvertToAndFromQt) {
    struct Case {
        uint32_t mask;
        Qt::KeyboardModifiers qt;
    };
    const Case pairs[] = {
        {kShift, Qt::ShiftModifier},
        {kControl, Qt::ControlModifier},
        {kAlt, Qt::AltModifier},
        {kMeta, Qt::MetaModifier},
        {kControl | kShift | kAlt | kMeta,
         Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier},
    };
    for (const Case &c : pairs) {
        EXPECT_EQ(qtModifiersFromHotKeyModifiers(c.mask), c.qt) << c.mask;
        EXPECT_EQ(hotKeyModifiersFromQtModifiers(c.qt), c.mask) << c.mask;
    }
    // The locks and anything unknown are dropped either way.
    EXPECT_EQ(qtModifiersFromHotKeyModifiers(kLock | kNumLock | 0x800000 | kControl), Qt::ControlModifier);
    EXPECT_EQ(hotKeyModifiersFromQtModifiers(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0u);
}
