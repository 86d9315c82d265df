#pragma once

#include <QString>

// The focus-mode ring the overlay and the snapshot sheet show: single or continuous auto-focus, each
// with a lock variant; no ring for any other mode.
namespace FocusRing {
inline QString imageFor(int autoFocusMode, bool locked) {
    const QString lock = locked ? QStringLiteral("-lock") : QString();
    if (autoFocusMode == 1) return QStringLiteral("Background-Single") + lock;
    if (autoFocusMode == 2) return QStringLiteral("Background-Continuos") + lock;
    return {};
}
} // namespace FocusRing
