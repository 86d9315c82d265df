#pragma once

#include <chrono>
#include <functional>

class QObject;

// How the window's models run work later: once, after a delay, on the main thread. Tests pass their own
// function and run the work when they choose, so no test waits for real seconds.
struct ModelSchedule {
    using Function = std::function<void(std::chrono::milliseconds, std::function<void()>)>;

    // A one-shot timer on the main event loop; the work is dropped when `context` goes first.
    static Function onMainLoop(QObject *context);
};
