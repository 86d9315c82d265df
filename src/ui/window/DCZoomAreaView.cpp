#include "DCZoomAreaView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "capture/DCZoomAreaModel.h"
#include "capture/ImageCoordinates.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"

namespace {

constexpr qreal kAreaLineWidth = 2.0;
constexpr qreal kFocusingFrameWidth = 4.0;
// Half the sight's side, and half the gap in the middle of each side.
constexpr qreal kSightHalf = 5;
constexpr qreal kSightGapHalf = 1;

} // namespace

DCZoomAreaView::DCZoomAreaView(DCZoomAreaModel &model, QWidget *parent)
    : QWidget(parent), model_(model), zoomLabel_(new QLabel(this)) {
    // Takes the keyboard only while the pointer is over it (for Return), never by tabbing.
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
    model_.setNotificationObject(QVariant::fromValue(static_cast<QObject *>(this)));
    zoomLabel_->setStyleSheet(QStringLiteral("color: white; background: transparent; font-size: 11px;"));
    zoomLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    zoomLabel_->move(6, 4);
    connect(&model_, &DCZoomAreaModel::changed, this, &DCZoomAreaView::modelChanged);
    modelChanged();
}

void DCZoomAreaView::setSightColor(const QColor &color) {
    if (color == sightColor_) return;
    sightColor_ = color;
    update();
}

void DCZoomAreaView::modelChanged() {
    zoomLabel_->setText(model_.labelText());
    zoomLabel_->adjustSize();
    update();
}

// The model counts from the lower left, y upward.
QPointF DCZoomAreaView::modelPoint(const QPointF &widgetPoint) const {
    return ImageCoordinates::toTopLeft(widgetPoint, height());
}

QRectF DCZoomAreaView::widgetArea() const {
    return ImageCoordinates::toTopLeft(model_.zoomedArea(), height());
}

void DCZoomAreaView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QRectF bounds = rect();
    const bool focusing = model_.shouldHideZoomedArea();
    painter.fillRect(bounds, QColor(0, 0, 0, focusing ? 204 : 77));
    if (focusing) {
        // A thick frame; half of it falls outside the view, as the outline of the bounds would.
        painter.setPen(QPen(Qt::white, kFocusingFrameWidth));
        painter.drawRect(bounds);
        drawSight(painter);
        return;
    }
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, kAreaLineWidth));
    painter.drawRect(widgetArea());
}

// A square around the centre with each side broken in its middle.
void DCZoomAreaView::drawSight(QPainter &painter) const {
    // Flat ends: square ones would close the gaps.
    painter.setPen(QPen(sightColor_, kAreaLineWidth, Qt::SolidLine, Qt::FlatCap));
    const QPointF c = QRectF(rect()).center();
    const qreal s = kSightHalf, g = kSightGapHalf;
    for (const qreal side : {-s, s}) {
        // Horizontal sides at y = c.y +- s, vertical ones at x = c.x +- s.
        painter.drawLine(QPointF(c.x() - s, c.y() + side), QPointF(c.x() - g, c.y() + side));
        painter.drawLine(QPointF(c.x() + g, c.y() + side), QPointF(c.x() + s, c.y() + side));
        painter.drawLine(QPointF(c.x() + side, c.y() - s), QPointF(c.x() + side, c.y() - g));
        painter.drawLine(QPointF(c.x() + side, c.y() + g), QPointF(c.x() + side, c.y() + s));
    }
}

void DCZoomAreaView::resizeEvent(QResizeEvent *event) {
    model_.setBounds(QRectF(QPointF(0, 0), QSizeF(size())));
    QWidget::resizeEvent(event);
}

void DCZoomAreaView::mousePressEvent(QMouseEvent *event) {
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    model_.mouseDown(modelPoint(event->position()));
    updateCursor(event->position());
}

void DCZoomAreaView::mouseMoveEvent(QMouseEvent *event) {
    if (event->buttons() & Qt::LeftButton) model_.mouseDragged(modelPoint(event->position()));
    updateCursor(event->position());
    event->accept();
}

void DCZoomAreaView::mouseReleaseEvent(QMouseEvent *event) {
    // A press outside the area ends the drag; so does letting go.
    model_.mouseDown(QPointF(-1, -1));
    updateCursor(event->position());
    event->accept();
}

// A double click here is two presses on the navigator, not a wish to leave full screen.
void DCZoomAreaView::mouseDoubleClickEvent(QMouseEvent *event) {
    mousePressEvent(event);
}

void DCZoomAreaView::updateCursor(const QPointF &widgetPoint) {
    if (model_.dragging())
        setCursor(Qt::ClosedHandCursor);
    else if (!model_.shouldHideZoomedArea() && widgetArea().contains(widgetPoint))
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void DCZoomAreaView::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCNotificationSnapshot);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Under the pointer the navigator has the keyboard (so Return reaches it); leaving gives it back.
void DCZoomAreaView::enterEvent(QEnterEvent *event) {
    focusBefore_ = window()->focusWidget();
    setFocus(Qt::MouseFocusReason);
    update();
    QWidget::enterEvent(event);
}

void DCZoomAreaView::leaveEvent(QEvent *event) {
    if (hasFocus()) {
        if (focusBefore_ && focusBefore_ != this && focusBefore_->window() == window())
            focusBefore_->setFocus(Qt::MouseFocusReason);
        else
            clearFocus();
    }
    focusBefore_ = nullptr;
    update();
    QWidget::leaveEvent(event);
}
