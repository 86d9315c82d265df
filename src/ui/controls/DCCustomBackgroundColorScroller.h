#pragma once

#include <QColor>
#include <QScrollBar>

// A scroll bar that draws only its knob, over its own colour (nothing when the colour is invalid,
// so what is behind shows through). Hand it to a scroll area with setVerticalScrollBar().
class DCCustomBackgroundColorScroller : public QScrollBar {
    Q_OBJECT
public:
    explicit DCCustomBackgroundColorScroller(Qt::Orientation orientation = Qt::Vertical,
                                             QWidget *parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor &color);

protected:
    // The colour behind the knob.
    virtual QColor fillColor() const { return color_; }
    void paintEvent(QPaintEvent *event) override;

private:
    QColor color_;
};
