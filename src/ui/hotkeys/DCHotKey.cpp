#include "ui/hotkeys/DCHotKey.h"

#include <QMetaObject>

#include "core/DCLog.h"

DCHotKey::DCHotKey(QString identifier, std::optional<DCKeyCombo> keyCombo)
    : identifier_(std::move(identifier)), keyCombo_(keyCombo.value_or(DCKeyCombo())) {}

void DCHotKey::invoke() {
    if (!target_ || action_.isEmpty()) return;
    const QMetaObject *meta = target_->metaObject();
    // Looked up first, so that a wrong name is one log line rather than Qt's warning.
    if (meta->indexOfMethod(action_ + "(DCHotKey*)") >= 0) {
        QMetaObject::invokeMethod(target_, action_.constData(), Qt::DirectConnection,
                                  Q_ARG(DCHotKey *, this));
    } else if (meta->indexOfMethod(action_ + "()") >= 0) {
        QMetaObject::invokeMethod(target_, action_.constData(), Qt::DirectConnection);
    } else {
        DCLog("%s has no method %s for the hot key %s", meta->className(), action_.constData(),
              qUtf8Printable(identifier_));
    }
}

QString DCHotKey::description() const {
    return QStringLiteral("<DCHotKey: %1, %2>").arg(identifier_, keyCombo_.description());
}
