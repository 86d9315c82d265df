#include "AvahiDnsSdPublisher.h"

#include <avahi-client/publish.h>
#include <avahi-common/error.h>

#include "core/DCLog.h"
#include "dnssd/DnsSdLimits.h"

namespace {

DnsSdErrorCode codeOf(int error) {
    switch (error) {
    case AVAHI_ERR_COLLISION:
        return DnsSdErrorCode::Collision;
    case AVAHI_ERR_INVALID_SERVICE_NAME:
    case AVAHI_ERR_INVALID_SERVICE_TYPE:
    case AVAHI_ERR_INVALID_DOMAIN_NAME:
    case AVAHI_ERR_INVALID_RECORD:
    case AVAHI_ERR_INVALID_PORT:
        return DnsSdErrorCode::BadArgument;
    case AVAHI_ERR_DISCONNECTED:
    case AVAHI_ERR_NO_DAEMON:
        return DnsSdErrorCode::DaemonNotRunning;
    default:
        return DnsSdErrorCode::Failure;
    }
}

// Avahi keeps string lists newest first and reverses them when it writes the record: adding in order
// gives the record in order.
AvahiStringList *stringList(const QList<QByteArray> &entries) {
    AvahiStringList *list = nullptr;
    for (const QByteArray &entry : entries)
        list = avahi_string_list_add_arbitrary(list, reinterpret_cast<const uint8_t *>(entry.constData()),
                                               static_cast<size_t>(entry.size()));
    return list;
}

} // namespace

AvahiDnsSdPublisher::AvahiDnsSdPublisher(std::shared_ptr<AvahiConnection> connection,
                                         DnsSdPublisherDelegate &delegate)
    : connection_(std::move(connection)), delegate_(delegate) {
    connection_->addListener(this);
}

AvahiDnsSdPublisher::~AvahiDnsSdPublisher() {
    connection_->removeListener(this);
    freeGroup();
}

void AvahiDnsSdPublisher::publish(const QString &name, const QList<DnsSdServiceDescription> &services,
                                  const QString &domain) {
    stop();
    name_ = DnsSdLimits::boundedServiceName(name);
    domain_ = DnsSdLimits::withTrailingDot(domain);
    services_ = services;
    for (DnsSdServiceDescription &service : services_)
        service.txtRecord = DnsSdLimits::boundedTxtRecord(
            service.txtRecord, QStringLiteral("\"%1\" %2").arg(name_, service.type));
    wanted_ = true;
    if (connection_->state() == AvahiConnection::State::Running)
        commit();
    else
        DCLog("DNS-SD: \"%s\" will be announced once avahi-daemon is running", qUtf8Printable(name_));
}

void AvahiDnsSdPublisher::stop() {
    wanted_ = false;
    ++generation_;
    freeGroup();
}

void AvahiDnsSdPublisher::commit() {
    if (group_) return;
    AvahiClient *client = connection_->client();
    group_ = avahi_entry_group_new(
        client,
        [](AvahiEntryGroup *g, AvahiEntryGroupState s, void *u) { groupCallback(g, static_cast<int>(s), u); },
        this);
    if (!group_) {
        const int error = avahi_client_errno(client);
        fail(codeOf(error), QString::fromUtf8(avahi_strerror(error)));
        return;
    }
    const QByteArray name = name_.toUtf8();
    const QByteArray domain = domain_.toUtf8();
    for (const DnsSdServiceDescription &service : std::as_const(services_)) {
        AvahiStringList *txt = stringList(service.txtRecord);
        const int error = avahi_entry_group_add_service_strlst(
            group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0), name.constData(),
            DnsSdLimits::withoutTrailingDot(service.type).toUtf8().constData(), domain.constData(), nullptr,
            service.port, txt);
        avahi_string_list_free(txt);
        if (error < 0) {
            fail(codeOf(error),
                 QStringLiteral("%1 (%2)").arg(QString::fromUtf8(avahi_strerror(error)), service.type));
            return;
        }
    }
    const int error = avahi_entry_group_commit(group_);
    if (error < 0) fail(codeOf(error), QString::fromUtf8(avahi_strerror(error)));
}

void AvahiDnsSdPublisher::freeGroup() {
    if (!group_) return;
    avahi_entry_group_free(group_);
    group_ = nullptr;
}

void AvahiDnsSdPublisher::groupCallback(AvahiEntryGroup *group, int state, void *userdata) {
    static_cast<AvahiDnsSdPublisher *>(userdata)->groupStateChanged(group, state);
}

void AvahiDnsSdPublisher::groupStateChanged(AvahiEntryGroup *group, int state) {
    if (group_ && group != group_) return;
    switch (static_cast<AvahiEntryGroupState>(state)) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        DCLog("DNS-SD: announced \"%s\"", qUtf8Printable(name_));
        post([this, name = name_] { delegate_.didPublish(*this, name); });
        return;
    case AVAHI_ENTRY_GROUP_COLLISION:
        // Not freed from inside its own callback: withdrawn from the event loop instead.
        fail(DnsSdErrorCode::Collision, QStringLiteral("Local name collision"));
        return;
    case AVAHI_ENTRY_GROUP_FAILURE: {
        const int error = avahi_client_errno(avahi_entry_group_get_client(group));
        if (error == AVAHI_ERR_DISCONNECTED) return; // the connection re-announces when the daemon is back
        fail(codeOf(error), QString::fromUtf8(avahi_strerror(error)));
        return;
    }
    case AVAHI_ENTRY_GROUP_UNCOMMITED:
    case AVAHI_ENTRY_GROUP_REGISTERING:
        return;
    }
}

void AvahiDnsSdPublisher::connectionStateChanged(AvahiConnection::State state) {
    if (state == AvahiConnection::State::Running) {
        // After a host-name change the daemon empties our group: announce everything again.
        if (group_ && avahi_entry_group_is_empty(group_)) freeGroup();
        if (wanted_) commit();
        return;
    }
    if (state < AvahiConnection::State::Connected) freeGroup();
}

void AvahiDnsSdPublisher::fail(DnsSdErrorCode code, const QString &why) {
    DCLog("DNS-SD: cannot announce \"%s\": %s", qUtf8Printable(name_), qUtf8Printable(why));
    wanted_ = false;
    const quint64 generation = ++generation_;
    QMetaObject::invokeMethod(
        &context_,
        [this, generation] {
            if (generation == generation_) freeGroup();
        },
        Qt::QueuedConnection);
    post([this, error = DnsSdError{code, why}] { delegate_.didNotPublish(*this, error); });
}

void AvahiDnsSdPublisher::post(std::function<void()> call) {
    QMetaObject::invokeMethod(
        &context_,
        [this, generation = generation_, call = std::move(call)] {
            if (generation == generation_) call();
        },
        Qt::QueuedConnection);
}
