#pragma once

#include <optional>

#include <QDateTime>
#include <QString>

// Moves library photos to the user's freedesktop.org Trash and brings them back. A file on another
// file system goes to that file system's own Trash (.Trash/$uid or .Trash-$uid at its top), as file
// managers expect; QFile::moveToTrash decides which.
class PhotoTrash {
public:
    // Moves `path` to the Trash; the file's place in the Trash, or nothing with `error` set.
    static std::optional<QString> moveToTrash(const QString &path, QString *error);

    // What a Trash keeps about a file it holds (its .trashinfo file).
    struct Info {
        QString originalPath;
        QDateTime deletionDate;
    };
    // The .trashinfo of the file at `trashPath` (".../files/<name>"); nothing when it is missing,
    // larger than any real one or not in the expected form.
    static std::optional<Info> infoOf(const QString &trashPath);
    static QString infoPath(const QString &trashPath);

    // Puts the file at `trashPath` back at `originalPath`. A file that has since appeared at that name is
    // never overwritten: the photo comes back beside it as "<name> (restored).<ext>" (or "(restored 2)",
    // ...). Answers where it came back, or nothing with `error` set; the .trashinfo goes with success.
    static std::optional<QString> restore(const QString &trashPath, const QString &originalPath,
                                          QString *error);

    // The free name the restore uses for `originalPath`; empty when none of the first 100 is free.
    static QString freeNameFor(const QString &originalPath);
};
