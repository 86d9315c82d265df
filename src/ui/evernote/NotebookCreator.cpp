#include "NotebookCreator.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

NotebookCreator::NotebookCreator(QWidget *parent) : QFrame(parent, Qt::Popup) {
    setObjectName(QStringLiteral("createNotebookView"));
    setStyleSheet(QStringLiteral("#createNotebookView { background: rgba(0, 0, 0, 191); border: 2px solid "
                                 "white; border-radius: 10px; }"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(5 + 2, 5 + 2, 5 + 2, 5 + 2);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("newNotebookNameTextField"));
    name_->setPlaceholderText(tr("Notebook name"));
    name_->setMaxLength(100); // the service's limit for a notebook name
    row->addWidget(name_);
    auto *createButton = new QPushButton(tr("Create"), this);
    createButton->setDefault(true);
    auto *cancelButton = new QPushButton(tr("Cancel"), this);
    row->addWidget(createButton);
    row->addWidget(cancelButton);
    connect(createButton, &QPushButton::clicked, this, &NotebookCreator::create);
    connect(name_, &QLineEdit::returnPressed, this, &NotebookCreator::create);
    connect(cancelButton, &QPushButton::clicked, this, &NotebookCreator::cancel);
}

void NotebookCreator::toggle(QWidget *anchor) {
    if (isVisible()) return cancel();
    adjustSize();
    const QPoint top = anchor->mapToGlobal(QPoint(anchor->width() / 2, 0));
    move(top.x() - width() / 2, top.y() - height());
    show();
    name_->setFocus();
}

void NotebookCreator::create() {
    const QString name = name_->text().trimmed();
    hide();
    if (!name.isEmpty()) Q_EMIT createRequested(name);
}

void NotebookCreator::cancel() {
    hide();
}

void NotebookCreator::hideEvent(QHideEvent *event) {
    name_->clear();
    QFrame::hideEvent(event);
}
