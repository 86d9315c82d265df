#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "dnssd/DnsSdPublisher.h"
#include "streaming/HTTPServer.h"

class DnsSdOwnNames;
class DnsSdProvider;

// Announces a running HTTPServer on the local network: the device service "_korDevPub._udp." and the
// stream service "_mjpegStreamer._tcp.", both under one name and on the server's port, so that other
// instances pair them into one network camera.
//
// The server calls in on its own thread, which runs no Qt event loop; DNS-SD objects need one, so the
// publisher is made, driven and dropped on the main thread. Calls are queued there in order, and never
// wait: an absent daemon only costs a log line, the server keeps serving. A name another machine
// already uses is given up for the next free "Name #2", "Name #3", ... (as DNS-SD responders do), so two
// instances on one network never share a name; the name in use is entered in the program's own
// names from the moment it is asked for until it is withdrawn or given up, so the program's own camera
// browser passes it over.
class StreamServiceAnnouncer final : public std::enable_shared_from_this<StreamServiceAnnouncer>,
                                     private DnsSdPublisherDelegate {
public:
    static const QString kDeviceServiceType;
    static const QString kStreamServiceType;
    // Hidden user default: the name to announce instead of "Korva Lectern (<host>)".
    static const QString kServiceNameDefaultsKey;

    // "Korva Lectern (<host>)", or the user default when it holds a usable name.
    static QString defaultServiceName();

    // How many other names are tried after a collision before the announcement is given up.
    static constexpr int kMaxRenames = 32;

    static std::shared_ptr<StreamServiceAnnouncer> create(std::shared_ptr<DnsSdProvider> provider,
                                                          QString serviceName = defaultServiceName(),
                                                          std::shared_ptr<DnsSdOwnNames> ownNames = {});
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
    StreamServiceAnnouncer(std::shared_ptr<DnsSdProvider> provider, QString serviceName,
                           std::shared_ptr<DnsSdOwnNames> ownNames);

    void publishNow(std::uint16_t port);
    void withdrawNow();
    void publishAs(const QString &name);
    void forgetOwnName(bool givenUp = false);
    void didPublish(DnsSdPublisher &publisher, const QString &name) override;
    void didNotPublish(DnsSdPublisher &publisher, const DnsSdError &error) override;

    std::shared_ptr<DnsSdProvider> provider_;
    const QString serviceName_;
    const std::shared_ptr<DnsSdOwnNames> ownNames_;
    // Main thread only.
    std::unique_ptr<DnsSdPublisher> publisher_;
    QList<DnsSdServiceDescription> services_;
    QString ownName_; // the name entered in ownNames_
    int renames_ = 0;
};
