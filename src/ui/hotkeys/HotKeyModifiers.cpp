#include "ui/hotkeys/HotKeyModifiers.h"

#include <array>
#include <utility>

namespace HotKeyModifiers {
namespace {

constexpr std::array<std::pair<uint32_t, Qt::KeyboardModifier>, 4> kPairs{{
    {kShift, Qt::ShiftModifier},
    {kControl, Qt::ControlModifier},
    {kAlt, Qt::AltModifier},
    {kMeta, Qt::MetaModifier},
}};

} // namespace

Qt::KeyboardModifiers qtModifiersFromHotKeyModifiers(uint32_t modifiers) {
    Qt::KeyboardModifiers out;
    for (const auto &[mask, qt] : kPairs)
        if (modifiers & mask) out |= qt;
    return out;
}

uint32_t hotKeyModifiersFromQtModifiers(Qt::KeyboardModifiers modifiers) {
    uint32_t out = 0;
    for (const auto &[mask, qt] : kPairs)
        if (modifiers.testFlag(qt)) out |= mask;
    return out;
}

} // namespace HotKeyModifiers
