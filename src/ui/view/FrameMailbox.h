#pragma once

#include <chrono>
#include <mutex>

#include <QtGlobal>

#include "capture/FramePointer.h"

// The newest live frame, handed from the thread that delivers frames to the one that shows them.
// Never a queue: a frame posted before the previous one was taken replaces it, so a slow consumer
// finds only the newest frame and never a backlog.
//
// Thread-safe; post() and take() only swap a shared pointer under a lock, so the delivery thread is
// never held up by the consumer.
class FrameMailbox {
public:
    using Clock = std::chrono::steady_clock;

    struct Letter {
        FramePointer frame;
        // Counts every frame posted (1 for the first); a consumer that saw n and now takes n + 3 knows
        // two frames went by unseen.
        quint64 generation = 0;
        Clock::time_point postedAt;
        explicit operator bool() const { return frame != nullptr; }
    };

    FrameMailbox() = default;
    FrameMailbox(const FrameMailbox &) = delete;
    FrameMailbox &operator=(const FrameMailbox &) = delete;

    // Any thread. A null frame is ignored (a frame hook that answered nothing has nothing to show).
    // Returns the frame's generation, or 0 when it was ignored.
    quint64 post(FramePointer frame);
    // The newest frame if one arrived since the last take, else an empty letter. The mailbox keeps
    // showing it as newest() but does not hand it out again.
    Letter take();
    // The newest frame whether taken or not (null before the first).
    FramePointer newest() const;
    quint64 generation() const;
    // Frames replaced before anybody took them.
    quint64 dropped() const;

private:
    mutable std::mutex mutex_;
    Letter newest_;
    bool taken_ = true;
    quint64 dropped_ = 0;
};
