#include "ui/review/DCImageBrowserView.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMetaMethod>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "photos/FileItem.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/review/MovieFrames.h"
#include "ui/review/ThumbnailLoader.h"

namespace {
constexpr int kCachedThumbnails = 400; // a few screens' worth; the rest is in the disk cache
constexpr int kRequestDelayMs = 30;    // a scroll step's repaints are gathered into one request
constexpr int kAheadCells = 12;        // made before they scroll into view
constexpr int kSelectionFrame = 3;
} // namespace

// Draws a cell's thumbnail (or the placeholder) fitted and centred, framed when selected.
class DCImageBrowserView::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(DCImageBrowserView &view) : QStyledItemDelegate(&view), view_(view) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        const QRect cell = option.rect.adjusted(4, 4, -4, -4);
        const QPixmap thumb = view_.thumbnailFor(index.data(PhotoLibraryModel::UidRole).toString());
        const QPixmap shown = thumb.isNull() ? placeholder(view_.iconSize_) : thumb;
        const QSize size = shown.size().scaled(cell.size(), Qt::KeepAspectRatio);
        const QRect target(cell.center() - QPoint(size.width() / 2, size.height() / 2), size);
        if (option.state & QStyle::State_Selected)
            painter->fillRect(
                target.adjusted(-kSelectionFrame, -kSelectionFrame, kSelectionFrame, kSelectionFrame),
                option.palette.highlight());
        painter->drawPixmap(target, shown);
    }
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override {
        return view_.gridSize();
    }

private:
    DCImageBrowserView &view_;
};

DCImageBrowserView::DCImageBrowserView(const ThumbnailCache &cache, QSize cellSize, QWidget *parent)
    : QListView(parent), loader_(new ThumbnailLoader(cache, cellSize.width(), this)),
      movies_(new MovieFrames(cellSize.width(), this)), thumbnails_(kCachedThumbnails), iconSize_(cellSize) {
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(500);
    setGridSize(cellSize + QSize(12, 12));
    setIconSize(cellSize);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new Delegate(*this));
    setToolTipDuration(-1);
    requestTimer_.setSingleShot(true);
    requestTimer_.setInterval(kRequestDelayMs);
    connect(&requestTimer_, &QTimer::timeout, this, &DCImageBrowserView::requestVisible);
    connect(loader_, &ThumbnailLoader::loaded, this, &DCImageBrowserView::thumbnailLoaded);
    connect(movies_, &MovieFrames::frameReady, this, &DCImageBrowserView::thumbnailLoaded);
}

DCImageBrowserView::~DCImageBrowserView() = default;

void DCImageBrowserView::setModel(QAbstractItemModel *model) {
    QListView::setModel(model);
    if (!model) return;
    connect(model, &QAbstractItemModel::modelReset, this, &DCImageBrowserView::scheduleRequests);
    connect(model, &QAbstractItemModel::layoutChanged, this, &DCImageBrowserView::scheduleRequests);
    connect(model, &QAbstractItemModel::rowsInserted, this, &DCImageBrowserView::scheduleRequests);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &DCImageBrowserView::scheduleRequests);
    connect(model, &QAbstractItemModel::dataChanged, this, &DCImageBrowserView::scheduleRequests);
    scheduleRequests();
}

void DCImageBrowserView::setCanDragFilesIn(bool can) {
    canDragFilesIn_ = can;
    setAcceptDrops(can);
    viewport()->setAcceptDrops(can);
    if (can) setDragDropMode(QAbstractItemView::DropOnly);
}

QPixmap DCImageBrowserView::thumbnailFor(const QString &uid) const {
    const QPixmap *pixmap = thumbnails_.object(uid);
    return pixmap ? *pixmap : QPixmap();
}

// A grey frame with a crossed picture: the photo is there but cannot be shown.
QPixmap DCImageBrowserView::placeholder(QSize size) {
    QPixmap pixmap(size.width(), size.width() * 3 / 4);
    pixmap.fill(QColor(70, 70, 70));
    QPainter painter(&pixmap);
    painter.setPen(QPen(QColor(130, 130, 130), 2));
    const QRect inner = pixmap.rect().adjusted(2, 2, -2, -2);
    painter.drawRect(inner);
    painter.drawLine(inner.topLeft(), inner.bottomRight());
    painter.drawLine(inner.bottomLeft(), inner.topRight());
    return pixmap;
}

void DCImageBrowserView::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        Q_EMIT deleteRequested();
        return;
    case Qt::Key_Left:
        if (isSignalConnected(QMetaMethod::fromSignal(&DCImageBrowserView::selectPreviousRequested)))
            return Q_EMIT selectPreviousRequested();
        break;
    case Qt::Key_Right:
        if (isSignalConnected(QMetaMethod::fromSignal(&DCImageBrowserView::selectNextRequested)))
            return Q_EMIT selectNextRequested();
        break;
    default:
        break;
    }
    QListView::keyPressEvent(event);
}

void DCImageBrowserView::contextMenuEvent(QContextMenuEvent *event) {
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid()) return;
    if (!selectionModel()->isSelected(index))
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    Q_EMIT contextMenuRequested(index.row(), event->globalPos());
}

bool DCImageBrowserView::acceptsDrag(const QMimeData *data) const {
    return canDragFilesIn_ && data && data->hasUrls() &&
           isSignalConnected(QMetaMethod::fromSignal(&DCImageBrowserView::acceptFileDrag));
}

void DCImageBrowserView::dragEnterEvent(QDragEnterEvent *event) {
    if (!acceptsDrag(event->mimeData())) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DCImageBrowserView::dragMoveEvent(QDragMoveEvent *event) {
    if (!acceptsDrag(event->mimeData())) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DCImageBrowserView::dropEvent(QDropEvent *event) {
    if (!canDragFilesIn_ || !event->mimeData()->hasUrls()) return event->ignore();
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile()) Q_EMIT acceptFileDrag(url);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DCImageBrowserView::resizeEvent(QResizeEvent *event) {
    QListView::resizeEvent(event);
    scheduleRequests();
}

void DCImageBrowserView::scrollContentsBy(int dx, int dy) {
    QListView::scrollContentsBy(dx, dy);
    scheduleRequests();
}

void DCImageBrowserView::showEvent(QShowEvent *event) {
    QListView::showEvent(event);
    scheduleRequests();
}

void DCImageBrowserView::scheduleRequests() {
    if (!requestTimer_.isActive()) requestTimer_.start();
}

// The cells on screen, then a few beyond on either side; nothing else is asked for.
void DCImageBrowserView::requestVisible() {
    QAbstractItemModel *items = model();
    // A hidden browser (another mode is showing) asks for nothing.
    if (!items || items->rowCount() == 0 || !isVisible()) return loader_->want({});
    const QRect area = viewport()->rect();
    int first = -1;
    int last = -1;
    const QSize step = gridSize().isValid() ? gridSize() / 2 : QSize(32, 32);
    for (int y = area.top(); y <= area.bottom(); y += std::max(1, step.height()))
        for (int x = area.left(); x <= area.right(); x += std::max(1, step.width())) {
            const int row = indexAt(QPoint(x, y)).row();
            if (row < 0) continue;
            first = first < 0 ? row : std::min(first, row);
            last = std::max(last, row);
        }
    if (first < 0) first = last = 0;
    const int from = std::max(0, first - kAheadCells);
    const int to = std::min(items->rowCount() - 1, last + kAheadCells);
    std::vector<ThumbnailLoader::Request> wanted;
    const auto ask = [&](int row) {
        const QModelIndex index = items->index(row, 0);
        const QString uid = index.data(PhotoLibraryModel::UidRole).toString();
        if (thumbnails_.contains(uid)) return;
        const QString path = index.data(PhotoLibraryModel::PathRole).toString();
        if (index.data(PhotoLibraryModel::TypeRole).toInt() == FileItem::Movie)
            movies_->request(uid, path);
        else
            wanted.push_back({uid, path});
    };
    for (int row = first; row <= last; ++row)
        ask(row);
    for (int row = last + 1; row <= to; ++row)
        ask(row);
    for (int row = first - 1; row >= from; --row)
        ask(row);
    loader_->want(std::move(wanted));
}

void DCImageBrowserView::thumbnailLoaded(const QString &uid, const QImage &image) {
    thumbnails_.insert(uid, new QPixmap(image.isNull() ? placeholder(iconSize_) : QPixmap::fromImage(image)));
    viewport()->update();
    Q_EMIT thumbnailArrived(uid);
}
