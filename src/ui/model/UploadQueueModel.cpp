#include "ui/model/UploadQueueModel.h"

#include <algorithm>
#include <set>

#include <QFileInfo>

#include "core/DCLog.h"

UploadQueueModel::UploadQueueModel(QObject *parent) : QAbstractListModel(parent), selection_(this) {
    connect(&selection_, &QItemSelectionModel::selectionChanged, this, &UploadQueueModel::selectionChanged);
    connect(this, &QAbstractItemModel::rowsInserted, this, [this] { Q_EMIT countChanged(rowCount()); });
    connect(this, &QAbstractItemModel::rowsRemoved, this, [this] { Q_EMIT countChanged(rowCount()); });
}

int UploadQueueModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

const FileItem *UploadQueueModel::itemAt(int row) const {
    return row >= 0 && row < rowCount() ? entries_[static_cast<size_t>(row)].item.get() : nullptr;
}

QVariant UploadQueueModel::data(const QModelIndex &index, int role) const {
    const FileItem *item = itemAt(index.row());
    if (!item || index.parent().isValid()) return {};
    // The tool tip names the file: queued photos may come from anywhere on the disk.
    return PhotoLibraryModel::itemData(*item, role == Qt::ToolTipRole ? PathRole : role);
}

void UploadQueueModel::addFileItemToQueue(std::unique_ptr<FileItem> item) {
    std::vector<std::unique_ptr<FileItem>> items;
    items.push_back(std::move(item));
    append(std::move(items));
}

void UploadQueueModel::addFileItemsToQueue(std::vector<std::unique_ptr<FileItem>> items) {
    const int before = rowCount();
    append(std::move(items));
    if (rowCount() > before) selectRow(rowCount() - 1);
}

void UploadQueueModel::append(std::vector<std::unique_ptr<FileItem>> items) {
    std::erase_if(items, [](const auto &item) { return !item || item->path().isEmpty(); });
    if (items.empty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(items.size()) - 1);
    for (auto &item : items)
        entries_.push_back({nextId_++, std::move(item)});
    endInsertRows();
}

bool UploadQueueModel::isAcceptedFile(const QUrl &url) {
    if (!url.isLocalFile()) return false;
    const QString suffix = QFileInfo(url.fileName()).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("png");
}

bool UploadQueueModel::acceptFileDrag(const QUrl &url) {
    if (!isAcceptedFile(url)) return false;
    std::unique_ptr<FileItem> item = FileItem::initWithURL(url);
    if (!item || item->path().isEmpty()) return false;
    addFileItemToQueue(std::move(item));
    return true;
}

QList<int> UploadQueueModel::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex &index : selection_.selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void UploadQueueModel::selectRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    selection_.select(index(row), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selection_.setCurrentIndex(index(row), QItemSelectionModel::NoUpdate);
}

void UploadQueueModel::selectAll() {
    if (rowCount() == 0) return;
    selection_.select(QItemSelection(index(0), index(rowCount() - 1)),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void UploadQueueModel::removeSelected() {
    removeRows(selectedRows());
}

void UploadQueueModel::removeAll() {
    QList<int> rows;
    for (int row = 0; row < rowCount(); ++row)
        rows << row;
    removeRows(rows);
}

void UploadQueueModel::removeEntries(const std::vector<std::uint64_t> &ids) {
    const std::set<std::uint64_t> wanted(ids.begin(), ids.end());
    QList<int> rows;
    for (int row = 0; row < rowCount(); ++row)
        if (wanted.count(entries_[static_cast<size_t>(row)].id)) rows << row;
    removeRows(rows);
}

// From the bottom up, so the rows still to go keep their numbers.
void UploadQueueModel::removeRows(const QList<int> &rows) {
    if (rows.isEmpty()) return;
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        beginRemoveRows({}, *row, *row);
        entries_.erase(entries_.begin() + *row);
        endRemoveRows();
    }
    selectionChanged();
}

void UploadQueueModel::selectionChanged() {
    const QList<int> rows = selectedRows();
    if (!rows.isEmpty()) {
        lastSelected_ = rows.last();
        Q_EMIT scrollToRowRequested(lastSelected_);
        return;
    }
    if (rowCount() == 0) return;
    selectRow(lastSelected_ >= 0 && lastSelected_ < rowCount() ? lastSelected_ : rowCount() - 1);
}

UploadQueueModel::Batch UploadQueueModel::takeBatch() {
    Batch batch;
    std::vector<std::uint64_t> gone;
    std::set<QString> seen;
    for (const Entry &entry : entries_) {
        const QString path = entry.item->path();
        if (!QFileInfo(path).isFile()) {
            DCLog("Queued photo %s is gone; it is left out of the note", qUtf8Printable(path));
            batch.missing << QFileInfo(path).fileName();
            gone.push_back(entry.id);
            continue;
        }
        batch.ids.push_back(entry.id);
        // The same photo queued twice goes into the note once.
        if (seen.insert(path).second) batch.paths << path;
    }
    removeEntries(gone);
    return batch;
}

QString UploadQueueModel::countText() const {
    return tr("%1 images attached").arg(rowCount());
}
