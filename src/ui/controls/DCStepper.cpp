#include "ui/controls/DCStepper.h"

#include <algorithm>

#include <QToolButton>
#include <QVBoxLayout>

DCStepper::DCStepper(QWidget *parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const struct {
        QToolButton *button;
        Qt::ArrowType arrow;
        QString text;
        int by;
    } arrows[] = {{up_, Qt::UpArrow, tr("Step up"), 1}, {down_, Qt::DownArrow, tr("Step down"), -1}};
    for (const auto &a : arrows) {
        a.button->setArrowType(a.arrow);
        a.button->setAutoRepeat(true);
        a.button->setAccessibleName(a.text);
        a.button->setToolTip(a.text);
        a.button->setFocusPolicy(Qt::NoFocus);
        connect(a.button, &QToolButton::clicked, this, [this, by = a.by] { step(by); });
        layout->addWidget(a.button);
    }
}

void DCStepper::setValue(int value) {
    value_ = std::clamp(value, minimum_, maximum_);
}

void DCStepper::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setValue(value_);
}

void DCStepper::step(int by) {
    const int next = std::clamp(value_ + by, minimum_, maximum_);
    if (next == value_) return;
    value_ = next;
    Q_EMIT valueChosen(value_);
}
