#include "ui/controls/DCScroller.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "ui/controls/DCScrollerTrack.h"
#include "ui/controls/Icons.h"

namespace {
const QString kBackgroundImage = QStringLiteral("ManualExposureBackground");
const QString kKnobImage = QStringLiteral("Cursor");
const QString kKnobOverImage = QStringLiteral("CursorOver");
constexpr int kDefaultMaxValue = 14;
} // namespace

DCScroller::DCScroller(QWidget *parent) : QWidget(parent), defaultButton_(new QPushButton(this)) {
    setMaxValue(kDefaultMaxValue);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);

    defaultButton_->setText(tr("Default"));
    defaultButton_->setFlat(true);
    defaultButton_->setFocusPolicy(Qt::NoFocus);
    defaultButton_->setStyleSheet(
        QStringLiteral("QPushButton { color: white; background: transparent; border: none; }"));
    connect(defaultButton_, &QPushButton::clicked, this, &DCScroller::defaultAct);
    resize(sizeHint());
    placeDefaultButton();
}

QSize DCScroller::sizeHint() const {
    return Icons::naturalSize(kBackgroundImage);
}

void DCScroller::setIntValue(int value) {
    value_ = value;
    update();
}

void DCScroller::setMinValue(int minValue) {
    setRange(minValue, maxValue_);
}

void DCScroller::setMaxValue(int maxValue) {
    setRange(minValue_, maxValue);
}

void DCScroller::setRange(int minValue, int maxValue) {
    minValue_ = minValue;
    maxValue_ = maxValue;
    itemLength_ = DCScrollerTrack::itemLength(minValue, maxValue);
    update();
}

int DCScroller::valueForPoint(QPointF point) const {
    const int value = DCScrollerTrack::valueForPoint(heightFromBottom(point.y()), itemLength_, discrete_);
    // A value remembered from a slider with a wider range must not leave this one's range.
    return std::clamp(value, std::min(minValue_, maxValue_), std::max(minValue_, maxValue_));
}

void DCScroller::choose(int value) {
    if (value == value_) return;
    setIntValue(value);
    Q_EMIT valueChosen(value);
}

void DCScroller::defaultAct() {
    choose(defaultValue_);
}

bool DCScroller::overTrack(QPointF point) const {
    const float y = heightFromBottom(point.y());
    return point.x() >= 0 && point.x() < width() && y >= DCScrollerTrack::kTrackBottom &&
           y < DCScrollerTrack::kTrackBottom + DCScrollerTrack::kTrackLength;
}

void DCScroller::setKnobHighlighted(bool on) {
    if (on == knobHighlighted_) return;
    knobHighlighted_ = on;
    update();
}

void DCScroller::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    Icons::icon(kBackgroundImage).paint(&painter, rect(), Qt::AlignLeft | Qt::AlignBottom);
    const float knobBottom = DCScrollerTrack::knobY(value_, itemLength_);
    const QRect knob(DCScrollerTrack::kKnobX, qRound(height() - knobBottom) - DCScrollerTrack::kKnobHeight,
                     DCScrollerTrack::kKnobWidth, DCScrollerTrack::kKnobHeight);
    Icons::icon(knobHighlighted_ ? kKnobOverImage : kKnobImage).paint(&painter, knob);
}

void DCScroller::placeDefaultButton() {
    // At the foot, as wide as the background picture.
    const int buttonWidth = Icons::naturalSize(kBackgroundImage).width();
    defaultButton_->setGeometry(0, height() - DCScrollerTrack::kDefaultButtonHeight, buttonWidth,
                                DCScrollerTrack::kDefaultButtonHeight);
}

void DCScroller::resizeEvent(QResizeEvent *event) {
    placeDefaultButton();
    QWidget::resizeEvent(event);
}

void DCScroller::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    event->accept();
    choose(valueForPoint(event->position()));
}

void DCScroller::mouseMoveEvent(QMouseEvent *event) {
    setKnobHighlighted(overTrack(event->position()));
    if (!(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    event->accept();
    choose(valueForPoint(event->position()));
}

void DCScroller::mouseDoubleClickEvent(QMouseEvent *event) {
    // The first click of the pair has set the value; the second is no new choice.
    event->accept();
}

void DCScroller::leaveEvent(QEvent *event) {
    setKnobHighlighted(false);
    QWidget::leaveEvent(event);
}

void DCScroller::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Down:
        choose(std::max(minValue_, value_ - 1));
        break;
    case Qt::Key_Up:
        choose(std::min(maxValue_, value_ + 1));
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}
