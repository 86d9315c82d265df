#pragma once

#include <functional>

// "Perform on the main thread": the main thread runs the Qt event loop of the QCoreApplication.
namespace MainThread {

// True on the thread of the QCoreApplication (and anywhere when there is none, as in unit tests).
bool isCurrent();

// Runs `work` on the main thread: at once when called there, else queued without waiting.
void run(std::function<void()> work);

// Runs `work` on the main thread and waits for it to finish (at once when called there).
void runAndWait(std::function<void()> work);

} // namespace MainThread
