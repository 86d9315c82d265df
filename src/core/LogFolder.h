#pragma once

#include <QString>

// The folder that holds the log file, and how the program makes sure a folder it needs is there.
class LogFolder {
public:
    // "Orb" in the XDG data home (the user's application-support folder), or in the temporary folder
    // when there is no home.
    static QString defaultPath();

    struct Outcome {
        bool isFolder = false; // a folder (or a link to one) is at the path now
        QString note;          // what was done or went wrong, for the log; empty when nothing happened
    };

    // Makes sure `path` is a folder, creating missing parents. Nothing the user owns is ever deleted:
    // a file (or a link that leads to no folder) standing at the path is moved aside in the same folder
    // under a name that says so and that nothing else has. `what` names the folder in the note.
    // Called before the log may be open, so the caller logs the note.
    static Outcome ensure(const QString &path, const QString &what);
};
