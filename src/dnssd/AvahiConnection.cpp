#include "AvahiConnection.h"

#include <algorithm>

#include <avahi-client/client.h>
#include <avahi-common/error.h>

#include "core/DCLog.h"

AvahiConnection::AvahiConnection(std::chrono::milliseconds retryInterval) : retryInterval_(retryInterval) {
    retryTimer_.setSingleShot(true);
    QObject::connect(&retryTimer_, &QTimer::timeout, &context_, [this] { connectClient(); });
    connectClient();
}

AvahiConnection::~AvahiConnection() {
    listeners_.clear();
    if (client_) avahi_client_free(client_);
}

void AvahiConnection::addListener(Listener *listener) {
    listeners_.push_back(listener);
}

void AvahiConnection::removeListener(Listener *listener) {
    std::erase(listeners_, listener);
}

void AvahiConnection::clientCallback(AvahiClient *client, int state, void *userdata) {
    static_cast<AvahiConnection *>(userdata)->clientStateChanged(client, state);
}

void AvahiConnection::connectClient() {
    retryTimer_.stop();
    if (client_) return;
    int error = 0;
    AvahiClient *client = avahi_client_new(
        poll_.poll(), AVAHI_CLIENT_NO_FAIL,
        [](AvahiClient *c, AvahiClientState s, void *u) { clientCallback(c, static_cast<int>(s), u); }, this,
        &error);
    if (!client) {
        // NO_FAIL covers a missing daemon, not a missing system bus: then there is no client at all.
        client_ = nullptr;
        if (!reportedAbsent_)
            DCLog("DNS-SD: cannot reach avahi-daemon (%s); network cameras and announcements wait for it, "
                  "retrying every %.1f s",
                  avahi_strerror(error), static_cast<double>(retryInterval_.count()) / 1000.0);
        reportedAbsent_ = true;
        reportedNoDaemon_ = false; // a later "no daemon" is news again
        setState(State::Absent);
        retryTimer_.start(retryInterval_);
        return;
    }
    client_ = client;
    if (reportedAbsent_) DCLog("DNS-SD: the system bus is back");
    reportedAbsent_ = false;
}

void AvahiConnection::clientStateChanged(AvahiClient *client, int state) {
    client_ = client; // also during avahi_client_new, before it has returned
    switch (static_cast<AvahiClientState>(state)) {
    case AVAHI_CLIENT_S_RUNNING:
        if (state_ != State::Running) DCLog("DNS-SD: avahi-daemon is running");
        reportedNoDaemon_ = false;
        setState(State::Running);
        break;
    case AVAHI_CLIENT_S_REGISTERING:
    case AVAHI_CLIENT_S_COLLISION:
        reportedNoDaemon_ = false;
        setState(State::Connected);
        break;
    case AVAHI_CLIENT_CONNECTING:
        if (!reportedNoDaemon_)
            DCLog(state_ >= State::Connected ? "DNS-SD: avahi-daemon went away; waiting for it to come back"
                                             : "DNS-SD: avahi-daemon is not running; waiting for it");
        reportedNoDaemon_ = true;
        setState(State::Connecting);
        break;
    case AVAHI_CLIENT_FAILURE:
        DCLog("DNS-SD: connection to avahi-daemon failed: %s; connecting again",
              avahi_strerror(avahi_client_errno(client)));
        setState(State::Absent);
        // Not from inside the client's own callback: free it and start over from the event loop.
        QTimer::singleShot(0, &context_, [this, client] {
            if (client_ != client) return; // avahi_client_new failed and freed it itself
            dropClient();
            connectClient();
        });
        break;
    }
}

void AvahiConnection::dropClient() {
    if (!client_) return;
    avahi_client_free(client_);
    client_ = nullptr;
}

void AvahiConnection::setState(State state) {
    if (state == state_) return;
    state_ = state;
    const std::vector<Listener *> listeners = listeners_;
    for (Listener *listener : listeners)
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
            listener->connectionStateChanged(state);
}
