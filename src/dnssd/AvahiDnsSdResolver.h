#pragma once

#include <memory>

#include <QObject>
#include <QTimer>

#include "dnssd/AvahiConnection.h"
#include "dnssd/DnsSdResolver.h"

struct AvahiServiceResolver;
struct AvahiAddress;
struct AvahiStringList;

class AvahiDnsSdResolver final : public DnsSdResolver, private AvahiConnection::Listener {
public:
    AvahiDnsSdResolver(std::shared_ptr<AvahiConnection> connection, DnsSdResolverDelegate &delegate);
    ~AvahiDnsSdResolver() override;

    void resolve(const DnsSdService &service, std::chrono::milliseconds timeout) override;
    void stop() override;

private:
    static void resolverCallback(AvahiServiceResolver *resolver, int interface, int event,
                                 const char *hostName, const AvahiAddress *address, uint16_t port,
                                 AvahiStringList *txt, void *userdata);
    void resolverEvent(int interface, int event, const char *hostName, const AvahiAddress *address,
                       uint16_t port, AvahiStringList *txt);
    void connectionStateChanged(AvahiConnection::State state) override;
    void startAvahiResolver();
    void freeAvahiResolver();
    void answer(const DnsSdResolution *resolution, const DnsSdError &error);

    std::shared_ptr<AvahiConnection> connection_;
    DnsSdResolverDelegate &delegate_;
    DnsSdService service_;
    bool resolving_ = false;
    AvahiServiceResolver *resolver_ = nullptr;
    quint64 generation_ = 0;
    QObject context_;
    QTimer timeout_;
};
