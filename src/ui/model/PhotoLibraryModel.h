#pragma once

#include <memory>
#include <vector>

#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QString>

#include "photos/FileItem.h"

// The photo library as the album shows it: one FileItem per photo or movie, in album order, with a
// selection that the browser, the large image and the keyboard share. Main thread only.
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

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Null for a row that is not there.
    const FileItem *itemAt(int row) const;
    // The photos and movies of `folder` (names sorted without regard to case; only the extensions "jpg"
    // and "mov", exactly so), each with its picture size read once. A missing folder gives none.
    void loadFolder(const QString &folder);
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

private:
    std::vector<std::unique_ptr<FileItem>> items_;
    QItemSelectionModel selection_;
};
