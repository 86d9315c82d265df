#pragma once

#include <QList>
#include <QString>
#include <QToolButton>

class QAction;
class QMenu;
class QWidgetAction;

// A pull-down button of the camera toolbars. Item 0 is the title item: its text is the button's
// visible title and it is not offered in the menu; the choices are items 1 and up. Picking a choice
// selects it and emits itemChosen(index) once; the button's title and the items' check marks change
// only when the owner says so (setTitle, setItemState, setMutexState), because the owner decides
// them from the choice (a mirror item is toggled from the state the click found). A disabled button
// emits nothing. Under the pointer the button is drawn at half opacity.
class DCPopUpButton : public QToolButton {
    Q_OBJECT
public:
    explicit DCPopUpButton(QWidget *parent = nullptr);

    // Appends a choice; `image` is a name from the icon set, or empty for none.
    void addItem(const QString &title, const QString &image = QString());
    void addItems(const QStringList &titles);
    // Removes every item after the title item.
    void removeItemsAfterTitle();

    // The exposure and AF lock buttons answer these from their panels.
    virtual int numberOfItems() const;
    // An index outside the items selects nothing (indexOfSelectedItem() answers -1).
    virtual void selectItemAtIndex(int index);
    virtual int indexOfSelectedItem() const;
    // Empty when nothing is selected.
    virtual QString titleOfSelectedItem() const;

    QString itemTitle(int index) const;
    bool itemState(int index) const;
    void setItemState(int index, bool on);

    void setTitle(const QString &title);
    QString title() const;

    // Checks exactly the selected item and clears every other one.
    void setMutexState();

    qreal alpha() const { return alpha_; }

Q_SIGNALS:
    void itemChosen(int index);

protected:
    // Appends one item with an empty title that shows the holder's widget in the menu; the arrow
    // keys pressed in the open menu go to that widget. The caller owns `holder` and may add it again
    // after removeItemsAfterTitle(), so a panel keeps its state.
    void addViewItem(QWidgetAction *holder);
    // What the button does when the user picks item `index`: select it and tell.
    virtual void choose(int index);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QAction *item(int index) const;
    void setAlpha(qreal alpha);

    QMenu *menu_;
    QAction *titleItem_;
    QList<QAction *> items_; // items_[0] is titleItem_
    QWidgetAction *viewItem_ = nullptr;
    int selected_ = 0;
    qreal alpha_ = 1.0;
};
