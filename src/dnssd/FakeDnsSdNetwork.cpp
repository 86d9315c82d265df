#include "FakeDnsSdNetwork.h"

#include "dnssd/DnsSdLimits.h"

FakeDnsSdNetwork::FakeDnsSdNetwork()
    : localHostName_(QStringLiteral("fake-host.local.")), localAddresses_{
                                                              QHostAddress(QHostAddress::LocalHost)} {}

FakeDnsSdNetwork::Key FakeDnsSdNetwork::keyOf(const QString &name, const QString &type,
                                              const QString &domain) {
    return name + QChar(0) + DnsSdLimits::withTrailingDot(type) + QChar(0) +
           DnsSdLimits::withTrailingDot(domain);
}

void FakeDnsSdNetwork::addService(const QString &name, const QString &type, quint16 port,
                                  const QList<QByteArray> &txtRecord, const QString &domain) {
    Record record;
    record.service.name = name;
    record.service.type = DnsSdLimits::withTrailingDot(type);
    record.service.domain = DnsSdLimits::withTrailingDot(domain);
    record.port = port;
    record.txtRecord = txtRecord;
    record.hostName = QStringLiteral("fake-peer.local.");
    record.addresses = {QHostAddress(QStringLiteral("192.0.2.10"))};
    std::lock_guard lock(mutex_);
    addLocked(std::move(record));
}

void FakeDnsSdNetwork::addLocked(Record record) {
    const Key key = keyOf(record.service.name, record.service.type, record.service.domain);
    const bool replaced = records_.count(key) != 0;
    if (replaced) removeLocked(key);
    record.service.interfaceIndex = 1;
    record.service.protocol = 0;
    const DnsSdService service = record.service;
    records_[key] = std::move(record);
    for (const auto &[watcher, type] : watchers_)
        if (type.isEmpty() || type == service.type) watcher->serviceAdded(service);
}

bool FakeDnsSdNetwork::removeLocked(const Key &key) {
    auto it = records_.find(key);
    if (it == records_.end()) return false;
    const DnsSdService service = it->second.service;
    records_.erase(it);
    for (const auto &[watcher, type] : watchers_)
        if (type.isEmpty() || type == service.type) watcher->serviceRemoved(service);
    return true;
}

void FakeDnsSdNetwork::notifyChangedLocked(const Record &record) {
    for (const auto &[watcher, type] : watchers_)
        if (type.isEmpty() || type == record.service.type) watcher->recordChanged(record.service);
}

bool FakeDnsSdNetwork::removeService(const QString &name, const QString &type, const QString &domain) {
    std::lock_guard lock(mutex_);
    return removeLocked(keyOf(name, type, domain));
}

void FakeDnsSdNetwork::setTxtRecord(const QString &name, const QString &type,
                                    const QList<QByteArray> &txtRecord) {
    std::lock_guard lock(mutex_);
    auto it = records_.find(keyOf(name, type, QString()));
    if (it == records_.end()) return;
    it->second.txtRecord = txtRecord;
    notifyChangedLocked(it->second);
}

void FakeDnsSdNetwork::setAddresses(const QString &name, const QString &type, const QString &hostName,
                                    const QList<QHostAddress> &addresses) {
    std::lock_guard lock(mutex_);
    auto it = records_.find(keyOf(name, type, QString()));
    if (it == records_.end()) return;
    it->second.hostName = hostName;
    it->second.addresses = addresses;
    notifyChangedLocked(it->second);
}

void FakeDnsSdNetwork::setAnswersResolves(const QString &name, const QString &type, bool answers) {
    std::lock_guard lock(mutex_);
    auto it = records_.find(keyOf(name, type, QString()));
    if (it == records_.end()) return;
    it->second.answersResolves = answers;
    notifyChangedLocked(it->second);
}

void FakeDnsSdNetwork::failNextSearch(const QString &type, const DnsSdError &error) {
    std::lock_guard lock(mutex_);
    failNext_[DnsSdLimits::withTrailingDot(type)] = error;
}

void FakeDnsSdNetwork::failActiveSearches(const QString &type, const DnsSdError &error) {
    std::lock_guard lock(mutex_);
    const QString wanted = DnsSdLimits::withTrailingDot(type);
    for (const auto &[watcher, watchedType] : watchers_)
        if (watchedType == wanted) watcher->searchFailed(wanted, error);
}

void FakeDnsSdNetwork::setLocalHost(const QString &hostName, const QList<QHostAddress> &addresses) {
    std::lock_guard lock(mutex_);
    localHostName_ = hostName;
    localAddresses_ = addresses;
}

QList<DnsSdService> FakeDnsSdNetwork::services() const {
    std::lock_guard lock(mutex_);
    QList<DnsSdService> out;
    for (const auto &[key, record] : records_)
        out.append(record.service);
    return out;
}

std::optional<FakeDnsSdNetwork::Record> FakeDnsSdNetwork::record(const QString &name, const QString &type,
                                                                 const QString &domain) const {
    DnsSdService service;
    service.name = name;
    service.type = type;
    service.domain = domain;
    return lookup(service);
}

std::vector<DnsSdService> FakeDnsSdNetwork::watch(Watcher *watcher, const QString &type,
                                                  std::optional<DnsSdError> *searchError) {
    std::lock_guard lock(mutex_);
    if (searchError) {
        auto failure = failNext_.find(type);
        if (failure != failNext_.end()) {
            *searchError = failure->second;
            failNext_.erase(failure);
            return {};
        }
    }
    watchers_[watcher] = type;
    std::vector<DnsSdService> found;
    for (const auto &[key, record] : records_)
        if (type.isEmpty() || record.service.type == type) found.push_back(record.service);
    return found;
}

void FakeDnsSdNetwork::unwatch(Watcher *watcher) {
    std::lock_guard lock(mutex_);
    watchers_.erase(watcher);
}

std::optional<FakeDnsSdNetwork::Record> FakeDnsSdNetwork::lookup(const DnsSdService &service) const {
    std::lock_guard lock(mutex_);
    auto it = records_.find(keyOf(service.name, service.type, service.domain));
    if (it == records_.end()) return std::nullopt;
    return it->second;
}

std::optional<DnsSdError> FakeDnsSdNetwork::publish(const void *owner, const QString &name,
                                                    const QString &domain,
                                                    const QList<DnsSdServiceDescription> &services) {
    std::lock_guard lock(mutex_);
    for (const DnsSdServiceDescription &description : services) {
        auto it = records_.find(keyOf(name, description.type, domain));
        if (it != records_.end() && it->second.owner != owner)
            return DnsSdError{DnsSdErrorCode::Collision, QStringLiteral("Local name collision")};
    }
    for (const DnsSdServiceDescription &description : services) {
        Record record;
        record.service.name = name;
        record.service.type = DnsSdLimits::withTrailingDot(description.type);
        record.service.domain = DnsSdLimits::withTrailingDot(domain);
        record.port = description.port;
        record.txtRecord = description.txtRecord;
        record.hostName = localHostName_;
        record.addresses = localAddresses_;
        record.owner = owner;
        addLocked(std::move(record));
    }
    return std::nullopt;
}

void FakeDnsSdNetwork::withdraw(const void *owner) {
    std::lock_guard lock(mutex_);
    std::vector<Key> keys;
    for (const auto &[key, record] : records_)
        if (record.owner == owner) keys.push_back(key);
    for (const Key &key : keys)
        removeLocked(key);
}
