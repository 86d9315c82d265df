#pragma once

#include <cstdint>

#include <QtCore/qnamespace.h>

// The modifier flags of a DCKeyCombo are the X11 core modifier masks, the encoding the system-wide key
// grab takes. These convert them to and from the modifiers Qt reports for a key event: Shift, Control,
// Alt (Mod1) and Meta (Mod4, the Super key); every other bit is dropped either way.
namespace HotKeyModifiers {

inline constexpr uint32_t kShift = 0x0001;   // ShiftMask
inline constexpr uint32_t kLock = 0x0002;    // LockMask: Caps Lock
inline constexpr uint32_t kControl = 0x0004; // ControlMask
inline constexpr uint32_t kAlt = 0x0008;     // Mod1Mask
inline constexpr uint32_t kNumLock = 0x0010; // Mod2Mask, where Num Lock sits on common keymaps
inline constexpr uint32_t kMeta = 0x0040;    // Mod4Mask: the Super key

Qt::KeyboardModifiers qtModifiersFromHotKeyModifiers(uint32_t modifiers);
uint32_t hotKeyModifiersFromQtModifiers(Qt::KeyboardModifiers modifiers);

} // namespace HotKeyModifiers
