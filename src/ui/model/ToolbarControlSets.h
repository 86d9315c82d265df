#pragma once

#include <array>

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "ui/model/ToolbarControlState.h"

// The two sets of camera controls, the main window's toolbar and the full-screen overlay's, as their
// widgets mirror them: per control its items, selection, title, check marks and whether it can be used.
// It holds no rule of its own beyond a pull-down's: a selected item is the only checked one (the mutex
// state) and a title reads "Label: value". CameraToolbarModel decides what changes. Main thread only.
class ToolbarControlSets : public QObject {
    Q_OBJECT
public:
    enum class Set { Toolbar, Overlay };
    enum class Control { Zoom, Mirror, Timer, Resolution, Exposure, ExposureLock, Focus };
    Q_ENUM(Set)
    Q_ENUM(Control)
    static constexpr int kControlCount = 7;

    explicit ToolbarControlSets(QObject *parent = nullptr);

    const ToolbarControlState &state(Set set, Control control) const;
    const AFLockControlState &afLock(Set set) const;
    // The controls the current camera admits, in toolbar order; both sets show the same ones.
    QList<Control> items() const { return items_; }
    bool isLocked() const { return locked_; }
    // Shown, enabled for the camera, and no countdown running.
    bool isUsable(Set set, Control control) const;

    static Set twin(Set set) { return set == Set::Toolbar ? Set::Overlay : Set::Toolbar; }
    // The toolbar item identifier ("zoom", "mirror", ...).
    static QString identifier(Control control);
    // The control's label in titles ("Zoom", ..., "AE").
    static QString label(Control control);
    // "Label: value".
    static QString titled(Control control, const QString &value);

    // Selects `index`, checks it alone and titles the control with its item ("--" when there is none).
    void select(Set set, Control control, int index);
    // As select(), with a title of the caller's.
    void select(Set set, Control control, int index, const QString &title);
    // The other set's control takes this one's selection, title and check marks.
    void copyToTwin(Set from, Control control);
    void setTitle(Set set, Control control, const QString &title);
    void setChecked(Set set, Control control, int index, bool checked);
    void setCheckedItems(Set set, Control control, const QList<int> &items);
    // Both sets.
    void setItems(Control control, const QStringList &items);
    void setEnabled(Control control, bool enabled);
    void setAFLock(Set set, const AFLockControlState &state);
    void setShownControls(const QList<Control> &controls);
    void setLocked(bool locked);

Q_SIGNALS:
    void controlChanged(ToolbarControlSets::Set set, ToolbarControlSets::Control control);
    // The admitted controls changed: both toolbars rebuild their items.
    void itemsChanged();
    void lockedChanged(bool locked);

private:
    ToolbarControlState &mutableState(Set set, Control control);

    std::array<std::array<ToolbarControlState, kControlCount>, 2> states_;
    std::array<AFLockControlState, 2> afLocks_;
    QList<Control> items_;
    bool locked_ = false;
};
