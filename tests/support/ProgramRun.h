#pragma once

#include <QString>
#include <QStringList>

// What the built program (KL_PROGRAM, defined by each test target that runs it) said and returned.
struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// The environment of a user whose home and XDG folders are all under `home`, without a display.
QStringList programEnvironment(const QString &home);

// Runs the program as a user would, with `home` as its home and XDG folders and no display; a run
// that takes over a minute is killed and reported as timed out. A sanitizer report on its standard
// error fails the calling test.
ProgramRun runProgram(const QStringList &arguments, const QString &home);
