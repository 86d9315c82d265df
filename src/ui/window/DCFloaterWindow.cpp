#include "DCFloaterWindow.h"

#include <QMouseEvent>
#include <QVBoxLayout>

#include "core/DCLog.h"

DCFloaterWindow::DCFloaterWindow(QWidget *content, QWidget *host) : QWidget(host), content_(content) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    hide();
}

void DCFloaterWindow::setPassesClicks(bool passes) {
    setAttribute(Qt::WA_TransparentForMouseEvents, passes);
    content_->setAttribute(Qt::WA_TransparentForMouseEvents, passes);
}

void DCFloaterWindow::mousePressEvent(QMouseEvent *event) {
    DCLog("Mouse down");
    event->accept();
}

void DCFloaterWindow::mouseDoubleClickEvent(QMouseEvent *event) {
    event->accept();
}
