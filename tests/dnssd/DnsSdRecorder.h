#pragma once

#include <algorithm>
#include <functional>

#include <QList>
#include <QString>
#include <QThread>

#include "dnssd/DnsSdProvider.h"

// Records every event a browser, resolver or publisher delivers, with the thread it came on.
struct DnsSdRecorder : DnsSdBrowserDelegate, DnsSdResolverDelegate, DnsSdPublisherDelegate {
    struct Event {
        QString kind; // the delegate call without "did", as in "found" or "notResolved"
        DnsSdService service;
        bool moreComing = false;
        DnsSdResolution resolution;
        DnsSdError error;
        QString name;
    };

    QList<Event> events;
    QList<QThread *> threads;
    // Set by a test to act inside a callback (for example delete the object).
    std::function<void(const Event &)> onEvent;

    void record(Event event) {
        threads.append(QThread::currentThread());
        events.append(event);
        if (onEvent) onEvent(event);
    }
    void didFindService(DnsSdBrowser &, const DnsSdService &service, bool moreComing) override {
        record({"found", service, moreComing, {}, {}, {}});
    }
    void didRemoveService(DnsSdBrowser &, const DnsSdService &service, bool moreComing) override {
        record({"removed", service, moreComing, {}, {}, {}});
    }
    void didNotSearch(DnsSdBrowser &, const DnsSdError &error) override {
        record({"notSearched", {}, false, {}, error, {}});
    }
    void didResolveAddress(DnsSdResolver &, const DnsSdService &service,
                           const DnsSdResolution &resolution) override {
        record({"resolved", service, false, resolution, {}, {}});
    }
    void didNotResolve(DnsSdResolver &, const DnsSdService &service, const DnsSdError &error) override {
        record({"notResolved", service, false, {}, error, {}});
    }
    void didPublish(DnsSdPublisher &, const QString &name) override {
        record({"published", {}, false, {}, {}, name});
    }
    void didNotPublish(DnsSdPublisher &, const DnsSdError &error) override {
        record({"notPublished", {}, false, {}, error, {}});
    }

    qsizetype count(const QString &kind) const {
        return std::count_if(events.begin(), events.end(), [&](const Event &e) { return e.kind == kind; });
    }
    // Names of the services currently found and not removed, for `type` (all types when empty).
    QStringList present(const QString &type = QString()) const {
        QStringList names;
        for (const Event &e : events) {
            if (!type.isEmpty() && e.service.type != type) continue;
            const QString key = e.service.name + QLatin1Char('|') + e.service.type;
            if (e.kind == QLatin1String("found")) names.append(key);
            if (e.kind == QLatin1String("removed")) names.removeOne(key);
        }
        return names;
    }
    const Event *last(const QString &kind) const {
        for (qsizetype i = events.size(); i-- > 0;)
            if (events[i].kind == kind) return &events[i];
        return nullptr;
    }
};
