#pragma once

#include <functional>
#include <memory>

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a call on the main thread's event loop. The signal handler only writes
// one byte to a pipe (all it may safely do); the loop reads it and calls `onStop` once. While one
// instance lives it owns both signals; the previous handlers come back with the first signal (so a
// second one ends a stop that hangs) or when it goes.
class StopSignals : public QObject {
public:
    explicit StopSignals(std::function<void(int signal)> onStop);
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // False when the pipe could not be made (the signals then keep their old handlers).
    bool isInstalled() const { return installed_; }

private:
    void readSignal();

    std::function<void(int)> onStop_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool installed_ = false;
    bool stopped_ = false;
};
