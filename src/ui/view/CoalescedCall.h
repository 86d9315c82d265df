#pragma once

#include <atomic>
#include <functional>

#include <QObject>

// Runs a function on the thread of `context` however often it is asked for from other threads, with
// at most one call pending: requests that come while one is pending fold into it. The way a frame
// source asks a view to redraw without piling events up in the view's event loop.
//
// request() is thread-safe. A request pending when the object goes is dropped.
class CoalescedCall : public QObject {
    Q_OBJECT
public:
    // `function` runs on this object's thread (the thread it was made on).
    explicit CoalescedCall(std::function<void()> function, QObject *parent = nullptr);

    void request();
    bool isPending() const { return pending_.load(std::memory_order_acquire); }

private:
    void run();

    std::function<void()> function_;
    std::atomic<bool> pending_{false};
};
