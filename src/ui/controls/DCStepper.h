#pragma once

#include <QWidget>

class QToolButton;

// A pair of small arrow buttons that step a whole value up or down within a range: the manual-focus
// panel's companion to its slider. valueChosen() tells a step the user made; setValue() does not.
class DCStepper : public QWidget {
    Q_OBJECT
public:
    explicit DCStepper(QWidget *parent = nullptr);

    int value() const { return value_; }
    void setValue(int value);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    void setRange(int minimum, int maximum);

Q_SIGNALS:
    void valueChosen(int value);

private:
    void step(int by);

    QToolButton *up_;
    QToolButton *down_;
    int value_ = 0;
    int minimum_ = 0;
    int maximum_ = 0;
};
