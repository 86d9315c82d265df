#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One pull-down control of the camera toolbar, as its widget shows it. Item 0 is the title item, whose
// text is what the closed control shows; the choices are items 1 to items.size().
struct ToolbarControlState {
    QString title;
    QStringList items;
    int selectedIndex = 0;
    QList<int> checkedItems; // ascending
    bool enabled = true;     // what the current camera admits; a countdown locks every control besides

    bool hasItem(int index) const { return index >= 1 && index <= items.size(); }
    // Empty for the title item and for an index past the choices.
    QString itemTitle(int index) const { return hasItem(index) ? items.at(index - 1) : QString(); }
    bool isChecked(int index) const { return checkedItems.contains(index); }
};

// The AF lock control: a lock check box and a manual focus slider over the camera's focus range.
struct AFLockControlState {
    int minValue = 0;
    int maxValue = 0;
    int focusLength = 0; // in the camera's units
    bool locked = false;
};
