#include "AvahiPollAdapter.h"

#include <algorithm>
#include <poll.h>

#include <sys/time.h>

#include <QSocketNotifier>
#include <QTimer>

#include <avahi-common/timeval.h>
#include <avahi-common/watch.h>

// Avahi may free a watch or a time-out from inside its own callback. Its notifier or timer is then
// still emitting, so the object is only disabled there and parked; it is deleted at the next dispatch
// or with the adapter.
struct AvahiWatch {
    AvahiPollAdapter *owner = nullptr;
    int fd = -1;
    AvahiWatchEvent events = static_cast<AvahiWatchEvent>(0);
    AvahiWatchEvent revents = static_cast<AvahiWatchEvent>(0);
    AvahiWatchCallback callback = nullptr;
    void *userdata = nullptr;
    std::unique_ptr<QSocketNotifier> reader;
    std::unique_ptr<QSocketNotifier> writer;
    bool dispatching = false;
    bool dead = false;
};

struct AvahiTimeout {
    AvahiPollAdapter *owner = nullptr;
    AvahiTimeoutCallback callback = nullptr;
    void *userdata = nullptr;
    QTimer timer;
    bool dispatching = false;
    bool dead = false;
};

struct AvahiPollAdapterAccess {
    static AvahiPollAdapter *adapter(const AvahiPoll *api) {
        return static_cast<AvahiPollAdapter *>(api->userdata);
    }

    static void buryDead(AvahiPollAdapter *self) {
        for (AvahiWatch *w : self->deadWatches_)
            delete w;
        for (AvahiTimeout *t : self->deadTimeouts_)
            delete t;
        self->deadWatches_.clear();
        self->deadTimeouts_.clear();
    }

    static void applyEvents(AvahiWatch *w) {
        w->reader->setEnabled((w->events & (AVAHI_WATCH_IN | AVAHI_WATCH_ERR | AVAHI_WATCH_HUP)) != 0);
        w->writer->setEnabled((w->events & AVAHI_WATCH_OUT) != 0);
    }

    static void dispatchWatch(AvahiWatch *w) {
        if (w->dead || w->dispatching) return;
        buryDead(w->owner);
        // The notifier says "readable" or "writable"; poll tells exactly which of the asked-for
        // conditions (plus error and hang-up, which are always reported) hold right now.
        pollfd p{w->fd, static_cast<short>(w->events), 0};
        if (::poll(&p, 1, 0) <= 0) return;
        const int wanted = w->events | AVAHI_WATCH_ERR | AVAHI_WATCH_HUP;
        const auto revents = static_cast<AvahiWatchEvent>(p.revents & wanted);
        if (revents == 0) return;
        w->revents = revents;
        w->dispatching = true;
        w->callback(w, w->fd, revents, w->userdata);
        w->dispatching = false;
        w->revents = static_cast<AvahiWatchEvent>(0);
        if (w->dead) w->owner->deadWatches_.push_back(w);
    }

    static AvahiWatch *watchNew(const AvahiPoll *api, int fd, AvahiWatchEvent event,
                                AvahiWatchCallback callback, void *userdata) {
        AvahiPollAdapter *self = adapter(api);
        auto *w = new AvahiWatch;
        w->owner = self;
        w->fd = fd;
        w->events = event;
        w->callback = callback;
        w->userdata = userdata;
        w->reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        w->writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        QObject::connect(w->reader.get(), &QSocketNotifier::activated, [w] { dispatchWatch(w); });
        QObject::connect(w->writer.get(), &QSocketNotifier::activated, [w] { dispatchWatch(w); });
        applyEvents(w);
        self->watches_.insert(w);
        return w;
    }

    static void watchUpdate(AvahiWatch *w, AvahiWatchEvent event) {
        w->events = event;
        applyEvents(w);
    }

    static AvahiWatchEvent watchGetEvents(AvahiWatch *w) { return w->revents; }

    static void watchFree(AvahiWatch *w) {
        w->owner->watches_.erase(w);
        w->reader->setEnabled(false);
        w->writer->setEnabled(false);
        if (w->dispatching) {
            w->dead = true;
            return;
        }
        delete w;
    }

    static void arm(AvahiTimeout *t, const struct timeval *tv) {
        if (!tv) {
            t->timer.stop();
            return;
        }
        const AvahiUsec usec = avahi_age(tv); // time since `tv`: negative while it lies ahead
        const long long ms = usec >= 0 ? 0 : (-usec + 999) / 1000;
        t->timer.start(static_cast<int>(std::min<long long>(ms, 24LL * 3600 * 1000)));
    }

    static void fireTimeout(AvahiTimeout *t) {
        if (t->dead) return;
        buryDead(t->owner);
        t->dispatching = true;
        t->callback(t, t->userdata);
        t->dispatching = false;
        if (t->dead) t->owner->deadTimeouts_.push_back(t);
    }

    static AvahiTimeout *timeoutNew(const AvahiPoll *api, const struct timeval *tv,
                                    AvahiTimeoutCallback callback, void *userdata) {
        AvahiPollAdapter *self = adapter(api);
        auto *t = new AvahiTimeout;
        t->owner = self;
        t->callback = callback;
        t->userdata = userdata;
        t->timer.setSingleShot(true);
        t->timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&t->timer, &QTimer::timeout, [t] { fireTimeout(t); });
        arm(t, tv);
        self->timeouts_.insert(t);
        return t;
    }

    static void timeoutUpdate(AvahiTimeout *t, const struct timeval *tv) { arm(t, tv); }

    static void timeoutFree(AvahiTimeout *t) {
        t->owner->timeouts_.erase(t);
        t->timer.stop();
        if (t->dispatching) {
            t->dead = true;
            return;
        }
        delete t;
    }
};

AvahiPollAdapter::AvahiPollAdapter() : api_(std::make_unique<AvahiPoll>()) {
    using A = AvahiPollAdapterAccess;
    api_->userdata = this;
    api_->watch_new = &A::watchNew;
    api_->watch_update = &A::watchUpdate;
    api_->watch_get_events = &A::watchGetEvents;
    api_->watch_free = &A::watchFree;
    api_->timeout_new = &A::timeoutNew;
    api_->timeout_update = &A::timeoutUpdate;
    api_->timeout_free = &A::timeoutFree;
}

AvahiPollAdapter::~AvahiPollAdapter() {
    // Whatever Avahi left behind (a client freed while we were still needed would be a bug in the
    // caller) is released here, so no notifier outlives the adapter.
    for (AvahiWatch *w : watches_)
        delete w;
    for (AvahiTimeout *t : timeouts_)
        delete t;
    AvahiPollAdapterAccess::buryDead(this);
}
