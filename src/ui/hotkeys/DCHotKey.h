#pragma once

#include <optional>

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include "ui/hotkeys/DCKeyCombo.h"

// A named hot key: an identifier, a display name, the key combination and what to do when it is
// pressed. The action is the name of a slot (or Q_INVOKABLE method) of the target, called on the main
// thread with the hot key as its one argument, or with none when the target's method takes none. The
// target is not owned: once it is gone, invoking does nothing.
class DCHotKey {
public:
    DCHotKey() : DCHotKey(QString(), std::nullopt) {}
    DCHotKey(QString identifier, std::optional<DCKeyCombo> keyCombo);

    const QString &identifier() const { return identifier_; }
    void setIdentifier(const QString &identifier) { identifier_ = identifier; }
    const QString &name() const { return name_; }
    void setName(const QString &name) { name_ = name; }
    const DCKeyCombo &keyCombo() const { return keyCombo_; }
    // No combination stores the clear one, so a hot key always has a combination.
    void setKeyCombo(std::optional<DCKeyCombo> keyCombo) { keyCombo_ = keyCombo.value_or(DCKeyCombo()); }
    QObject *target() const { return target_; }
    void setTarget(QObject *target) { target_ = target; }
    const QByteArray &action() const { return action_; }
    void setAction(const QByteArray &action) { action_ = action; }

    // Calls the action on the target. A missing target or action does nothing; an action the target
    // does not have is logged.
    void invoke();
    // "<DCHotKey: identifier, <DCKeyCombo: ...>>"
    QString description() const;

private:
    QString identifier_;
    QString name_;
    DCKeyCombo keyCombo_;
    QPointer<QObject> target_;
    QByteArray action_;
};
