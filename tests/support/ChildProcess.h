#pragma once

#include <chrono>
#include <functional>

#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

// A program the test starts by fork and exec, its standard output and error read through pipes, its
// standard input empty. Qt's process launcher runs the child in the parent's memory until exec; under
// ThreadSanitizer the child's bookkeeping then lands in the parent's, which afterwards misses the
// parent's own locking and reports races that are not there. Hence this, for every program a test runs.
//
// Not thread-safe: one thread drives it. A child still running when it goes is killed and reaped.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // This process's environment, as NAME=VALUE entries, to change and hand to start().
    static QStringList systemEnvironment();
    // Sets (or, with a null value, removes) one NAME=VALUE entry.
    static void setVariable(QStringList &environment, const QString &name, const QString &value);

    // Starts `program` (looked up in PATH) with the arguments and exactly `environment`. False when
    // it cannot be started (then nothing runs).
    bool start(const QString &program, const QStringList &arguments,
               const QStringList &environment = systemEnvironment());

    // Collects output until `done` answers true, the child has ended and its output is read, or the
    // time is up; answers `done()` then.
    bool readUntil(const std::function<bool()> &done, std::chrono::milliseconds limit);
    // Collects output until the child has ended; false when it still runs after `limit`.
    bool waitForExit(std::chrono::milliseconds limit);
    // The signal goes to this child's PID only, and only while it has not been reaped.
    void signal(int signal);

    bool running();
    pid_t pid() const { return pid_; }
    int exitCode() const { return exitCode_; }             // -1 unless it exited by itself
    bool exitedNormally() const { return exitCode_ >= 0; } // not ended by a signal
    const QByteArray &out() const { return out_; }
    const QByteArray &err() const { return err_; }

private:
    void readAvailable(int timeoutMs);
    void drain();
    void reap(bool wait);
    void closePipes();

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    int exitCode_ = -1;
    QByteArray out_, err_;
};

// A program run to its end: what it wrote and how it ended (exit code -1 when it was killed or ran
// longer than the limit, then killed).
struct ChildResult {
    int exitCode = -1;
    QByteArray out, err;
};
ChildResult runChild(const QString &program, const QStringList &arguments,
                     const QStringList &environment = ChildProcess::systemEnvironment(),
                     std::chrono::milliseconds limit = std::chrono::seconds(60));
