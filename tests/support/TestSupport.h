#pragma once

#include <chrono>
#include <functional>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Points HOME and the XDG folders at the build's private test home and chooses the offscreen platform
// unless one is set; every test main calls it first.
// Points HOME, the XDG folders and the runtime folder into `home` (the build's test home by default).
void usePrivateTestHome(const QString &home = QString());

// Sends every log line to a file of its own while it lives, and reads them back.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    // The text after "file:line function; " of each line.
    QStringList messages() const;
    bool contains(const QString &messagePart) const;

private:
    QTemporaryDir dir_;
    QString path_;
};

// A bound on a whole run that a sanitized build may take several times longer to keep.
#ifdef KL_SANITIZED
inline constexpr int kSlowdown = 5;
#else
inline constexpr int kSlowdown = 1;
#endif

// Runs the main thread's event loop until `done` answers true or `timeout` passes. Answers `done()`.
bool waitUntil(const std::function<bool()> &done,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));
