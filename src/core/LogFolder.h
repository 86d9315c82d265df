#pragma once

#include <QString>

// The folder that holds the log file.
class LogFolder {
public:
    // "Orb" in the XDG data home (the user's application-support folder), or in the temporary folder
    // when there is no home.
    static QString defaultPath();

    // Makes sure `path` is a folder: anything else standing there is removed first, missing parents
    // are created. Answers whether a folder is there afterwards.
    static bool ensure(const QString &path);
};
