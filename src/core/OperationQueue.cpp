#include "OperationQueue.h"

#include <algorithm>
#include <pthread.h>

OperationQueue::OperationQueue(std::string name, int maxConcurrentOperationCount) : name_(std::move(name)) {
    const int count = std::max(1, maxConcurrentOperationCount);
    for (int i = 0; i < count; ++i) {
        workers_.emplace_back([this] { workerLoop(); });
        // Thread names are limited to 15 characters.
        pthread_setname_np(workers_.back().native_handle(), name_.substr(0, 15).c_str());
    }
}

OperationQueue::~OperationQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto &worker : workers_)
        worker.join();
}

void OperationQueue::addOperation(std::function<void()> operation) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(operation));
    }
    wake_.notify_one();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return pending_.empty() && running_ == 0; });
}

bool OperationQueue::isCurrent() const {
    const auto self = std::this_thread::get_id();
    return std::any_of(workers_.begin(), workers_.end(),
                       [&](const std::thread &t) { return t.get_id() == self; });
}

void OperationQueue::workerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (pending_.empty()) return; // stopping, and nothing left to do
        auto operation = std::move(pending_.front());
        pending_.pop_front();
        ++running_;
        lock.unlock();
        operation();
        lock.lock();
        --running_;
        if (pending_.empty() && running_ == 0) idle_.notify_all();
    }
}
