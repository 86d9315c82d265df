#pragma once

#include <QCache>
#include <QListView>
#include <QPixmap>
#include <QTimer>
#include <QUrl>

class ThumbnailLoader;
class ThumbnailCache;

// A browser of photo thumbnails over a list model that answers PhotoLibraryModel's roles (path, type,
// identifier). Thumbnails come from a ThumbnailLoader for the cells on screen only; a cell whose photo
// gives none shows a placeholder. Movies show their first frame.
//
// Keys: Delete and forward delete ask deleteRequested(); the arrows ask selectPreviousRequested() and
// selectNextRequested() when something listens (else the list moves as usual). With canDragFilesIn, files
// dropped on the browser are handed over one by one, in order, through acceptFileDrag().
class DCImageBrowserView : public QListView {
    Q_OBJECT
public:
    DCImageBrowserView(const ThumbnailCache &cache, QSize cellSize, QWidget *parent = nullptr);
    ~DCImageBrowserView() override;

    void setCanDragFilesIn(bool can);
    bool canDragFilesIn() const { return canDragFilesIn_; }

    // The thumbnail shown for the item with this identifier; null while none has come.
    QPixmap thumbnailFor(const QString &uid) const;
    static QPixmap placeholder(QSize size);

    void setModel(QAbstractItemModel *model) override;

Q_SIGNALS:
    void deleteRequested();
    void selectPreviousRequested();
    void selectNextRequested();
    void contextMenuRequested(int row, const QPoint &globalPosition);
    void acceptFileDrag(const QUrl &url);
    // The thumbnail of `uid` arrived (for whoever shows it elsewhere too).
    void thumbnailArrived(const QString &uid);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    class Delegate;
    bool acceptsDrag(const QMimeData *data) const;
    void scheduleRequests();
    void requestVisible();
    void thumbnailLoaded(const QString &uid, const QImage &image);
    void movieFrameLoaded(const QString &uid, const QImage &image);

    ThumbnailLoader *loader_;
    class MovieFrames *movies_;
    QCache<QString, QPixmap> thumbnails_;
    QTimer requestTimer_;
    QSize iconSize_;
    bool canDragFilesIn_ = false;
};
