#pragma once

#include <mutex>
#include <optional>

#include <QUrl>

#include "devices/DCCamera.h"
#include "dnssd/DnsSdService.h"

// The live stream of another instance on the local network. It is offered to the user only once both
// of its services are known; it keeps every control answer of the base, so it offers only zoom, mirror
// and timer. Thread-safe: the services are set on the device thread and read anywhere.
class DCNetCamera : public DCCamera {
public:
    static std::shared_ptr<DCNetCamera> camera();

    // The name of the announcement service, else of the stream service, else the stream URL's host and
    // port, else "Unknown".
    QString model() const override;
    QString shortModel() const override { return model(); }

    std::optional<DnsSdService> deviceNetService() const;
    void setDeviceNetService(std::optional<DnsSdService> service);
    std::optional<DnsSdService> streamNetService() const;
    void setStreamNetService(std::optional<DnsSdService> service);

    // A camera the user named by URL has no services: its stream is at this address (empty otherwise).
    QUrl streamURL() const;
    void setStreamURL(QUrl url);

protected:
    DCNetCamera() = default;

private:
    mutable std::mutex mutex_;
    std::optional<DnsSdService> deviceNetService_;
    std::optional<DnsSdService> streamNetService_;
    QUrl streamURL_;
};
