#include "ui/controls/DCButtonView.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/controls/Icons.h"

DCButtonView::DCButtonView(QWidget *parent) : QWidget(parent) {
    // Floaters sit over the live picture: whatever is behind must show around the image.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

void DCButtonView::setExitImage(const QString &name) {
    exitImage_ = name;
    srcSize_ = scaledSize(name);
    updateGeometry();
    update();
}

void DCButtonView::setEnterImage(const QString &name) {
    enterImage_ = name;
    update();
}

void DCButtonView::setImageScale(qreal scale) {
    if (!(scale > 0) || scale == imageScale_) return;
    imageScale_ = scale;
    srcSize_ = scaledSize(exitImage_);
    updateGeometry();
    update();
}

void DCButtonView::setIsEnter(bool isEnter) {
    isEnter_ = isEnter;
    update();
}

void DCButtonView::setIsUp(bool isUp) {
    isUp_ = isUp;
    update();
}

QString DCButtonView::currentImage() const {
    if (isEnter_) return enterImage_.isEmpty() ? exitImage_ : enterImage_;
    return isUp_ ? enterImage_ : exitImage_;
}

void DCButtonView::sendAction() {
    if (isEnabled() && shouldResponse_) Q_EMIT clicked();
}

QSize DCButtonView::scaledSize(const QString &name) const {
    if (name.isEmpty()) return QSize();
    return (QSizeF(Icons::naturalSize(name)) * imageScale_).toSize();
}

void DCButtonView::paintEvent(QPaintEvent *) {
    const QString name = currentImage();
    if (name.isEmpty()) return;
    const QSize size = scaledSize(name);
    QPainter painter(this);
    // QIcon renders for the painter's device pixel ratio, so the image stays sharp on any screen.
    Icons::icon(name).paint(&painter, QRect(QPoint(0, height() - size.height()), size));
}

void DCButtonView::enterEvent(QEnterEvent *event) {
    setIsEnter(true);
    QWidget::enterEvent(event);
}

void DCButtonView::leaveEvent(QEvent *event) {
    setIsEnter(false);
    QWidget::leaveEvent(event);
}

void DCButtonView::mousePressEvent(QMouseEvent *event) {
    // The left button only: a context click is not a press of this button.
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    event->accept();
    sendAction();
}
