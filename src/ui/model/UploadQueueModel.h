#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QStringList>
#include <QUrl>

#include "photos/FileItem.h"
#include "ui/model/PhotoLibraryModel.h"

// The photos waiting to go into the next note, in the order they were added, with the selection the
// queue's browser shows. The browser always keeps a selection while there is something to select: after
// removals it goes back to the row it was on, or to the last row. Main thread only.
class UploadQueueModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The photo library's roles, so that one thumbnail browser shows both.
    enum Role {
        PathRole = PhotoLibraryModel::PathRole, // QString
        UrlRole = PhotoLibraryModel::UrlRole,   // QUrl
        TypeRole = PhotoLibraryModel::TypeRole, // int: FileItem::Type
        UidRole = PhotoLibraryModel::UidRole,   // QString: the browser's identifier
    };

    // What one upload takes with it. Entries are named by their queue ids, so photos added or removed
    // while the upload runs do not change what it sent nor what it takes out of the queue afterwards.
    struct Batch {
        std::vector<std::uint64_t> ids; // the entries sent, in queue order
        QStringList paths;              // their files, each at most once
        QStringList missing;            // names of queued photos whose files are gone (left out)
    };

    explicit UploadQueueModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const FileItem *itemAt(int row) const;
    // Appends one photo; the selection is left alone.
    void addFileItemToQueue(std::unique_ptr<FileItem> item);
    // Appends the photos and selects the last row of the queue (nothing happens for none).
    void addFileItemsToQueue(std::vector<std::unique_ptr<FileItem>> items);
    // A file dropped on the queue: JPEG (".jpg") and PNG (".png") files only, the extension compared
    // without regard to case. False when the file was not taken.
    bool acceptFileDrag(const QUrl &url);
    static bool isAcceptedFile(const QUrl &url);

    void removeSelected();
    void removeAll();
    // Takes the entries out of the queue; ids no longer queued are skipped.
    void removeEntries(const std::vector<std::uint64_t> &ids);

    // The queue as an upload takes it. Queued photos whose files are gone are listed and left out,
    // and leave the queue (their thumbnails could no longer be drawn either).
    Batch takeBatch();

    QItemSelectionModel *selectionModel() { return &selection_; }
    QList<int> selectedRows() const;
    void selectRow(int row);
    void selectAll();
    int lastSelectedRow() const { return lastSelected_; }

    // "%1 images attached" with the number of queued photos.
    QString countText() const;

Q_SIGNALS:
    void countChanged(int count);
    // The browser scrolls to the row the selection moved to.
    void scrollToRowRequested(int row);

private:
    struct Entry {
        std::uint64_t id;
        std::unique_ptr<FileItem> item;
    };
    void append(std::vector<std::unique_ptr<FileItem>> items);
    void removeRows(const QList<int> &rows);
    void selectionChanged();

    std::vector<Entry> entries_;
    QItemSelectionModel selection_;
    std::uint64_t nextId_ = 1;
    int lastSelected_ = -1;
};
