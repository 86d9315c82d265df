#include "ui/hotkeys/DCKeyCombo.h"

#include <limits>

DCKeyCombo::DCKeyCombo(const QVariantMap &plistRepresentation) {
    if (plistRepresentation.isEmpty()) return;
    // Read wide, so that a number too large for the key code cannot wrap round into a valid one.
    const qint64 keyCode = plistRepresentation.value(QLatin1String(kKeyCodeKey)).toLongLong();
    keyCode_ = keyCode < -1 || keyCode > std::numeric_limits<int32_t>::max() ? -1 : int32_t(keyCode);
    modifiers_ = plistRepresentation.value(QLatin1String(kModifiersKey)).toUInt();
}

QVariantMap DCKeyCombo::plistRepresentation() const {
    return {{QLatin1String(kKeyCodeKey), keyCode_}, {QLatin1String(kModifiersKey), modifiers_}};
}

QString DCKeyCombo::description() const {
    return QStringLiteral("<DCKeyCombo: keyCode 0x%1, modifiers 0x%2>")
        .arg(QString::number(uint32_t(keyCode_), 16), QString::number(modifiers_, 16));
}
