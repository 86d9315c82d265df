#include "ui/view/FrameMailbox.h"

#include <utility>

quint64 FrameMailbox::post(FramePointer frame) {
    if (!frame) return 0;
    const Clock::time_point now = Clock::now();
    // The frame the mailbox lets go is released outside the lock: dropping the last reference returns
    // its buffer to a pool, which takes a lock of its own.
    FramePointer previous;
    std::lock_guard lock(mutex_);
    if (!taken_) ++dropped_;
    previous = std::exchange(newest_.frame, std::move(frame));
    newest_.postedAt = now;
    taken_ = false;
    return ++newest_.generation;
}

FrameMailbox::Letter FrameMailbox::take() {
    std::lock_guard lock(mutex_);
    if (taken_) return {};
    taken_ = true;
    return newest_;
}

FramePointer FrameMailbox::newest() const {
    std::lock_guard lock(mutex_);
    return newest_.frame;
}

quint64 FrameMailbox::generation() const {
    std::lock_guard lock(mutex_);
    return newest_.generation;
}

quint64 FrameMailbox::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}
