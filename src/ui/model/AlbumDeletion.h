#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "photos/FileItem.h"

class PhotoLibraryModel;

// Deleting photos of the album to the Trash and putting them back (undo). The file work (trash(),
// restore()) touches no model and runs on a worker thread; the model steps (plan(), apply(),
// applyRestore()) run on the main thread and find their items by path, so a library that changed
// meanwhile never loses or mixes up an item.
namespace AlbumDeletion {

struct Target {
    int row = -1;
    QString path;
};
// The selected items in album order.
std::vector<Target> plan(const PhotoLibraryModel &library);

struct Trashed {
    Target target;
    QString trashPath;
};
struct Outcome {
    std::vector<Trashed> trashed; // in order, up to the first failure
    QString failedPath;           // empty when every file went
    QString error;
};
// Moves the files one by one and stops at the first that cannot go.
Outcome trash(const std::vector<Target> &targets);

// The row to select once `remaining` items are left after deleting from `smallestRow` on: the same row,
// the new last one when it is past the end, -1 (no change) when nothing is left.
int rowAfterDelete(int smallestRow, int remaining);

// What undo needs: the removed items with their former rows and their place in the Trash.
struct UndoRecord {
    struct Entry {
        int row = -1;
        QString originalPath;
        QString trashPath;
        std::shared_ptr<FileItem> item;
    };
    std::vector<Entry> entries; // ascending rows
    bool isEmpty() const { return entries.empty(); }
};
// Removes the trashed items from the library and selects by rowAfterDelete().
UndoRecord apply(PhotoLibraryModel &library, const Outcome &outcome);

struct Restored {
    QString path;  // where the photo is again; empty when it could not come back
    QString error; // why not
};
// Puts the files back, in the record's order; one answer per entry.
std::vector<Restored> restore(const UndoRecord &record);
// Inserts the items that came back at their former rows (a photo that came back under another name
// keeps that name) and selects the first of them. Answers the messages for the user: a photo that came
// back beside a newer file of its name, or one that could not come back.
QStringList applyRestore(PhotoLibraryModel &library, const UndoRecord &record,
                         const std::vector<Restored> &restored);

} // namespace AlbumDeletion
