#include "ui/model/ToolbarControlSets.h"

#include <algorithm>

namespace {

size_t at(ToolbarControlSets::Set set) {
    return set == ToolbarControlSets::Set::Toolbar ? 0 : 1;
}
size_t at(ToolbarControlSets::Control control) {
    return static_cast<size_t>(control);
}

} // namespace

ToolbarControlSets::ToolbarControlSets(QObject *parent) : QObject(parent) {
    QStringList zoom;
    for (int factor = 1; factor <= 6; ++factor)
        zoom << tr("%1x").arg(factor);
    const QStringList mirror{tr("Horizontal"), tr("Vertical")};
    const QStringList timer{tr("Off"), tr("3 Seconds"), tr("10 Seconds")};
    const QStringList exposureLock{tr("On"), tr("Off")};
    for (auto &set : states_) {
        for (size_t c = 0; c < set.size(); ++c)
            set[c].title = label(static_cast<Control>(c));
        set[at(Control::Zoom)].items = zoom;
        set[at(Control::Mirror)].items = mirror;
        set[at(Control::Timer)].items = timer;
        set[at(Control::ExposureLock)].items = exposureLock;
    }
}

const ToolbarControlState &ToolbarControlSets::state(Set set, Control control) const {
    return states_[at(set)][at(control)];
}

ToolbarControlState &ToolbarControlSets::mutableState(Set set, Control control) {
    return states_[at(set)][at(control)];
}

const AFLockControlState &ToolbarControlSets::afLock(Set set) const {
    return afLocks_[at(set)];
}

bool ToolbarControlSets::isUsable(Set set, Control control) const {
    return !locked_ && items_.contains(control) && state(set, control).enabled;
}

QString ToolbarControlSets::identifier(Control control) {
    switch (control) {
    case Control::Zoom:
        return QStringLiteral("zoom");
    case Control::Mirror:
        return QStringLiteral("mirror");
    case Control::Timer:
        return QStringLiteral("timer");
    case Control::Resolution:
        return QStringLiteral("resolution");
    case Control::Exposure:
        return QStringLiteral("exposure");
    case Control::ExposureLock:
        return QStringLiteral("autoExposure");
    case Control::Focus:
        return QStringLiteral("focus");
    }
    return {};
}

QString ToolbarControlSets::label(Control control) {
    switch (control) {
    case Control::Zoom:
        return tr("Zoom");
    case Control::Mirror:
        return tr("Mirror");
    case Control::Timer:
        return tr("Timer");
    case Control::Resolution:
        return tr("Resolution");
    case Control::Exposure:
        return tr("Exposure");
    case Control::ExposureLock:
        return tr("AE");
    case Control::Focus:
        return tr("AF Lock");
    }
    return {};
}

QString ToolbarControlSets::titled(Control control, const QString &value) {
    return tr("%1: %2").arg(label(control), value);
}

void ToolbarControlSets::select(Set set, Control control, int index) {
    const QString item = state(set, control).itemTitle(index);
    select(set, control, index, titled(control, item.isEmpty() ? QStringLiteral("--") : item));
}

void ToolbarControlSets::select(Set set, Control control, int index, const QString &title) {
    ToolbarControlState &s = mutableState(set, control);
    s.selectedIndex = index;
    s.title = title;
    s.checkedItems.clear();
    if (s.hasItem(index)) s.checkedItems << index;
    Q_EMIT controlChanged(set, control);
}

void ToolbarControlSets::copyToTwin(Set from, Control control) {
    const ToolbarControlState &source = state(from, control);
    ToolbarControlState &target = mutableState(twin(from), control);
    target.selectedIndex = source.selectedIndex;
    target.title = source.title;
    target.checkedItems = source.checkedItems;
    Q_EMIT controlChanged(twin(from), control);
}

void ToolbarControlSets::setTitle(Set set, Control control, const QString &title) {
    mutableState(set, control).title = title;
    Q_EMIT controlChanged(set, control);
}

void ToolbarControlSets::setChecked(Set set, Control control, int index, bool checked) {
    QList<int> items = state(set, control).checkedItems;
    items.removeAll(index);
    if (checked) items << index;
    setCheckedItems(set, control, items);
}

void ToolbarControlSets::setCheckedItems(Set set, Control control, const QList<int> &items) {
    QList<int> sorted = items;
    std::sort(sorted.begin(), sorted.end());
    mutableState(set, control).checkedItems = sorted;
    Q_EMIT controlChanged(set, control);
}

void ToolbarControlSets::setItems(Control control, const QStringList &items) {
    for (const Set set : {Set::Toolbar, Set::Overlay}) {
        ToolbarControlState &s = mutableState(set, control);
        s.items = items;
        s.checkedItems.removeIf([&s](int index) { return !s.hasItem(index); });
        Q_EMIT controlChanged(set, control);
    }
}

void ToolbarControlSets::setEnabled(Control control, bool enabled) {
    for (const Set set : {Set::Toolbar, Set::Overlay}) {
        mutableState(set, control).enabled = enabled;
        Q_EMIT controlChanged(set, control);
    }
}

void ToolbarControlSets::setAFLock(Set set, const AFLockControlState &state) {
    afLocks_[at(set)] = state;
    Q_EMIT controlChanged(set, Control::Focus);
}

void ToolbarControlSets::setShownControls(const QList<Control> &controls) {
    items_ = controls;
    Q_EMIT itemsChanged();
}

void ToolbarControlSets::setLocked(bool locked) {
    if (locked_ == locked) return;
    locked_ = locked;
    Q_EMIT lockedChanged(locked);
}
