#pragma once

#include <chrono>
#include <vector>

#include <QObject>
#include <QTimer>

#include "dnssd/AvahiPollAdapter.h"

struct AvahiClient;

// One libavahi-client connection on the event loop of the thread that creates it. It never gives up:
// with no system bus it retries on a timer, with no daemon it waits for it (AVAHI_CLIENT_NO_FAIL), and
// when the daemon goes away it tells its listeners, who drop their Avahi objects and start again once
// the state is back. Thread-bound.
class AvahiConnection {
public:
    enum class State {
        Absent,     // no client at all (no system bus); retrying
        Connecting, // client made, daemon not there (yet)
        Connected,  // daemon there, still registering its host name: browsing and resolving work
        Running,    // daemon there and settled: publishing works too
    };

    class Listener {
    public:
        // Called after the state changed. Below Connected every Avahi object made on client() is to be
        // freed inside this call.
        virtual void connectionStateChanged(State state) = 0;

    protected:
        ~Listener() = default;
    };

    explicit AvahiConnection(std::chrono::milliseconds retryInterval);
    ~AvahiConnection();
    AvahiConnection(const AvahiConnection &) = delete;
    AvahiConnection &operator=(const AvahiConnection &) = delete;

    State state() const { return state_; }
    // Non-null from Connecting on; objects may only be made on it from Connected on.
    AvahiClient *client() const { return client_; }
    void addListener(Listener *listener);
    void removeListener(Listener *listener);

private:
    static void clientCallback(AvahiClient *client, int state, void *userdata);
    void connectClient();
    void clientStateChanged(AvahiClient *client, int state);
    void dropClient();
    void setState(State state);

    AvahiPollAdapter poll_;
    AvahiClient *client_ = nullptr;
    State state_ = State::Absent;
    std::vector<Listener *> listeners_;
    std::chrono::milliseconds retryInterval_;
    bool reportedAbsent_ = false;
    bool reportedNoDaemon_ = false;
    QObject context_;
    QTimer retryTimer_;
};
