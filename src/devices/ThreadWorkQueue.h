#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QSocketNotifier;

// Work handed to one thread's event loop from any thread. The work itself passes through our own
// lock and the wake-up through an eventfd that the serving thread watches, so the hand-off is
// visible to ThreadSanitizer (Qt's queued calls are not, as Debian's Qt is not built with it).
class ThreadWorkQueue {
public:
    ThreadWorkQueue();
    ~ThreadWorkQueue();
    ThreadWorkQueue(const ThreadWorkQueue &) = delete;
    ThreadWorkQueue &operator=(const ThreadWorkQueue &) = delete;

    // On the serving thread: run posted work from its event loop (also what was posted before).
    void attach();
    // On the serving thread: stop serving; work still waiting and work posted later is dropped.
    void detach();
    // Any thread.
    void post(std::function<void()> work);
    // On the serving thread: runs the work waiting now, without waiting for the loop to get to it.
    void runPending();

private:
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::mutex mutex_;
    std::deque<std::function<void()>> pending_;
    bool detached_ = false;
};
