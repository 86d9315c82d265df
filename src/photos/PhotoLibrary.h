#pragma once

#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

#include "photos/FileItem.h"

class UserDefaults;

// The files of the photo library folder as album items: names sorted case-insensitively, only the
// extensions "jpg" and "mov" exactly as written (other cases and extensions are ignored), each item
// with its name, size text, date and pixel size ready. Reads headers only.
class PhotoLibrary {
public:
    // The folder named by "DCPhotoLibraryLocationKey" in `defaults`. A missing or unreadable folder
    // gives no items and a log line.
    static std::vector<std::unique_ptr<FileItem>> itemsInLibrary(const UserDefaults &defaults);

    // The album's file names in `folder`, in album order, with their type.
    struct Entry {
        QString name;
        int type = FileItem::Photo;
    };
    static std::vector<Entry> entriesInFolder(const QString &folder);
};
