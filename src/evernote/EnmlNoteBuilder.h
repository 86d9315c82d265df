#pragma once

#include <QString>
#include <QStringList>

#include "evernote/generated/Edam_types.h"

// Makes the note an upload sends: its ENML content with one media tag per photo and the photos as
// resources with their MD5 digests. Reads the files, so it runs on a worker thread.
class EnmlNoteBuilder {
public:
    // The service's resource size limit for premium accounts; a larger file would be refused anyway.
    static constexpr qint64 kMaxPhotoBytes = 50 * 1024 * 1024;

    // The XML declaration, the document type and the opening tag.
    static QString prologue();
    // "jpeg" for .jpg and .jpeg, else the lower-cased extension ("png").
    static QString typeWord(const QString &path);

    struct Result {
        edam::Note note;
        QString failure; // set when a photo could not be read: nothing is to be sent
    };
    static Result build(const QString &title, const QString &notebookGuid, const QStringList &paths);
};
