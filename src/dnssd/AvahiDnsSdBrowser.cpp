#include "AvahiDnsSdBrowser.h"

#include <avahi-client/lookup.h>
#include <avahi-common/error.h>

#include "core/DCLog.h"
#include "dnssd/DnsSdLimits.h"

namespace {

QByteArray keyOf(const QByteArray &rawName, const QString &type, const QString &domain) {
    return rawName + '\0' + type.toUtf8() + '\0' + domain.toUtf8();
}

} // namespace

AvahiDnsSdBrowser::AvahiDnsSdBrowser(std::shared_ptr<AvahiConnection> connection,
                                     DnsSdBrowserDelegate &delegate)
    : connection_(std::move(connection)), delegate_(delegate) {
    connection_->addListener(this);
}

AvahiDnsSdBrowser::~AvahiDnsSdBrowser() {
    connection_->removeListener(this);
    freeAvahiBrowser();
}

void AvahiDnsSdBrowser::searchForServicesOfType(const QString &type, const QString &inDomain) {
    stop();
    type_ = DnsSdLimits::withTrailingDot(type);
    domain_ = DnsSdLimits::withTrailingDot(inDomain);
    searching_ = true;
    if (connection_->state() >= AvahiConnection::State::Connected) startAvahiBrowser();
}

void AvahiDnsSdBrowser::stop() {
    searching_ = false;
    ++generation_;
    pending_.clear();
    freeAvahiBrowser();
    entries_.clear();
}

void AvahiDnsSdBrowser::startAvahiBrowser() {
    if (browser_) return;
    browser_ = avahi_service_browser_new(
        connection_->client(), AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
        DnsSdLimits::withoutTrailingDot(type_).toUtf8().constData(), domain_.toUtf8().constData(),
        static_cast<AvahiLookupFlags>(0),
        [](AvahiServiceBrowser *b, AvahiIfIndex i, AvahiProtocol p, AvahiBrowserEvent e, const char *n,
           const char *t, const char *d, AvahiLookupResultFlags,
           void *u) { browserCallback(b, i, p, static_cast<int>(e), n, t, d, u); },
        this);
    if (browser_) return;
    const QString why = QString::fromUtf8(avahi_strerror(avahi_client_errno(connection_->client())));
    DCLog("DNS-SD: cannot browse for %s in %s: %s", qUtf8Printable(type_), qUtf8Printable(domain_),
          qUtf8Printable(why));
    searching_ = false;
    queue({EventKind::NotSearched, {}, {DnsSdErrorCode::BadArgument, why}});
}

void AvahiDnsSdBrowser::freeAvahiBrowser() {
    if (!browser_) return;
    avahi_service_browser_free(browser_);
    browser_ = nullptr;
}

void AvahiDnsSdBrowser::browserCallback(AvahiServiceBrowser *, int interface, int protocol, int event,
                                        const char *name, const char *type, const char *domain,
                                        void *userdata) {
    static_cast<AvahiDnsSdBrowser *>(userdata)->browserEvent(interface, protocol, event, name, type, domain);
}

void AvahiDnsSdBrowser::browserEvent(int interface, int protocol, int event, const char *name,
                                     const char *type, const char *domain) {
    switch (static_cast<AvahiBrowserEvent>(event)) {
    case AVAHI_BROWSER_NEW:
    case AVAHI_BROWSER_REMOVE: {
        if (!name || !type || !domain) return;
        const QByteArray rawName(name);
        const QString serviceType = DnsSdLimits::withTrailingDot(QString::fromUtf8(type));
        const QString serviceDomain = DnsSdLimits::withTrailingDot(QString::fromUtf8(domain));
        const QByteArray key = keyOf(rawName, serviceType, serviceDomain);
        const std::pair<int, int> instance(interface, protocol);
        if (event == AVAHI_BROWSER_NEW) {
            auto it = entries_.find(key);
            if (it == entries_.end()) {
                if (entries_.size() >= static_cast<size_t>(DnsSdLimits::kMaxServicesPerBrowser)) {
                    if (!reportedTooMany_)
                        DCLog("DNS-SD: more than %d services of type %s; ignoring further ones",
                              DnsSdLimits::kMaxServicesPerBrowser, qUtf8Printable(type_));
                    reportedTooMany_ = true;
                    return;
                }
                DnsSdService service;
                service.name = DnsSdLimits::serviceNameFromWire(rawName);
                service.rawName = rawName;
                service.type = serviceType;
                service.domain = serviceDomain;
                service.interfaceIndex = interface;
                service.protocol = protocol;
                it = entries_.emplace(key, Entry{service, {}}).first;
                queue({EventKind::Found, service, {}});
            }
            it->second.instances.insert(instance);
        } else {
            auto it = entries_.find(key);
            if (it == entries_.end()) return;
            it->second.instances.erase(instance);
            if (!it->second.instances.empty()) return;
            queue({EventKind::Removed, it->second.service, {}});
            entries_.erase(it);
        }
        return;
    }
    case AVAHI_BROWSER_FAILURE: {
        AvahiClient *client = connection_->client();
        const int error = client ? avahi_client_errno(client) : AVAHI_ERR_DISCONNECTED;
        // A daemon that went away is the connection's business: the browser starts again with it.
        if (error == AVAHI_ERR_DISCONNECTED || connection_->state() < AvahiConnection::State::Connected)
            return;
        const QString why = QString::fromUtf8(avahi_strerror(error));
        DCLog("DNS-SD: browsing for %s failed: %s", qUtf8Printable(type_), qUtf8Printable(why));
        freeAvahiBrowser();
        removeAll();
        searching_ = false;
        queue({EventKind::NotSearched, {}, {DnsSdErrorCode::Failure, why}});
        return;
    }
    case AVAHI_BROWSER_ALL_FOR_NOW:
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
        return;
    }
}

void AvahiDnsSdBrowser::connectionStateChanged(AvahiConnection::State state) {
    if (state >= AvahiConnection::State::Connected) {
        if (searching_) startAvahiBrowser();
        return;
    }
    freeAvahiBrowser();
    removeAll();
}

void AvahiDnsSdBrowser::removeAll() {
    for (const auto &[key, entry] : entries_)
        queue({EventKind::Removed, entry.service, {}});
    entries_.clear();
}

void AvahiDnsSdBrowser::queue(Event event) {
    pending_.push_back(std::move(event));
    if (deliveryQueued_) return;
    deliveryQueued_ = true;
    QMetaObject::invokeMethod(
        &context_, [this] { deliver(); }, Qt::QueuedConnection);
}

void AvahiDnsSdBrowser::deliver() {
    deliveryQueued_ = false;
    std::vector<Event> batch;
    batch.swap(pending_);
    const std::weak_ptr<int> alive = lifetime_;
    const quint64 generation = generation_;
    for (size_t i = 0; i < batch.size(); ++i) {
        // Stopped, restarted or deleted by the delegate: the rest of this batch is stale.
        if (alive.expired() || generation != generation_) return;
        const bool moreComing = i + 1 < batch.size();
        const Event &event = batch[i];
        switch (event.kind) {
        case EventKind::Found:
            delegate_.didFindService(*this, event.service, moreComing);
            break;
        case EventKind::Removed:
            delegate_.didRemoveService(*this, event.service, moreComing);
            break;
        case EventKind::NotSearched:
            delegate_.didNotSearch(*this, event.error);
            break;
        }
    }
}
