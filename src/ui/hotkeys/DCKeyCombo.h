#pragma once

#include <cstdint>

#include <QString>
#include <QVariantMap>

// A key with its modifiers, as a hot key is bound to it. Immutable: copies are as good as the original.
//
// The key code is an X keysym (xkbcommon's XKB_KEY_* values, XKB_KEY_Escape = 0xff1b): it names the
// key the same way on X11 and in the desktop portal's triggers, whatever the keyboard's layout. -1 is
// no key, the clear combination. The modifiers are the X11 core masks (HotKeyModifiers.h); Qt's
// keyboard modifiers convert to and from them there.
class DCKeyCombo {
public:
    // The property-list keys.
    static constexpr const char *kKeyCodeKey = "keyCode";
    static constexpr const char *kModifiersKey = "modifiers";

    DCKeyCombo() = default; // the clear combination
    DCKeyCombo(int32_t keyCode, uint32_t modifiers) : keyCode_(keyCode), modifiers_(modifiers) {}
    // An absent or empty map is the clear combination; a key code below -1, or one that no 32-bit number
    // holds, is raised to -1 (no key).
    explicit DCKeyCombo(const QVariantMap &plistRepresentation);

    static DCKeyCombo clearKeyCombo() { return DCKeyCombo(); }
    static DCKeyCombo keyComboWithKeyCode(int32_t keyCode, uint32_t modifiers) {
        return DCKeyCombo(keyCode, modifiers);
    }

    QVariantMap plistRepresentation() const;
    int32_t keyCode() const { return keyCode_; }
    uint32_t modifiers() const { return modifiers_; }
    bool isValidHotKeyCombo() const { return keyCode_ >= 0; }
    bool isClearCombo() const { return keyCode_ == -1; }
    // "<DCKeyCombo: keyCode 0xff1b, modifiers 0x4>"
    QString description() const;

    friend bool operator==(const DCKeyCombo &, const DCKeyCombo &) = default;

private:
    int32_t keyCode_ = -1;
    uint32_t modifiers_ = 0;
};
