#include "UploadQueueBrowser.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

namespace {

bool carriesFiles(const QMimeData *mime) {
    if (!mime || !mime->hasUrls()) return false;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile()) return true;
    return false;
}

} // namespace

UploadQueueBrowser::UploadQueueBrowser(QWidget *parent) : QListView(parent) {
    setViewMode(QListView::IconMode);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setIconSize(QSize(96, 72));
    setGridSize(QSize(116, 100));
    setSpacing(4);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
}

void UploadQueueBrowser::setCanDragFilesIn(bool can) {
    canDragFilesIn_ = can;
    setAcceptDrops(can);
    viewport()->setAcceptDrops(can);
    setDropIndicatorShown(false);
    setDragDropMode(can ? QAbstractItemView::DropOnly : QAbstractItemView::NoDragDrop);
}

void UploadQueueBrowser::dragEnterEvent(QDragEnterEvent *event) {
    if (!canDragFilesIn_ || !carriesFiles(event->mimeData())) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void UploadQueueBrowser::dragMoveEvent(QDragMoveEvent *event) {
    if (!canDragFilesIn_ || !carriesFiles(event->mimeData())) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void UploadQueueBrowser::dropEvent(QDropEvent *event) {
    if (!canDragFilesIn_ || !carriesFiles(event->mimeData())) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile()) Q_EMIT fileDropped(url);
}

void UploadQueueBrowser::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        Q_EMIT deleteRequested();
        return;
    }
    QListView::keyPressEvent(event);
}

// The queue has no menu of its own.
void UploadQueueBrowser::contextMenuEvent(QContextMenuEvent *event) {
    event->accept();
}
