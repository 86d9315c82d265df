#pragma once

#include <memory>
#include <unordered_set>
#include <vector>

struct AvahiPoll;
struct AvahiWatch;
struct AvahiTimeout;

// Avahi's main-loop hooks on the Qt event loop of the thread that creates this object: file
// descriptor watches become QSocketNotifiers, time-outs become QTimers. Use and delete it on that
// thread, after everything made with `poll()` (the client and its objects) is freed.
class AvahiPollAdapter {
public:
    AvahiPollAdapter();
    ~AvahiPollAdapter();
    AvahiPollAdapter(const AvahiPollAdapter &) = delete;
    AvahiPollAdapter &operator=(const AvahiPollAdapter &) = delete;

    const AvahiPoll *poll() const { return api_.get(); }

    // For tests: how many watches and time-outs Avahi holds right now.
    size_t watchCount() const { return watches_.size(); }
    size_t timeoutCount() const { return timeouts_.size(); }

private:
    friend struct AvahiPollAdapterAccess;
    std::unique_ptr<AvahiPoll> api_;
    std::unordered_set<AvahiWatch *> watches_;
    std::unordered_set<AvahiTimeout *> timeouts_;
    std::vector<AvahiWatch *> deadWatches_;
    std::vector<AvahiTimeout *> deadTimeouts_;
};
