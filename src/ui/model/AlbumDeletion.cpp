#include "ui/model/AlbumDeletion.h"

#include <algorithm>

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

#include "photos/PhotoTrash.h"
#include "ui/model/PhotoLibraryModel.h"

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("AlbumDeletion", text);
}

} // namespace

std::vector<AlbumDeletion::Target> AlbumDeletion::plan(const PhotoLibraryModel &library) {
    std::vector<Target> targets;
    for (const int row : library.selectedRows())
        if (const FileItem *item = library.itemAt(row)) targets.push_back({row, item->path()});
    return targets;
}

AlbumDeletion::Outcome AlbumDeletion::trash(const std::vector<Target> &targets) {
    Outcome outcome;
    for (const Target &target : targets) {
        QString error;
        const auto inTrash = PhotoTrash::moveToTrash(target.path, &error);
        if (!inTrash) {
            outcome.failedPath = target.path;
            outcome.error = error;
            break;
        }
        outcome.trashed.push_back({target, *inTrash});
    }
    return outcome;
}

int AlbumDeletion::rowAfterDelete(int smallestRow, int remaining) {
    if (remaining <= 0) return -1;
    return std::min(std::max(smallestRow, 0), remaining - 1);
}

AlbumDeletion::UndoRecord AlbumDeletion::apply(PhotoLibraryModel &library, const Outcome &outcome) {
    UndoRecord record;
    for (const Trashed &trashed : outcome.trashed) {
        const int row = library.rowOfPath(trashed.target.path);
        if (row < 0) continue; // the library was reloaded meanwhile; the file is in the Trash all the same
        record.entries.push_back({row, trashed.target.path, trashed.trashPath, library.takeRow(row)});
    }
    if (record.entries.empty()) return record;
    // Each row was counted after the items before it had gone; putting those back in reverse order of
    // their going gives the row each item had while all were there.
    std::vector<UndoRecord::Entry> &entries = record.entries;
    std::vector<int> taken;
    for (const UndoRecord::Entry &entry : entries)
        taken.push_back(entry.row);
    for (size_t i = 0; i < entries.size(); ++i)
        for (size_t j = i; j-- > 0;)
            if (taken[j] <= entries[i].row) ++entries[i].row;
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.row < b.row; });
    const int next = rowAfterDelete(entries.front().row, library.rowCount());
    if (next >= 0) library.selectRow(next);
    return record;
}

std::vector<AlbumDeletion::Restored> AlbumDeletion::restore(const UndoRecord &record) {
    std::vector<Restored> results;
    for (const UndoRecord::Entry &entry : record.entries) {
        Restored result;
        if (const auto back = PhotoTrash::restore(entry.trashPath, entry.originalPath, &result.error))
            result.path = *back;
        results.push_back(result);
    }
    return results;
}

QStringList AlbumDeletion::applyRestore(PhotoLibraryModel &library, const UndoRecord &record,
                                        const std::vector<Restored> &restored) {
    QStringList messages;
    int firstRow = -1;
    for (size_t i = 0; i < record.entries.size() && i < restored.size(); ++i) {
        const UndoRecord::Entry &entry = record.entries[i];
        const QString name = QFileInfo(entry.originalPath).fileName();
        if (restored[i].path.isEmpty()) {
            messages << tr("“%1” could not be put back: %2").arg(name, restored[i].error);
            continue;
        }
        auto item = std::make_unique<FileItem>(*entry.item);
        if (restored[i].path != entry.originalPath) {
            const QString newName = QFileInfo(restored[i].path).fileName();
            messages << tr("A newer “%1” is in the library; the photo came back as “%2”.").arg(name, newName);
            item->setName(newName);
            item->setUrl(QUrl::fromLocalFile(restored[i].path));
        }
        const int row = std::min(entry.row, library.rowCount());
        library.insert(row, std::move(item));
        if (firstRow < 0) firstRow = row;
    }
    if (firstRow >= 0) library.selectRow(firstRow);
    return messages;
}
