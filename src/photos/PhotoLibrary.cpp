#include "photos/PhotoLibrary.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>

#include "core/DCLog.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/SnapshotNamer.h"

std::vector<PhotoLibrary::Entry> PhotoLibrary::entriesInFolder(const QString &folder) {
    const QDir dir(folder);
    if (!QFileInfo(folder).isDir()) {
        DCLog("Photo library folder %s does not exist", qUtf8Printable(folder));
        return {};
    }
    if (!QFileInfo(folder).isReadable()) {
        DCLog("Photo library folder %s cannot be read", qUtf8Printable(folder));
        return {};
    }
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(names.size()));
    for (const QString &name : names) {
        if (name.endsWith(QLatin1String(".jpg"), Qt::CaseSensitive) && name.size() > 4)
            entries.push_back({name, FileItem::Photo});
        else if (name.endsWith(QLatin1String(".mov"), Qt::CaseSensitive) && name.size() > 4)
            entries.push_back({name, FileItem::Movie});
    }
    return entries;
}

std::vector<std::unique_ptr<FileItem>> PhotoLibrary::itemsInLibrary(const UserDefaults &defaults) {
    const QString folder =
        SnapshotNamer::expandedFolder(defaults.stringForKey(DCDefaults::PhotoLibraryLocation));
    std::vector<std::unique_ptr<FileItem>> items;
    for (const Entry &entry : entriesInFolder(folder)) {
        std::unique_ptr<FileItem> item =
            FileItem::fileItemWithContentsOfFile(entry.name, entry.type, defaults);
        item->imageRepresentation(); // fills in the pixel size from the header
        items.push_back(std::move(item));
    }
    return items;
}
