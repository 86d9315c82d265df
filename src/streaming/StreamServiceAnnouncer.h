#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "dnssd/DnsSdPublisher.h"
#include "streaming/HTTPServer.h"

class DnsSdProvider;

// Announces a running HTTPServer on the local network: the device service "_korDevPub._udp." and the
// stream service "_mjpegStreamer._tcp.", both under one name and on the server's port, so that other
// instances pair them into one network camera.
//
// The server calls in on its own thread, which runs no Qt event loop; DNS-SD objects need one, so the
// publisher is made, driven and dropped on the main thread. Calls are queued there in order, and never
// wait: an absent daemon or a taken name only costs a log line, the server keeps serving.
class StreamServiceAnnouncer final : public std::enable_shared_from_this<StreamServiceAnnouncer>,
                                     private DnsSdPublisherDelegate {
public:
    static const QString kDeviceServiceType;
    static const QString kStreamServiceType;
    // Hidden user default: the name to announce instead of "Korva Lectern (<host>)".
    static const QString kServiceNameDefaultsKey;

    // "Korva Lectern (<host>)", or the user default when it holds a usable name.
    static QString defaultServiceName();

    static std::shared_ptr<StreamServiceAnnouncer> create(std::shared_ptr<DnsSdProvider> provider,
                                                          QString serviceName = defaultServiceName());
    ~StreamServiceAnnouncer();
    StreamServiceAnnouncer(const StreamServiceAnnouncer &) = delete;
    StreamServiceAnnouncer &operator=(const StreamServiceAnnouncer &) = delete;

    // Makes `hooks` announce and withdraw through this announcer (which they keep alive).
    void install(HTTPServer::Hooks &hooks);

    // Any thread; the work is queued to the main thread.
    void announce(std::uint16_t port);
    void withdraw();

    // Main thread: the name in use while announced or being announced, else empty.
    QString announcedName() const;

private:
    StreamServiceAnnouncer(std::shared_ptr<DnsSdProvider> provider, QString serviceName);

    void publishNow(std::uint16_t port);
    void withdrawNow();
    void didPublish(DnsSdPublisher &publisher, const QString &name) override;
    void didNotPublish(DnsSdPublisher &publisher, const DnsSdError &error) override;

    std::shared_ptr<DnsSdProvider> provider_;
    const QString serviceName_;
    // Main thread only.
    std::unique_ptr<DnsSdPublisher> publisher_;
    QList<DnsSdServiceDescription> services_;
};
