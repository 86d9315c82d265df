#pragma once

#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include <QObject>

#include "dnssd/AvahiConnection.h"
#include "dnssd/DnsSdBrowser.h"

struct AvahiServiceBrowser;

class AvahiDnsSdBrowser final : public DnsSdBrowser, private AvahiConnection::Listener {
public:
    AvahiDnsSdBrowser(std::shared_ptr<AvahiConnection> connection, DnsSdBrowserDelegate &delegate);
    ~AvahiDnsSdBrowser() override;

    void searchForServicesOfType(const QString &type, const QString &inDomain) override;
    void stop() override;

private:
    enum class EventKind { Found, Removed, NotSearched };
    struct Event {
        EventKind kind;
        DnsSdService service;
        DnsSdError error;
    };
    struct Entry {
        DnsSdService service;
        std::set<std::pair<int, int>> instances; // (interface, protocol)
    };

    static void browserCallback(AvahiServiceBrowser *browser, int interface, int protocol, int event,
                                const char *name, const char *type, const char *domain, void *userdata);
    void browserEvent(int interface, int protocol, int event, const char *name, const char *type,
                      const char *domain);
    void connectionStateChanged(AvahiConnection::State state) override;
    void startAvahiBrowser();
    void freeAvahiBrowser();
    void removeAll();
    void queue(Event event);
    void deliver();

    std::shared_ptr<AvahiConnection> connection_;
    DnsSdBrowserDelegate &delegate_;
    QString type_;
    QString domain_;
    bool searching_ = false;
    AvahiServiceBrowser *browser_ = nullptr;
    std::map<QByteArray, Entry> entries_;
    bool reportedTooMany_ = false;
    std::vector<Event> pending_;
    bool deliveryQueued_ = false;
    quint64 generation_ = 0;
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
    QObject context_;
};
