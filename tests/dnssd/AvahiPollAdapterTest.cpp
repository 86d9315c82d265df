#include "dnssd/AvahiPollAdapter.h"

#include <unistd.h>

#include <sys/socket.h>
#include <sys/time.h>

#include <QCoreApplication>

#include <avahi-common/timeval.h>
#include <avahi-common/watch.h>
#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

struct SocketPair {
    int fd[2] = {-1, -1};
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fd), 0); }
    ~SocketPair() { closeBoth(); }
    void closeBoth() {
        for (int &f : fd)
            if (f >= 0) ::close(f), f = -1;
    }
};

struct WatchLog {
    const AvahiPoll *api = nullptr;
    std::vector<int> events{};   // what each callback was given
    std::vector<int> reported{}; // what watch_get_events answered inside it
    bool drain = true;
    bool freeInside = false;
    AvahiWatch *watch = nullptr;
};

void watchCallback(AvahiWatch *w, int fd, AvahiWatchEvent event, void *userdata) {
    auto *log = static_cast<WatchLog *>(userdata);
    log->events.push_back(event);
    log->reported.push_back(log->api->watch_get_events(w));
    if (log->drain && (event & AVAHI_WATCH_IN)) {
        char buffer[64];
        while (::read(fd, buffer, sizeof buffer) > 0) {
        }
    }
    if (log->freeInside) {
        log->api->watch_free(w);
        log->watch = nullptr;
    }
}

struct TimeoutLog {
    const AvahiPoll *api = nullptr;
    int fired = 0;
    bool rearm = false;
    bool freeInside = false;
};

void timeoutCallback(AvahiTimeout *t, void *userdata) {
    auto *log = static_cast<TimeoutLog *>(userdata);
    ++log->fired;
    if (log->rearm && log->fired < 3) {
        struct timeval tv;
        log->api->timeout_update(t, avahi_elapse_time(&tv, 1, 0));
    }
    if (log->freeInside) log->api->timeout_free(t);
}

// Turns the event loop a few times: enough for anything already due to be delivered.
void spin() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

TEST(AvahiPollAdapter, AReadWatchFiresWithInOnDataAndStopsWhenDisabled) {
    AvahiPollAdapter adapter;
    const AvahiPoll *api = adapter.poll();
    SocketPair pair;
    WatchLog log{.api = api};
    AvahiWatch *w = api->watch_new(api, pair.fd[0], AVAHI_WATCH_IN, watchCallback, &log);
    EXPECT_EQ(adapter.watchCount(), 1u);
    QCoreApplication::processEvents();
    EXPECT_TRUE(log.events.empty()); // nothing to read yet

    ASSERT_EQ(::write(pair.fd[1], "x", 1), 1);
    ASSERT_TRUE(waitUntil([&] { return log.events.size() == 1; }));
    EXPECT_EQ(log.events[0], AVAHI_WATCH_IN);
    EXPECT_EQ(log.reported[0], AVAHI_WATCH_IN);
    EXPECT_EQ(api->watch_get_events(w), 0); // only meaningful inside the callback

    api->watch_update(w, static_cast<AvahiWatchEvent>(0));
    ASSERT_EQ(::write(pair.fd[1], "y", 1), 1);
    spin();
    EXPECT_EQ(log.events.size(), 1u);

    api->watch_update(w, AVAHI_WATCH_IN); // the byte written while disabled is still there
    ASSERT_TRUE(waitUntil([&] { return log.events.size() == 2; }));
    api->watch_free(w);
    EXPECT_EQ(adapter.watchCount(), 0u);
}

TEST(AvahiPollAdapter, WriteAndHangUpAreReportedAndAWatchMayFreeItselfInItsCallback) {
    AvahiPollAdapter adapter;
    const AvahiPoll *api = adapter.poll();
    SocketPair pair;
    WatchLog writable{.api = api, .freeInside = true};
    writable.watch = api->watch_new(api, pair.fd[0], AVAHI_WATCH_OUT, watchCallback, &writable);
    ASSERT_TRUE(waitUntil([&] { return writable.events.size() == 1; }));
    EXPECT_EQ(writable.events[0], AVAHI_WATCH_OUT);
    EXPECT_EQ(writable.watch, nullptr);
    EXPECT_EQ(adapter.watchCount(), 0u);
    spin();
    EXPECT_EQ(writable.events.size(), 1u); // freed: never again

    WatchLog hangup{.api = api, .drain = false, .freeInside = true};
    api->watch_new(api, pair.fd[0], AVAHI_WATCH_IN, watchCallback, &hangup);
    ::close(pair.fd[1]);
    pair.fd[1] = -1;
    ASSERT_TRUE(waitUntil([&] { return hangup.events.size() == 1; }));
    EXPECT_TRUE(hangup.events[0] & AVAHI_WATCH_HUP);
}

TEST(AvahiPollAdapter, TimeoutsFireOnceCanBeRearmedDisabledAndFreedInside) {
    AvahiPollAdapter adapter;
    const AvahiPoll *api = adapter.poll();
    struct timeval tv;

    TimeoutLog once{.api = api};
    AvahiTimeout *t = api->timeout_new(api, avahi_elapse_time(&tv, 0, 0), timeoutCallback, &once);
    ASSERT_TRUE(waitUntil([&] { return once.fired == 1; }));
    spin();
    EXPECT_EQ(once.fired, 1); // not periodic
    api->timeout_update(t, avahi_elapse_time(&tv, 0, 0));
    ASSERT_TRUE(waitUntil([&] { return once.fired == 2; }));
    api->timeout_update(t, avahi_elapse_time(&tv, 0, 0));
    api->timeout_update(t, nullptr); // disabled before it was due
    spin();
    EXPECT_EQ(once.fired, 2);
    api->timeout_free(t);

    TimeoutLog past{.api = api, .freeInside = true}; // a time already passed fires at once
    gettimeofday(&tv, nullptr);
    tv.tv_sec -= 10;
    api->timeout_new(api, &tv, timeoutCallback, &past);
    ASSERT_TRUE(waitUntil([&] { return past.fired == 1; }));

    TimeoutLog never{.api = api};
    AvahiTimeout *disabled = api->timeout_new(api, nullptr, timeoutCallback, &never);
    TimeoutLog rearming{.api = api, .rearm = true}; // re-arms itself from inside, 1 ms apart
    AvahiTimeout *r = api->timeout_new(api, avahi_elapse_time(&tv, 0, 0), timeoutCallback, &rearming);
    ASSERT_TRUE(waitUntil([&] { return rearming.fired == 3; }));
    EXPECT_EQ(never.fired, 0);
    EXPECT_EQ(adapter.timeoutCount(), 2u);
    api->timeout_free(disabled);
    api->timeout_free(r);
    EXPECT_EQ(adapter.timeoutCount(), 0u);
}

TEST(AvahiPollAdapter, WhatAvahiLeftBehindIsReleasedWithTheAdapter) {
    SocketPair pair;
    WatchLog log;
    TimeoutLog tlog;
    {
        AvahiPollAdapter adapter;
        const AvahiPoll *api = adapter.poll();
        log.api = api;
        tlog.api = api;
        struct timeval tv;
        api->watch_new(api, pair.fd[0], AVAHI_WATCH_IN, watchCallback, &log);
        api->timeout_new(api, avahi_elapse_time(&tv, 0, 0), timeoutCallback, &tlog);
    } // LeakSanitizer would report the watch and its notifiers otherwise
    ASSERT_EQ(::write(pair.fd[1], "x", 1), 1);
    spin();
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(tlog.fired, 0);
}
