#pragma once

#include <mutex>
#include <set>

// Lets another thread cut the service's calls short: their sockets are shut down, so a call blocked
// sending or receiving fails at once instead of waiting out its timeout (a program that quits does not
// wait for a stalled server).
class EdamCallCanceller {
public:
    // Every call running now and every later one fails.
    void cancelAll();
    bool isCancelled() const;

    // A call's connected socket; false (and the socket shut down) once cancelled.
    bool add(int fd);
    // Before the socket is closed, so that a reused number is never shut down.
    void remove(int fd);

private:
    mutable std::mutex mutex_;
    std::set<int> sockets_;
    bool cancelled_ = false;
};
