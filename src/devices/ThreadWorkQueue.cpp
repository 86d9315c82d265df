#include "ThreadWorkQueue.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unistd.h>

#include <sys/eventfd.h>

#include <QSocketNotifier>

#include "core/DCLog.h"

ThreadWorkQueue::ThreadWorkQueue() {
    fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd_ < 0) DCLog("eventfd failed: %s", strerror(errno));
}

ThreadWorkQueue::~ThreadWorkQueue() {
    notifier_.reset();
    if (fd_ >= 0) close(fd_);
}

void ThreadWorkQueue::attach() {
    if (fd_ < 0 || notifier_) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { runPending(); });
}

void ThreadWorkQueue::detach() {
    if (notifier_) {
        // Possibly inside the notifier's own signal: it goes once control is back in the loop.
        notifier_->setEnabled(false);
        notifier_.release()->deleteLater();
    }
    std::deque<std::function<void()>> dropped;
    std::lock_guard lock(mutex_);
    detached_ = true;
    dropped.swap(pending_);
}

void ThreadWorkQueue::post(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        if (detached_) return;
        pending_.push_back(std::move(work));
    }
    const uint64_t one = 1;
    if (fd_ >= 0 && write(fd_, &one, sizeof one) < 0 && errno != EAGAIN)
        DCLog("waking the device thread failed: %s", strerror(errno));
}

void ThreadWorkQueue::runPending() {
    uint64_t count = 0;
    if (read(fd_, &count, sizeof count) < 0 && errno != EAGAIN) return;
    // Only what is there now: work posted by this work waits for the next turn of the loop.
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(pending_);
    }
    while (!batch.empty()) {
        auto work = std::move(batch.front());
        batch.pop_front();
        work();
        if (!notifier_) return; // detached by this work
    }
}
