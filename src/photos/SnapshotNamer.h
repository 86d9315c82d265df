#pragma once

#include <functional>
#include <mutex>

#include <QDateTime>
#include <QString>

class UserDefaults;

// Names the next snapshot file: the date or custom prefix, and the persistent counter with its
// day rule ("DCCapturedNumber", "DCPrivousDate" in the user defaults). All of it runs under one lock,
// so snapshots taken at the same moment from several threads get distinct numbers.
class SnapshotNamer {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int kMaxNumberSearch = 100000;

    // `clock` answers the local time now (tests move it across midnight).
    explicit SnapshotNamer(UserDefaults &defaults, Clock clock = &QDateTime::currentDateTime);
    SnapshotNamer(const SnapshotNamer &) = delete;
    SnapshotNamer &operator=(const SnapshotNamer &) = delete;

    void setShouldUseCustPrefix(bool use);
    void setCustPrefix(const QString &prefix);
    void setBaseDir(const QString &folder); // may begin with a tilde

    // Keeps the day rule (the counter starts again at 1 on the first snapshot of a day, also across
    // restarts) and answers "yyyy-MM-dd_" or the custom prefix with "_" appended.
    QString calculatePrefix();

    // The full path for the next snapshot: "<folder>/<prefix><number>.jpg", the number at least four
    // digits, skipping every name that exists; the counter is left one past the number used.
    // Answers an empty string (with a log line) when no free name is found.
    QString nextPath();

    // A custom prefix as it may appear in a file name: no path separators, no "..", no control
    // characters, so a snapshot can never land outside the library folder.
    static QString sanitizedPrefix(const QString &prefix);
    static QString expandedFolder(const QString &folder);

private:
    QString calculatePrefixLocked();
    static int dayOfYear(const QDateTime &time) { return time.date().dayOfYear() - 1; } // 0..365

    UserDefaults &defaults_;
    const Clock clock_;
    std::mutex mutex_;
    int curday_;
    bool shouldUseCustPrefix_ = false;
    QString custPrefix_;
    QString baseDir_;
};
