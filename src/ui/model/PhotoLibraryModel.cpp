#include "ui/model/PhotoLibraryModel.h"

#include <algorithm>

#include "photos/PhotoLibrary.h"
#include "photos/SnapshotNamer.h"

PhotoLibraryModel::PhotoLibraryModel(QObject *parent) : QAbstractListModel(parent), selection_(this) {}

int PhotoLibraryModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

const FileItem *PhotoLibraryModel::itemAt(int row) const {
    return row >= 0 && row < rowCount() ? items_[static_cast<size_t>(row)].get() : nullptr;
}

QVariant PhotoLibraryModel::data(const QModelIndex &index, int role) const {
    const FileItem *item = itemAt(index.row());
    if (!item || index.parent().isValid()) return {};
    switch (role) {
    case Qt::DisplayRole:
        return item->imageTitle();
    case PathRole:
        return item->path();
    case UrlRole:
        return item->url();
    case TypeRole:
        return item->type();
    case ResolutionRole:
        return item->resolution();
    case ItemSizeRole:
        return item->itemSize();
    case CreateDateRole:
        return item->createDate();
    case UidRole:
        return item->imageUID();
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
    const QString expanded = SnapshotNamer::expandedFolder(folder);
    std::vector<std::unique_ptr<FileItem>> items;
    for (const PhotoLibrary::Entry &entry : PhotoLibrary::entriesInFolder(expanded)) {
        auto item = std::make_unique<FileItem>();
        item->setName(entry.name);
        item->setType(entry.type);
        item->setUrl(QUrl::fromLocalFile(QStringLiteral("%1/%2").arg(expanded, entry.name)));
        item->setFileAttribute();
        item->imageRepresentation(); // reads the picture size from the header
        items.push_back(std::move(item));
    }
    beginResetModel();
    items_ = std::move(items);
    endResetModel();
}

void PhotoLibraryModel::append(std::unique_ptr<FileItem> item) {
    if (!item) return;
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
