#include "ui/model/DCImagePropertyController.h"

#include <QDebug>

void DCImagePropertyController::setValue(const QVariant &value, const QString &forKey,
                                         const QString &identify) {
    if (forKey.isEmpty() || identify.isEmpty()) return;
    properties_[identify].insert(forKey, value);
}

QVariant DCImagePropertyController::valueForKey(const QString &key, const QString &identify) const {
    const auto table = properties_.constFind(identify);
    return table == properties_.cend() ? QVariant() : table->value(key);
}

QString DCImagePropertyController::description() const {
    QString text;
    QDebug(&text).nospace() << properties_;
    return text;
}
