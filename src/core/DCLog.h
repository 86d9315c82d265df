#pragma once

#include <QString>

// The program's one log. Every line is written whole, with the date, the time to the millisecond,
// the program name and [pid:tid] in front, then "file:line function; message". Safe on any thread.
class DCLog {
public:
    // The call behind the DCLog() macro. `format` is printf-style; strings are passed as
    // qUtf8Printable(...) or plain C strings.
    static void file(const char *file, const char *function, int lineNumber, const char *format, ...)
        __attribute__((format(printf, 4, 5)));

    // Windowed start-up: makes sure the log folder exists, then reopens standard error and standard
    // output onto "Log.txt" in it (append). When standard error was a terminal, lines are echoed there.
    static void redirectStandardStreams(const QString &logFolder);

    // Command-line modes keep their standard streams: log lines go to the log file (and are echoed to
    // standard error when that is a terminal). Answers false when the file cannot be opened.
    static bool openLogFile(const QString &logFolder);

    // Tests: send lines to `path` only (no echo). An empty path restores standard error.
    static void setLogFileForTesting(const QString &path);

    static QString logFileName() { return QStringLiteral("Log.txt"); }
};

#define DCLog(...) DCLog::file(__FILE__, __func__, __LINE__, __VA_ARGS__)
