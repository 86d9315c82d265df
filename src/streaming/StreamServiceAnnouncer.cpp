#include "StreamServiceAnnouncer.h"

#include <QSysInfo>

#include "core/DCLog.h"
#include "core/MainThread.h"
#include "core/UserDefaults.h"
#include "dnssd/DnsSdLimits.h"
#include "dnssd/DnsSdOwnNames.h"
#include "dnssd/DnsSdProvider.h"

const QString StreamServiceAnnouncer::kDeviceServiceType = QStringLiteral("_korDevPub._udp.");
const QString StreamServiceAnnouncer::kStreamServiceType = QStringLiteral("_mjpegStreamer._tcp.");
const QString StreamServiceAnnouncer::kServiceNameDefaultsKey = QStringLiteral("HTTPServerServiceName");

namespace {

const QString kProductName = QStringLiteral("Korva Lectern");

const char *codeName(DnsSdErrorCode code) {
    switch (code) {
    case DnsSdErrorCode::DaemonNotRunning:
        return "daemon not running";
    case DnsSdErrorCode::Collision:
        return "name collision";
    case DnsSdErrorCode::Timeout:
        return "timeout";
    case DnsSdErrorCode::BadArgument:
        return "bad argument";
    case DnsSdErrorCode::Failure:
        break;
    }
    return "failure";
}

} // namespace

QString StreamServiceAnnouncer::defaultServiceName() {
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (defaults.hasKey(kServiceNameDefaultsKey)) {
        const QVariant value = defaults.objectForKey(kServiceNameDefaultsKey);
        const QString name = value.typeId() == QMetaType::QString ? value.toString().trimmed() : QString();
        if (!name.isEmpty()) return name;
        DCLog("Ignoring the user default %s: not a service name", qUtf8Printable(kServiceNameDefaultsKey));
    }
    // Only the machine's own label: a domain would only lengthen what others show as the model.
    const QString host = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0).trimmed();
    return host.isEmpty() ? kProductName : QStringLiteral("%1 (%2)").arg(kProductName, host);
}

std::shared_ptr<StreamServiceAnnouncer>
StreamServiceAnnouncer::create(std::shared_ptr<DnsSdProvider> provider, QString serviceName,
                               std::shared_ptr<DnsSdOwnNames> ownNames) {
    if (!ownNames) ownNames = DnsSdOwnNames::shared();
    return std::shared_ptr<StreamServiceAnnouncer>(
        new StreamServiceAnnouncer(std::move(provider), std::move(serviceName), std::move(ownNames)));
}

StreamServiceAnnouncer::StreamServiceAnnouncer(std::shared_ptr<DnsSdProvider> provider, QString serviceName,
                                               std::shared_ptr<DnsSdOwnNames> ownNames)
    : provider_(std::move(provider)), serviceName_(std::move(serviceName)), ownNames_(std::move(ownNames)) {}

StreamServiceAnnouncer::~StreamServiceAnnouncer() {
    forgetOwnName();
}

void StreamServiceAnnouncer::install(HTTPServer::Hooks &hooks) {
    auto self = shared_from_this();
    hooks.announce = [self](std::uint16_t port) { self->announce(port); };
    hooks.withdraw = [self] { self->withdraw(); };
}

void StreamServiceAnnouncer::announce(std::uint16_t port) {
    MainThread::run([weak = weak_from_this(), port] {
        if (auto self = weak.lock()) self->publishNow(port);
    });
}

void StreamServiceAnnouncer::withdraw() {
    MainThread::run([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->withdrawNow();
    });
}

QString StreamServiceAnnouncer::announcedName() const {
    return publisher_ ? publisher_->name() : QString();
}

void StreamServiceAnnouncer::publishNow(std::uint16_t port) {
    if (!publisher_) publisher_ = provider_->createPublisher(*this);
    // Browsing instances resolve the stream service for its address and port; the device service only
    // needs to be present under the same name, on the same port for want of a better one.
    services_ = {{kDeviceServiceType, port, {}},
                 {kStreamServiceType, port, {QByteArrayLiteral("path=/stream")}}};
    renames_ = 0;
    publishAs(serviceName_);
}

void StreamServiceAnnouncer::publishAs(const QString &name) {
    forgetOwnName();
    publisher_->publish(name, services_);
    ownName_ = publisher_->name(); // as the publisher bounded it
    ownNames_->add(ownName_);
}

void StreamServiceAnnouncer::withdrawNow() {
    forgetOwnName();
    if (!publisher_) return;
    publisher_->stop();
    publisher_.reset();
    services_.clear();
}

void StreamServiceAnnouncer::forgetOwnName(bool givenUp) {
    if (ownName_.isEmpty()) return;
    ownNames_->remove(ownName_, givenUp ? DnsSdOwnNames::Change::GivenUp : DnsSdOwnNames::Change::Withdrawn);
    ownName_.clear();
}

void StreamServiceAnnouncer::didPublish(DnsSdPublisher &, const QString &name) {
    for (const DnsSdServiceDescription &service : services_)
        DCLog("%s:%d on %s did publish", qUtf8Printable(service.type), static_cast<int>(service.port),
              qUtf8Printable(name));
}

void StreamServiceAnnouncer::didNotPublish(DnsSdPublisher &, const DnsSdError &error) {
    // The server goes on serving unannounced: a browser that knows the address still reaches it.
    DCLog("Net Service did not publish...");
    DCLog("Got error %s", codeName(error.code));
    if (!error.message.isEmpty()) DCLog("Got error %s", qUtf8Printable(error.message));
    forgetOwnName(error.code == DnsSdErrorCode::Collision);
    if (error.code != DnsSdErrorCode::Collision || !publisher_ || services_.isEmpty()) return;
    if (renames_ >= kMaxRenames) {
        DCLog("No free service name after %d tries; the stream is not announced", renames_);
        return;
    }
    ++renames_;
    const QString next = DnsSdLimits::alternativeServiceName(publisher_->name());
    DCLog("The name \"%s\" is taken on the network; announcing as \"%s\"", qUtf8Printable(publisher_->name()),
          qUtf8Printable(next));
    publishAs(next);
}
