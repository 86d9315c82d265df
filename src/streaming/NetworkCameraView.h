#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QUrl>
#include <QVariantMap>

#include "capture/DCCaptureViewController.h"
#include "capture/JpegDecoder.h"
#include "dnssd/DnsSdResolver.h"
#include "streaming/MJPEGStreamClient.h"

class DnsSdProvider;
class DCNetCamera;
class InfoViewPresenter;

// The live picture of a network camera: resolves the camera's stream service, plays its MJPEG stream
// and hands every picture to the capture controller's network frame hook as a frame of the received
// JPEG bytes, like a USB camera's MJPEG frames: nothing is decoded until a consumer renders it, so a
// picture that nobody shows or streams costs no decoding. While the picture is frozen it shows the
// warning and restarts the stream at every watchdog period; the warning goes when frames come back.
// A camera added by URL is played from that URL without resolving.
//
// Threads: start() and stop() run on any thread; resolving, the resolver's answers and the watchdog
// calls on the main thread (the resolver belongs to it); frames arrive on the stream's own thread.
// State is guarded by one mutex, never held while the stream is started or stopped. Owned by a
// std::shared_ptr (work handed to the main thread holds it weakly).
class NetworkCameraView final : public NetworkCameraBranch,
                                private DnsSdResolverDelegate,
                                public std::enable_shared_from_this<NetworkCameraView> {
public:
    struct Dependencies {
        // Null: cameras found by DNS-SD cannot be resolved (logged); cameras by URL still play.
        std::shared_ptr<DnsSdProvider> dnsSdProvider;
        // Null: the log.
        std::shared_ptr<InfoViewPresenter> infoView;
        // Null: the shared camera controller's current camera.
        std::function<DCCameraPtr()> currentCamera;
    };

    explicit NetworkCameraView(Dependencies dependencies);
    ~NetworkCameraView() override;
    NetworkCameraView(const NetworkCameraView &) = delete;
    NetworkCameraView &operator=(const NetworkCameraView &) = delete;

    void start(DCCaptureViewController &controller, const DCCameraPtr &camera) override;
    void stop() override;
    void pictureIsAlive() override;
    void pictureFroze(const DCCameraPtr &camera) override;

    // The resolver's answer for the current camera's stream service (main thread).
    void netServiceDidResolveAddress(const DnsSdService &service, const DnsSdResolution &resolution);
    // Plays the stream at ip:port, on the path that `userInfo` ("path", "param") names.
    void setNetCameraVideoWithIP(const QString &ip, int andPort, const QVariantMap &userInfo);

    // The URL being played (empty before the service resolved or after stop()).
    QUrl streamURL() const;
    bool isInfoViewShown() const;
    // Stream starts since creation (restarts included).
    int streamStarts() const;

private:
    void didResolveAddress(DnsSdResolver &resolver, const DnsSdService &service,
                           const DnsSdResolution &resolution) override;
    void didNotResolve(DnsSdResolver &resolver, const DnsSdService &service,
                       const DnsSdError &error) override;

    void resolve(std::uint64_t generation);
    void startStream(const QUrl &url);
    // The stream's thread: a received image as a frame for `controller`.
    void framePart(DCCaptureViewController &controller, const MJPEGStreamClient::Part &part);
    void restartStream();
    void setInfoView(bool shown);
    void onMainThread(std::function<void(NetworkCameraView &)> work);
    bool isStreamServiceOfCurrentCamera(const DnsSdService &service) const;

    Dependencies deps_;
    MJPEGStreamClient client_;
    // The stream's thread only (one stream runs at a time; the previous one's thread has ended).
    JpegDecoder headerReader_;
    bool partsFailing_ = false;

    std::mutex streamMutex_; // serialises starting and stopping the stream; taken before mutex_
    mutable std::mutex mutex_;
    DCCaptureViewController *controller_ = nullptr;
    std::shared_ptr<DCNetCamera> camera_;
    std::uint64_t generation_ = 0; // one more at every start() and stop()
    QUrl url_;
    bool infoViewShown_ = false;
    int streamStarts_ = 0;

    // Main thread only.
    std::unique_ptr<DnsSdResolver> resolver_;
};
