#include "AvahiDnsSdResolver.h"

#include <algorithm>
#include <vector>

#include <avahi-client/lookup.h>
#include <avahi-common/error.h>

#include "core/DCLog.h"
#include "dnssd/DnsSdLimits.h"

namespace {

// The strings in the order their publisher gave them. Avahi's lists run newest first (avahi-publish
// "a=1" "b=2" comes back as b=2, a=1), and serializing keeps that order, so turn it round.
QList<QByteArray> txtEntries(AvahiStringList *txt) {
    if (!txt) return {};
    const size_t size = avahi_string_list_serialize(txt, nullptr, 0);
    if (size == 0) return {};
    std::vector<char> data(size);
    const size_t written = avahi_string_list_serialize(txt, data.data(), data.size());
    QList<QByteArray> entries =
        DnsSdLimits::txtRecordEntries(QByteArray(data.data(), static_cast<qsizetype>(written)));
    std::reverse(entries.begin(), entries.end());
    return entries;
}

DnsSdAddress addressOf(const AvahiAddress *address, uint16_t port, int interface) {
    char text[AVAHI_ADDRESS_STR_MAX] = {};
    avahi_address_snprint(text, sizeof text, address);
    DnsSdAddress out{QHostAddress(QString::fromLatin1(text)), port};
    if (out.address.protocol() == QAbstractSocket::IPv6Protocol && out.address.isLinkLocal())
        out.address.setScopeId(QString::number(interface));
    return out;
}

} // namespace

AvahiDnsSdResolver::AvahiDnsSdResolver(std::shared_ptr<AvahiConnection> connection,
                                       DnsSdResolverDelegate &delegate)
    : connection_(std::move(connection)), delegate_(delegate) {
    timeout_.setSingleShot(true);
    QObject::connect(&timeout_, &QTimer::timeout, &context_, [this] {
        if (!resolving_) return;
        DCLog("DNS-SD: resolving \"%s\" timed out", qUtf8Printable(service_.name));
        answer(nullptr, {DnsSdErrorCode::Timeout, QStringLiteral("Timeout reached")});
    });
    connection_->addListener(this);
}

AvahiDnsSdResolver::~AvahiDnsSdResolver() {
    connection_->removeListener(this);
    freeAvahiResolver();
}

void AvahiDnsSdResolver::resolve(const DnsSdService &service, std::chrono::milliseconds timeout) {
    stop();
    service_ = service;
    resolving_ = true;
    if (timeout.count() > 0) timeout_.start(timeout);
    if (connection_->state() >= AvahiConnection::State::Connected) startAvahiResolver();
}

void AvahiDnsSdResolver::stop() {
    resolving_ = false;
    ++generation_;
    timeout_.stop();
    freeAvahiResolver();
}

void AvahiDnsSdResolver::startAvahiResolver() {
    if (resolver_) return;
    const QByteArray domain = DnsSdLimits::withTrailingDot(service_.domain).toUtf8();
    resolver_ = avahi_service_resolver_new(
        connection_->client(), AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, service_.wireName().constData(),
        DnsSdLimits::withoutTrailingDot(service_.type).toUtf8().constData(), domain.constData(),
        AVAHI_PROTO_UNSPEC, static_cast<AvahiLookupFlags>(0),
        [](AvahiServiceResolver *r, AvahiIfIndex i, AvahiProtocol, AvahiResolverEvent e, const char *,
           const char *, const char *, const char *h, const AvahiAddress *a, uint16_t p, AvahiStringList *t,
           AvahiLookupResultFlags, void *u) { resolverCallback(r, i, static_cast<int>(e), h, a, p, t, u); },
        this);
    if (resolver_) return;
    const QString why = QString::fromUtf8(avahi_strerror(avahi_client_errno(connection_->client())));
    DCLog("DNS-SD: cannot resolve \"%s\": %s", qUtf8Printable(service_.name), qUtf8Printable(why));
    answer(nullptr, {DnsSdErrorCode::BadArgument, why});
}

void AvahiDnsSdResolver::freeAvahiResolver() {
    if (!resolver_) return;
    avahi_service_resolver_free(resolver_);
    resolver_ = nullptr;
}

void AvahiDnsSdResolver::resolverCallback(AvahiServiceResolver *, int interface, int event,
                                          const char *hostName, const AvahiAddress *address, uint16_t port,
                                          AvahiStringList *txt, void *userdata) {
    static_cast<AvahiDnsSdResolver *>(userdata)->resolverEvent(interface, event, hostName, address, port,
                                                               txt);
}

void AvahiDnsSdResolver::resolverEvent(int interface, int event, const char *hostName,
                                       const AvahiAddress *address, uint16_t port, AvahiStringList *txt) {
    if (!resolving_) return;
    if (event == AVAHI_RESOLVER_FOUND) {
        DnsSdResolution resolution;
        resolution.hostName = QString::fromUtf8(hostName ? hostName : "");
        if (address) resolution.addresses.append(addressOf(address, port, interface));
        resolution.txtRecord =
            DnsSdLimits::boundedTxtRecord(txtEntries(txt), QStringLiteral("\"%1\"").arg(service_.name));
        answer(&resolution, {});
        return;
    }
    AvahiClient *client = connection_->client();
    const int error = client ? avahi_client_errno(client) : AVAHI_ERR_DISCONNECTED;
    if (error == AVAHI_ERR_DISCONNECTED || connection_->state() < AvahiConnection::State::Connected) return;
    if (error == AVAHI_ERR_TIMEOUT) {
        // The daemon gives up after a few seconds; our own limit (or none) is what counts, so ask again.
        freeAvahiResolver();
        QMetaObject::invokeMethod(
            &context_,
            [this, generation = generation_] {
                if (generation == generation_ && resolving_ &&
                    connection_->state() >= AvahiConnection::State::Connected)
                    startAvahiResolver();
            },
            Qt::QueuedConnection);
        return;
    }
    const QString why = QString::fromUtf8(avahi_strerror(error));
    DCLog("DNS-SD: resolving \"%s\" failed: %s", qUtf8Printable(service_.name), qUtf8Printable(why));
    answer(nullptr, {DnsSdErrorCode::Failure, why});
}

void AvahiDnsSdResolver::connectionStateChanged(AvahiConnection::State state) {
    if (state >= AvahiConnection::State::Connected) {
        if (resolving_) startAvahiResolver();
        return;
    }
    freeAvahiResolver(); // the resolve goes on once the daemon is back
}

void AvahiDnsSdResolver::answer(const DnsSdResolution *resolution, const DnsSdError &error) {
    const DnsSdService service = service_;
    const bool resolved = resolution != nullptr;
    const DnsSdResolution result = resolved ? *resolution : DnsSdResolution();
    stop(); // one answer per resolve; the delegate may start the next one
    QMetaObject::invokeMethod(
        &context_,
        [this, generation = generation_, service, resolved, result, error] {
            if (generation != generation_) return;
            if (resolved)
                delegate_.didResolveAddress(*this, service, result);
            else
                delegate_.didNotResolve(*this, service, error);
        },
        Qt::QueuedConnection);
}
