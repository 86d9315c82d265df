#pragma once

#include <QListView>
#include <QUrl>

// The upload queue's thumbnails. Files dragged from the file manager are taken as a copy and handed on
// one by one in the drag's order (whether each is wanted is the queue's rule); Delete asks to remove
// the selected photos.
class UploadQueueBrowser : public QListView {
    Q_OBJECT
public:
    explicit UploadQueueBrowser(QWidget *parent = nullptr);

    bool canDragFilesIn() const { return canDragFilesIn_; }
    void setCanDragFilesIn(bool can);

Q_SIGNALS:
    void fileDropped(const QUrl &url);
    void deleteRequested();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    bool canDragFilesIn_ = false;
};
