#include "ui/controls/DCPopUpButton.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QWidgetAction>

#include "ui/controls/Icons.h"

namespace {
constexpr qreal kHoverAlpha = 0.5;
}

DCPopUpButton::DCPopUpButton(QWidget *parent)
    : QToolButton(parent), menu_(new QMenu(this)), titleItem_(new QAction(this)) {
    items_.append(titleItem_);
    setMenu(menu_);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    menu_->installEventFilter(this);
    connect(menu_, &QMenu::triggered, this, [this](QAction *action) {
        const int index = int(items_.indexOf(action));
        if (index <= 0) return;
        // Qt flips a checkable item before telling; the owner reads the state the click found.
        if (action->isCheckable()) action->setChecked(!action->isChecked());
        choose(index);
    });
}

void DCPopUpButton::addItem(const QString &title, const QString &image) {
    // Parented to the menu: removeItemsAfterTitle() deletes what it finds there.
    auto *action = new QAction(title, menu_);
    action->setCheckable(true);
    if (!image.isEmpty()) action->setIcon(Icons::icon(image));
    menu_->addAction(action);
    items_.append(action);
}

void DCPopUpButton::addItems(const QStringList &titles) {
    for (const QString &title : titles)
        addItem(title);
}

void DCPopUpButton::addViewItem(QWidgetAction *holder) {
    holder->setText(QString());
    menu_->addAction(holder);
    items_.append(holder);
    viewItem_ = holder;
}

void DCPopUpButton::removeItemsAfterTitle() {
    while (items_.size() > 1) {
        QAction *action = items_.takeLast();
        menu_->removeAction(action);
        if (action == viewItem_) viewItem_ = nullptr;
        if (action->parent() == menu_) delete action;
    }
    if (selected_ >= items_.size()) selected_ = 0;
}

int DCPopUpButton::numberOfItems() const {
    return int(items_.size());
}

void DCPopUpButton::selectItemAtIndex(int index) {
    selected_ = (index >= 0 && index < items_.size()) ? index : -1;
}

int DCPopUpButton::indexOfSelectedItem() const {
    return selected_;
}

QString DCPopUpButton::titleOfSelectedItem() const {
    return itemTitle(selected_);
}

QAction *DCPopUpButton::item(int index) const {
    return (index >= 0 && index < items_.size()) ? items_[index] : nullptr;
}

QString DCPopUpButton::itemTitle(int index) const {
    const QAction *found = item(index);
    return found ? found->text() : QString();
}

bool DCPopUpButton::itemState(int index) const {
    const QAction *found = item(index);
    return found && found->isChecked();
}

void DCPopUpButton::setItemState(int index, bool on) {
    QAction *found = item(index);
    if (!found) return;
    found->setCheckable(true);
    found->setChecked(on);
}

void DCPopUpButton::setTitle(const QString &title) {
    titleItem_->setText(title);
    setText(title);
}

QString DCPopUpButton::title() const {
    return titleItem_->text();
}

void DCPopUpButton::setMutexState() {
    for (int i = 0; i < items_.size(); ++i)
        setItemState(i, i == selected_);
}

void DCPopUpButton::choose(int index) {
    if (!isEnabled()) return;
    selected_ = index;
    Q_EMIT itemChosen(index);
}

bool DCPopUpButton::eventFilter(QObject *watched, QEvent *event) {
    // An open menu keeps the keyboard to itself until a panel inside it is clicked; a panel's own
    // arrow keys (stepping a slider) must work at once, and there is no other item to move to.
    if (watched == menu_ && event->type() == QEvent::KeyPress && viewItem_ && viewItem_->defaultWidget()) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            QCoreApplication::sendEvent(viewItem_->defaultWidget(), event);
            return true;
        }
    }
    return QToolButton::eventFilter(watched, event);
}

void DCPopUpButton::setAlpha(qreal alpha) {
    alpha_ = alpha;
    update();
}

void DCPopUpButton::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    painter.setOpacity(alpha_);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

void DCPopUpButton::enterEvent(QEnterEvent *event) {
    setAlpha(kHoverAlpha);
    QToolButton::enterEvent(event);
}

void DCPopUpButton::leaveEvent(QEvent *event) {
    setAlpha(1.0);
    QToolButton::leaveEvent(event);
}
