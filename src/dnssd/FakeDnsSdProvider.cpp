#include "FakeDnsSdProvider.h"

#include <atomic>

#include <QObject>
#include <QTimer>

#include "dnssd/DnsSdLimits.h"

namespace {

// Queues a call on the thread that owns `context`; dropped when the context is gone first.
template <typename F> void post(QObject &context, F &&call) {
    QMetaObject::invokeMethod(&context, std::forward<F>(call), Qt::QueuedConnection);
}

class FakeBrowser final : public DnsSdBrowser, private FakeDnsSdNetwork::Watcher {
public:
    FakeBrowser(std::shared_ptr<FakeDnsSdNetwork> network, DnsSdBrowserDelegate &delegate)
        : network_(std::move(network)), delegate_(delegate) {}
    ~FakeBrowser() override { network_->unwatch(this); }

    void searchForServicesOfType(const QString &type, const QString &inDomain) override {
        stop();
        domain_ = DnsSdLimits::withTrailingDot(inDomain);
        std::optional<DnsSdError> error;
        const std::vector<DnsSdService> found =
            network_->watch(this, DnsSdLimits::withTrailingDot(type), &error);
        if (error) {
            post(context_, [this, generation = generation_.load(), e = *error] {
                if (generation == generation_) delegate_.didNotSearch(*this, e);
            });
            return;
        }
        std::vector<DnsSdService> inDomainFound;
        for (const DnsSdService &service : found)
            if (service.domain == domain_) inDomainFound.push_back(service);
        for (size_t i = 0; i < inDomainFound.size(); ++i)
            postEvent(true, inDomainFound[i], i + 1 < inDomainFound.size());
    }

    void stop() override {
        network_->unwatch(this);
        ++generation_;
    }

private:
    void postEvent(bool found, const DnsSdService &service, bool moreComing) {
        post(context_, [this, generation = generation_.load(), found, service, moreComing] {
            if (generation != generation_) return;
            if (found)
                delegate_.didFindService(*this, service, moreComing);
            else
                delegate_.didRemoveService(*this, service, moreComing);
        });
    }
    // Called under the network's lock, from any thread: generation_ is read there, so it is atomic.
    void serviceAdded(const DnsSdService &service) override {
        if (service.domain == domain_) postEvent(true, service, false);
    }
    void serviceRemoved(const DnsSdService &service) override {
        if (service.domain == domain_) postEvent(false, service, false);
    }
    void recordChanged(const DnsSdService &) override {}
    void searchFailed(const QString &, const DnsSdError &error) override {
        post(context_, [this, generation = generation_.load(), error] {
            if (generation != generation_) return;
            stop();
            delegate_.didNotSearch(*this, error);
        });
    }

    std::shared_ptr<FakeDnsSdNetwork> network_;
    DnsSdBrowserDelegate &delegate_;
    QString domain_; // written only while not watching
    std::atomic<quint64> generation_ = 0;
    QObject context_;
};

class FakeResolver final : public DnsSdResolver, private FakeDnsSdNetwork::Watcher {
public:
    FakeResolver(std::shared_ptr<FakeDnsSdNetwork> network, DnsSdResolverDelegate &delegate)
        : network_(std::move(network)), delegate_(delegate) {
        timeout_.setSingleShot(true);
        QObject::connect(&timeout_, &QTimer::timeout, &context_, [this] {
            if (!resolving_) return;
            const DnsSdService service = service_;
            stop();
            delegate_.didNotResolve(*this, service,
                                    {DnsSdErrorCode::Timeout, QStringLiteral("Timeout reached")});
        });
    }
    ~FakeResolver() override { network_->unwatch(this); }

    void resolve(const DnsSdService &service, std::chrono::milliseconds timeout) override {
        stop();
        service_ = service;
        resolving_ = true;
        if (timeout.count() > 0) timeout_.start(timeout);
        network_->watch(this, QString(), nullptr);
        post(context_, [this, generation = generation_.load()] { tryAnswer(generation); });
    }

    void stop() override {
        network_->unwatch(this);
        resolving_ = false;
        ++generation_;
        timeout_.stop();
    }

private:
    void tryAnswer(quint64 generation) {
        if (generation != generation_ || !resolving_) return;
        const std::optional<FakeDnsSdNetwork::Record> record = network_->lookup(service_);
        if (!record || !record->answersResolves) return; // waits, as a real one does
        DnsSdResolution resolution;
        resolution.hostName = record->hostName;
        for (const QHostAddress &address : record->addresses)
            resolution.addresses.append({address, record->port});
        resolution.txtRecord =
            DnsSdLimits::boundedTxtRecord(record->txtRecord, QStringLiteral("\"%1\"").arg(service_.name));
        const DnsSdService service = service_;
        stop();
        delegate_.didResolveAddress(*this, service, resolution);
    }
    void recheck() {
        post(context_, [this, generation = generation_.load()] { tryAnswer(generation); });
    }
    void serviceAdded(const DnsSdService &) override { recheck(); }
    void serviceRemoved(const DnsSdService &) override {}
    void recordChanged(const DnsSdService &) override { recheck(); }
    void searchFailed(const QString &, const DnsSdError &) override {}

    std::shared_ptr<FakeDnsSdNetwork> network_;
    DnsSdResolverDelegate &delegate_;
    DnsSdService service_;
    bool resolving_ = false;
    std::atomic<quint64> generation_ = 0;
    QObject context_;
    QTimer timeout_;
};

class FakePublisher final : public DnsSdPublisher {
public:
    FakePublisher(std::shared_ptr<FakeDnsSdNetwork> network, DnsSdPublisherDelegate &delegate)
        : network_(std::move(network)), delegate_(delegate) {}
    ~FakePublisher() override { network_->withdraw(this); }

    void publish(const QString &name, const QList<DnsSdServiceDescription> &services,
                 const QString &domain) override {
        stop();
        name_ = DnsSdLimits::boundedServiceName(name);
        QList<DnsSdServiceDescription> bounded = services;
        for (DnsSdServiceDescription &service : bounded)
            service.txtRecord = DnsSdLimits::boundedTxtRecord(service.txtRecord, name_);
        const std::optional<DnsSdError> error = network_->publish(this, name_, domain, bounded);
        post(context_, [this, generation = generation_, error, name = name_] {
            if (generation != generation_) return;
            if (error)
                delegate_.didNotPublish(*this, *error);
            else
                delegate_.didPublish(*this, name);
        });
    }

    void stop() override {
        network_->withdraw(this);
        ++generation_;
    }

    QString name() const override { return name_; }

private:
    std::shared_ptr<FakeDnsSdNetwork> network_;
    DnsSdPublisherDelegate &delegate_;
    QString name_;
    quint64 generation_ = 0;
    QObject context_;
};

} // namespace

FakeDnsSdProvider::FakeDnsSdProvider(std::shared_ptr<FakeDnsSdNetwork> network)
    : network_(std::move(network)) {}

std::unique_ptr<DnsSdBrowser> FakeDnsSdProvider::createBrowser(DnsSdBrowserDelegate &delegate) {
    return std::make_unique<FakeBrowser>(network_, delegate);
}

std::unique_ptr<DnsSdResolver> FakeDnsSdProvider::createResolver(DnsSdResolverDelegate &delegate) {
    return std::make_unique<FakeResolver>(network_, delegate);
}

std::unique_ptr<DnsSdPublisher> FakeDnsSdProvider::createPublisher(DnsSdPublisherDelegate &delegate) {
    return std::make_unique<FakePublisher>(network_, delegate);
}
