#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include <QHostAddress>

#include "dnssd/DnsSdError.h"
#include "dnssd/DnsSdPublisher.h"
#include "dnssd/DnsSdService.h"

// An in-process stand-in for the local network and its DNS-SD daemon, for unit tests. Services
// published by fake publishers (or added by the test, as if by another machine) are seen by fake
// browsers and answered by fake resolvers of the same network. Safe on any thread; the fake objects
// deliver their events on their own threads' event loops (see FakeDnsSdProvider).
class FakeDnsSdNetwork {
public:
    struct Record {
        DnsSdService service;
        quint16 port = 0;
        QList<QByteArray> txtRecord;
        QString hostName;
        QList<QHostAddress> addresses;
        bool answersResolves = true;
        const void *owner = nullptr; // the publisher, or null for services the test added
    };

    // Told about changes, under the network's lock: implementations only queue work for later.
    class Watcher {
    public:
        virtual void serviceAdded(const DnsSdService &service) = 0;
        virtual void serviceRemoved(const DnsSdService &service) = 0;
        virtual void recordChanged(const DnsSdService &service) = 0;
        virtual void searchFailed(const QString &type, const DnsSdError &error) = 0;

    protected:
        ~Watcher() = default;
    };

    FakeDnsSdNetwork();

    // --- test controls ---------------------------------------------------------------------------
    // A service of another machine (host "fake-peer.local.", 192.0.2.10 unless set otherwise).
    void addService(const QString &name, const QString &type, quint16 port,
                    const QList<QByteArray> &txtRecord = {}, const QString &domain = QString());
    bool removeService(const QString &name, const QString &type, const QString &domain = QString());
    void setTxtRecord(const QString &name, const QString &type, const QList<QByteArray> &txtRecord);
    void setAddresses(const QString &name, const QString &type, const QString &hostName,
                      const QList<QHostAddress> &addresses);
    // false: resolves of this service never answer (they time out if given a limit).
    void setAnswersResolves(const QString &name, const QString &type, bool answers);
    // The next search for `type` fails at once with `error`.
    void failNextSearch(const QString &type, const DnsSdError &error);
    // Every running search for `type` fails now (its browsers report didNotSearch and stop).
    void failActiveSearches(const QString &type, const DnsSdError &error);
    // Where this machine's own publications resolve to (default "fake-host.local.", 127.0.0.1).
    void setLocalHost(const QString &hostName, const QList<QHostAddress> &addresses);
    QList<DnsSdService> services() const;
    std::optional<Record> record(const QString &name, const QString &type,
                                 const QString &domain = QString()) const;

    // --- used by the fake objects ------------------------------------------------------------------
    // Starts watching; answers the services already there, or the error of a failed search.
    std::vector<DnsSdService> watch(Watcher *watcher, const QString &type,
                                    std::optional<DnsSdError> *searchError);
    void unwatch(Watcher *watcher);
    std::optional<Record> lookup(const DnsSdService &service) const;
    // Publishes all or nothing: a name+type held by another owner is a collision.
    std::optional<DnsSdError> publish(const void *owner, const QString &name, const QString &domain,
                                      const QList<DnsSdServiceDescription> &services);
    void withdraw(const void *owner);

private:
    using Key = QString;
    static Key keyOf(const QString &name, const QString &type, const QString &domain);
    void addLocked(Record record);
    bool removeLocked(const Key &key);
    void notifyChangedLocked(const Record &record);

    mutable std::mutex mutex_;
    std::map<Key, Record> records_;
    std::map<Watcher *, QString> watchers_; // watcher -> type it browses ("" for resolvers: all)
    std::map<QString, DnsSdError> failNext_;
    QString localHostName_;
    QList<QHostAddress> localAddresses_;
};
