#pragma once

#include <functional>
#include <memory>

#include <QObject>

#include "dnssd/AvahiConnection.h"
#include "dnssd/DnsSdPublisher.h"

struct AvahiEntryGroup;

class AvahiDnsSdPublisher final : public DnsSdPublisher, private AvahiConnection::Listener {
public:
    AvahiDnsSdPublisher(std::shared_ptr<AvahiConnection> connection, DnsSdPublisherDelegate &delegate);
    ~AvahiDnsSdPublisher() override;

    void publish(const QString &name, const QList<DnsSdServiceDescription> &services,
                 const QString &domain) override;
    void stop() override;
    QString name() const override { return name_; }

private:
    static void groupCallback(AvahiEntryGroup *group, int state, void *userdata);
    void groupStateChanged(AvahiEntryGroup *group, int state);
    void connectionStateChanged(AvahiConnection::State state) override;
    void commit();
    void freeGroup();
    void fail(DnsSdErrorCode code, const QString &why);
    void post(std::function<void()> call);

    std::shared_ptr<AvahiConnection> connection_;
    DnsSdPublisherDelegate &delegate_;
    QString name_;
    QString domain_;
    QList<DnsSdServiceDescription> services_;
    bool wanted_ = false;
    AvahiEntryGroup *group_ = nullptr;
    quint64 generation_ = 0;
    QObject context_;
};
