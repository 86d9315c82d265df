#include "DCSnapshotWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/controls/DCButtonView.h"
#include "ui/controls/Icons.h"

namespace {

DCButtonView *imageButton(QWidget *parent, const QString &image, const QString &name) {
    auto *button = new DCButtonView(parent);
    button->setExitImage(image + QStringLiteral("-Down"));
    button->setEnterImage(image + QStringLiteral("-Up"));
    button->setAccessibleName(name);
    button->setToolTip(name);
    return button;
}

} // namespace

DCSnapshotWindow::DCSnapshotWindow(QWidget *parent) : QDialog(parent) {
    setWindowTitle(tr("Take a Photo"));
    // A sheet: it holds up the main window only, and the picture keeps running in it.
    setWindowModality(Qt::WindowModal);
    auto *column = new QVBoxLayout(this);
    cameraView_ = new QWidget(this);
    cameraView_->setMinimumSize(480, 360);
    auto *pictureLayout = new QVBoxLayout(cameraView_);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    column->addWidget(cameraView_, 1);
    // Over the picture, which comes first in the camera view.
    ring_ = new QLabel(cameraView_);
    target_ = new QLabel(cameraView_);
    for (QLabel *label : {ring_, target_})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto *buttons = new QHBoxLayout;
    focusButton_ = imageButton(this, QStringLiteral("Put-On-Focus"), tr("Focus"));
    focusButton_->setImageScale(3); // drawn to sit on a focus ring; on its own it wants more room
    DCButtonView *shutter = imageButton(this, QStringLiteral("Snapshot"), tr("Take a Photo"));
    shutter->setObjectName(QStringLiteral("snapshot"));
    buttons->addWidget(focusButton_);
    buttons->addStretch(1);
    buttons->addWidget(shutter);
    buttons->addStretch(1);
    column->addLayout(buttons);
    connect(shutter, &DCButtonView::clicked, this, &DCSnapshotWindow::snapshotRequested);
    connect(focusButton_, &DCButtonView::clicked, this, &DCSnapshotWindow::focusRequested);
}

void DCSnapshotWindow::takePicture(QWidget *picture) {
    cameraView_->layout()->addWidget(picture);
    picture->show();
    ring_->raise();
    target_->raise();
}

void DCSnapshotWindow::setFocusDisplay(bool shown, const QString &ringImage, const QString &targetImage) {
    focusButton_->setVisible(shown);
    ring_->setVisible(shown && !ringImage.isEmpty());
    target_->setVisible(shown && !targetImage.isEmpty());
    ring_->setObjectName(ringImage);
    target_->setObjectName(targetImage);
    placeFocusImages();
}

// The ring in the picture's top left corner, the target across its middle half.
void DCSnapshotWindow::placeFocusImages() {
    const qreal ratio = devicePixelRatioF();
    const QSize ringSize(48, 48);
    ring_->setGeometry(QRect(QPoint(12, 12), ringSize));
    if (!ring_->objectName().isEmpty()) ring_->setPixmap(Icons::pixmap(ring_->objectName(), ringSize, ratio));
    const QRect area = cameraView_->rect();
    const QRect target(area.center() - QPoint(area.width() / 4, area.height() / 4), area.size() / 2);
    target_->setGeometry(target);
    if (!target_->objectName().isEmpty())
        target_->setPixmap(Icons::pixmap(target_->objectName(), target.size(), ratio));
}

void DCSnapshotWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Q_EMIT snapshotRequested();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT closeRequested();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The window's own close button asks like Escape does.
void DCSnapshotWindow::closeEvent(QCloseEvent *event) {
    event->ignore();
    Q_EMIT closeRequested();
}

void DCSnapshotWindow::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    placeFocusImages();
}
