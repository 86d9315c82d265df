#include "ui/model/PhotoLibraryModel.h"

#include <algorithm>

#include <QFileInfo>

#include "photos/PhotoLibrary.h"
#include "photos/SnapshotNamer.h"

namespace {

// The first batch fills a screen or two of the album; later ones are larger, so the main thread
// inserts rows a few times rather than thousands, each time for well under a frame.
constexpr size_t kFirstBatch = 64;
constexpr size_t kBatch = 500;

// A stat, the EXIF date and the header's picture size: two small reads. Null when the file is gone.
std::unique_ptr<FileItem> readItem(const QString &folder, const PhotoLibrary::Entry &entry) {
    const QString path = QStringLiteral("%1/%2").arg(folder, entry.name);
    if (!QFileInfo::exists(path)) return nullptr;
    auto item = std::make_unique<FileItem>();
    item->setName(entry.name);
    item->setType(entry.type);
    item->setUrl(QUrl::fromLocalFile(path));
    item->setFileAttribute();
    item->imageRepresentation();
    return item;
}

} // namespace

PhotoLibraryModel::PhotoLibraryModel(QObject *parent) : QAbstractListModel(parent), selection_(this) {
    // One load at a time: a superseded one stops at its next file, before the next one starts.
    pool_.setMaxThreadCount(1);
}

PhotoLibraryModel::~PhotoLibraryModel() {
    ++generation_;
    pool_.waitForDone();
}

int PhotoLibraryModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

const FileItem *PhotoLibraryModel::itemAt(int row) const {
    return row >= 0 && row < rowCount() ? items_[static_cast<size_t>(row)].get() : nullptr;
}

QVariant PhotoLibraryModel::data(const QModelIndex &index, int role) const {
    const FileItem *item = itemAt(index.row());
    if (!item || index.parent().isValid()) return {};
    return itemData(*item, role);
}

QVariant PhotoLibraryModel::itemData(const FileItem &item, int role) {
    switch (role) {
    case Qt::DisplayRole:
        return item.imageTitle();
    case PathRole:
        return item.path();
    case UrlRole:
        return item.url();
    case TypeRole:
        return item.type();
    case ResolutionRole:
        return item.resolution();
    case ItemSizeRole:
        return item.itemSize();
    case CreateDateRole:
        return item.createDate();
    case UidRole:
        return item.imageUID();
    default:
        return {};
    }
}

QHash<int, QByteArray> PhotoLibraryModel::roleNames() const {
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(PathRole, "path");
    names.insert(UrlRole, "url");
    names.insert(TypeRole, "type");
    names.insert(ResolutionRole, "resolution");
    names.insert(ItemSizeRole, "itemSize");
    names.insert(CreateDateRole, "createDate");
    names.insert(UidRole, "imageUID");
    return names;
}

void PhotoLibraryModel::loadFolder(const QString &folder) {
    ++generation_;
    loading_ = false;
    appendedWhileLoading_.clear();
    const QString expanded = SnapshotNamer::expandedFolder(folder);
    Items items;
    for (const PhotoLibrary::Entry &entry : PhotoLibrary::entriesInFolder(expanded))
        if (auto item = readItem(expanded, entry)) items.push_back(std::move(item));
    beginResetModel();
    items_ = std::move(items);
    endResetModel();
}

void PhotoLibraryModel::loadFolderInBackground(const QString &folder) {
    const quint64 generation = ++generation_;
    loading_ = true;
    appendedWhileLoading_.clear();
    beginResetModel();
    items_.clear();
    endResetModel();
    const QString expanded = SnapshotNamer::expandedFolder(folder);
    pool_.start([this, expanded, generation] {
        const auto stale = [&] { return generation_.load() != generation; };
        // The model outlives this task (its destructor waits for it), and a batch still queued when it
        // goes is dropped with it.
        const auto hand = [&](Items &batch, bool last) {
            auto rows = std::make_shared<Items>(std::move(batch));
            batch.clear();
            QMetaObject::invokeMethod(
                this, [this, generation, rows, last] { receiveBatch(generation, *rows, last); },
                Qt::QueuedConnection);
        };
        Items batch;
        size_t wanted = kFirstBatch;
        for (const PhotoLibrary::Entry &entry : PhotoLibrary::entriesInFolder(expanded)) {
            if (stale()) return;
            if (auto item = readItem(expanded, entry)) batch.push_back(std::move(item));
            if (batch.size() >= wanted) {
                hand(batch, false);
                wanted = kBatch;
            }
        }
        if (!stale()) hand(batch, true);
    });
}

void PhotoLibraryModel::receiveBatch(quint64 generation, Items &batch, bool last) {
    if (generation != generation_.load() || !loading_) return;
    // What was appended meanwhile is the newer word on that file.
    std::erase_if(batch, [this](const std::unique_ptr<FileItem> &item) {
        return appendedWhileLoading_.contains(item->path());
    });
    if (!batch.empty()) {
        const int first = listedEnd();
        beginInsertRows({}, first, first + static_cast<int>(batch.size()) - 1);
        items_.insert(items_.begin() + first, std::make_move_iterator(batch.begin()),
                      std::make_move_iterator(batch.end()));
        endInsertRows();
    }
    if (!last) return;
    loading_ = false;
    appendedWhileLoading_.clear();
    Q_EMIT loaded();
}

int PhotoLibraryModel::listedEnd() const {
    int row = rowCount();
    while (row > 0 && appendedWhileLoading_.contains(items_[static_cast<size_t>(row - 1)]->path()))
        --row;
    return row;
}

void PhotoLibraryModel::append(std::unique_ptr<FileItem> item) {
    if (!item) return;
    if (loading_) {
        // The listing may have found the new file already: it stays once, last, as callers expect.
        if (const int listed = rowOfPath(item->path()); listed >= 0) takeRow(listed);
        appendedWhileLoading_.insert(item->path());
    }
    const int row = rowCount();
    beginInsertRows({}, row, row);
    items_.push_back(std::move(item));
    endInsertRows();
}

void PhotoLibraryModel::insert(int row, std::unique_ptr<FileItem> item) {
    if (!item) return;
    row = std::clamp(row, 0, rowCount());
    beginInsertRows({}, row, row);
    items_.insert(items_.begin() + row, std::move(item));
    endInsertRows();
}

std::unique_ptr<FileItem> PhotoLibraryModel::takeRow(int row) {
    if (!itemAt(row)) return nullptr;
    beginRemoveRows({}, row, row);
    std::unique_ptr<FileItem> item = std::move(items_[static_cast<size_t>(row)]);
    items_.erase(items_.begin() + row);
    endRemoveRows();
    return item;
}

int PhotoLibraryModel::rowOfPath(const QString &path) const {
    for (size_t row = 0; row < items_.size(); ++row)
        if (items_[row]->path() == path) return static_cast<int>(row);
    return -1;
}

bool PhotoLibraryModel::resetPath(const QString &path) {
    const int row = rowOfPath(path);
    if (row < 0) return false;
    FileItem &item = *items_[static_cast<size_t>(row)];
    item.setSerial(item.serial() + 1);
    item.setFileAttribute();
    item.setResolution({});
    item.imageRepresentation(); // the turned size
    Q_EMIT dataChanged(index(row), index(row));
    return true;
}

std::vector<int> PhotoLibraryModel::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex &index : selection_.selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int PhotoLibraryModel::selectedRow() const {
    int first = -1;
    for (const QModelIndex &index : selection_.selectedRows())
        if (first < 0 || index.row() < first) first = index.row();
    return first;
}

void PhotoLibraryModel::selectRow(int row) {
    if (!itemAt(row)) return;
    selection_.setCurrentIndex(index(row), QItemSelectionModel::ClearAndSelect);
    Q_EMIT scrollToRowRequested(row);
}

void PhotoLibraryModel::selectAll() {
    if (items_.empty()) return;
    selection_.select(QItemSelection(index(0), index(rowCount() - 1)), QItemSelectionModel::Select);
}

bool PhotoLibraryModel::selectPrevious() {
    const int row = selectedRow();
    if (row <= 0) return false;
    selectRow(row - 1);
    return true;
}

bool PhotoLibraryModel::selectNext() {
    const int row = selectedRow();
    if (row < 0 || row + 1 >= rowCount()) return false;
    selectRow(row + 1);
    return true;
}

void PhotoLibraryModel::scrollToSelection() {
    if (const int row = selectedRow(); row >= 0) Q_EMIT scrollToRowRequested(row);
}
