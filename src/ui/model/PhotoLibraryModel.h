#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include "photos/FileItem.h"

// The photo library as the album shows it: one FileItem per photo or movie, in album order, with a
// selection that the browser, the large image and the keyboard share. Main thread only (the background
// load reads the files on a worker of its own and hands the rows to the main thread).
class PhotoLibraryModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole + 1, // QString
        UrlRole,                     // QUrl
        TypeRole,                    // int: FileItem::Type
        ResolutionRole,              // QString "WxH", once known
        ItemSizeRole,                // QString
        CreateDateRole,              // QDateTime
        UidRole,                     // QString: the browser's identifier
    };

    explicit PhotoLibraryModel(QObject *parent = nullptr);
    ~PhotoLibraryModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // What a row of `item` answers for `role`; other lists of photos answer the same.
    static QVariant itemData(const FileItem &item, int role);
    QHash<int, QByteArray> roleNames() const override;

    // Null for a row that is not there.
    const FileItem *itemAt(int row) const;
    // The photos and movies of `folder` (names sorted without regard to case; only the extensions "jpg"
    // and "mov", exactly so), each with its picture size read once. A missing folder gives none; a file
    // gone by the time it is read is left out. Supersedes a background load under way.
    void loadFolder(const QString &folder);
    // The same without blocking: the library empties at once, the files are read on a worker and the
    // rows arrive in batches (the first one small, so the first screen shows early); loaded() follows
    // the last. A later load supersedes this one and its rows are dropped. Items appended meanwhile
    // stay last, and a file both appended and listed is there once, as the appended item.
    void loadFolderInBackground(const QString &folder);
    bool isLoading() const { return loading_; }
    void append(std::unique_ptr<FileItem> item);
    // `row` is clamped to the ends.
    void insert(int row, std::unique_ptr<FileItem> item);
    // The item leaves the library; null for a row that is not there.
    std::unique_ptr<FileItem> takeRow(int row);
    // The first row whose item is the file at `path`; -1 when none is.
    int rowOfPath(const QString &path) const;
    // The file at `path` was rewritten: its item gets a new identifier, so the browser fetches a new
    // thumbnail. False when no item has that path.
    bool resetPath(const QString &path);

    QItemSelectionModel *selectionModel() { return &selection_; }
    // The first selected row; -1 when nothing is selected.
    int selectedRow() const;
    // Every selected row, ascending.
    std::vector<int> selectedRows() const;
    const FileItem *selectedItem() const { return itemAt(selectedRow()); }
    // A row that is not there leaves the selection as it is.
    void selectRow(int row);
    void selectLast() { selectRow(rowCount() - 1); }
    void selectAll();
    // One step from the selected row; false when there is no row that way.
    bool selectPrevious();
    bool selectNext();
    // Asks the browser to show the selected row again.
    void scrollToSelection();

Q_SIGNALS:
    // The selection moved to `row`: the browser scrolls to it.
    void scrollToRowRequested(int row);
    // The background load has handed over its last row.
    void loaded();

private:
    using Items = std::vector<std::unique_ptr<FileItem>>;
    void receiveBatch(quint64 generation, Items &batch, bool last);
    // Where the next listed rows go: before the items appended during the load.
    int listedEnd() const;

    Items items_;
    QItemSelectionModel selection_;
    // The load whose rows are wanted; a worker that sees another value stops.
    std::atomic<quint64> generation_{0};
    bool loading_ = false;
    QSet<QString> appendedWhileLoading_;
    // Last, so that it is gone (its worker finished) before the rest of the model.
    QThreadPool pool_;
};
