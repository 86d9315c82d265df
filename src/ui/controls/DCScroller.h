#pragma once

#include <QWidget>

class QPushButton;

// The exposure slider: a vertical track drawn from the icon set ("ManualExposureBackground" behind,
// the knob "Cursor", "CursorOver" while the pointer is over the track) with a "Default" button at
// its foot. Made with values 0 to 14, 10 points apart, default 7, discrete. A click (not a double
// click) or a drag on the track, the up and down arrow keys and the "Default" button set the value
// and emit valueChosen(); setIntValue() moves the knob without telling. The geometry is
// DCScrollerTrack's, measured from the control's lower edge.
class DCScroller : public QWidget {
    Q_OBJECT
public:
    explicit DCScroller(QWidget *parent = nullptr);

    int intValue() const { return value_; }
    int value() const { return value_; }
    void setIntValue(int value);
    void setValue(int value) { setIntValue(value); }
    int minValue() const { return minValue_; }
    void setMinValue(int minValue);
    int maxValue() const { return maxValue_; }
    void setMaxValue(int maxValue);
    int defaultValue() const { return defaultValue_; }
    void setDefaultValue(int defaultValue) { defaultValue_ = defaultValue; }
    bool isDiscrete() const { return discrete_; }
    void setDiscrete(bool discrete) { discrete_ = discrete; }
    float itemLength() const { return itemLength_; }

    // The value for a point given in widget coordinates (y down), kept within the range.
    int valueForPoint(QPointF point) const;
    // The "Default" button's action: back to the default value, telling only on a change.
    void defaultAct();

    bool isKnobHighlighted() const { return knobHighlighted_; }
    QSize sizeHint() const override;

Q_SIGNALS:
    // The user moved the slider; `value` is the new value.
    void valueChosen(int value);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setRange(int minValue, int maxValue);
    // The user's value: stored and told only when it differs.
    void choose(int value);
    // Heights measured up from the lower edge, as DCScrollerTrack counts them.
    float heightFromBottom(qreal y) const { return float(height() - y); }
    bool overTrack(QPointF point) const;
    void setKnobHighlighted(bool on);
    void placeDefaultButton();

    QPushButton *defaultButton_;
    int value_ = 0;
    int minValue_ = 0;
    int maxValue_ = 0;
    int defaultValue_ = 7;
    bool discrete_ = true;
    float itemLength_ = 0.0f;
    bool knobHighlighted_ = false;
};
