#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A queue of operations run on threads of its own, in order of submission; with one worker (the
// default) they run one after another. The destructor finishes what was queued, then joins.
class OperationQueue {
public:
    explicit OperationQueue(std::string name, int maxConcurrentOperationCount = 1);
    ~OperationQueue();
    OperationQueue(const OperationQueue &) = delete;
    OperationQueue &operator=(const OperationQueue &) = delete;

    void addOperation(std::function<void()> operation);
    // Blocks until every operation queued so far has finished. Must not be called from a worker.
    void waitUntilAllOperationsAreFinished();
    // True on one of this queue's own threads.
    bool isCurrent() const;

private:
    void workerLoop();

    const std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> pending_;
    int running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};
