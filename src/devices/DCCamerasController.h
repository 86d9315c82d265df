#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QUrl>
#include <QVariantMap>

#include "core/OperationQueue.h"
#include "devices/DCCamera.h"
#include "devices/DeviceSource.h"
#include "dnssd/DnsSdBrowser.h"
#include "dnssd/DnsSdOwnNames.h"

class DCNetCamera;
class DCUVCCamera;
class DnsSdProvider;
class QObject;
class QThread;
class QTimer;
class ThreadWorkQueue;

// The one object that knows which cameras exist and which one is current.
//
// Threads. The device thread (a QThread with its own event loop, started by startToMonitor()) serves
// the device sources (udev, the simulated bus), the DNS-SD browsers, the cameras' HID events and the
// 0.3 s status timer; it prepares each new USB camera (after the 0.5 s settle) and removes cameras.
// A serial operation queue adds cameras and makes them current. The main thread reads currentCamera()
// and availableCameras() and may choose a camera with setCurrentCamera().
//
// Consistency. The current camera is guarded by a recursive lock, held only to exchange or read the
// pointer. The two lists (usbCameras, netCameras) are guarded by one mutex of their own, held only
// while a list is read or changed and never while a notification is posted or a device is touched;
// readers get copies. Before the device thread removes a camera it waits for the operations already
// queued, so a camera is never removed before it was added, and an add never revives a removed camera.
// Notifications are posted outside every lock, synchronously on the thread that made the change.
//
// Cameras are shared: the lists and the current pointer hold them; once a camera is removed the
// controller keeps no reference to it.
//
// Stopping. stop() (also run by the destructor) finishes the operations already queued, ends the
// device thread and the operation queue's thread, and detaches every camera on the device thread while
// its event loop still runs, so whatever a camera set up there goes with it there. A camera may outlive
// the controller (whoever holds it); it is detached and owns nothing bound to the ended thread.
class DCCamerasController : private DeviceSourceDelegate, private DnsSdBrowserDelegate {
public:
    using SleepFunction = std::function<void(std::chrono::milliseconds)>;

    struct Dependencies {
        // Null: no network cameras.
        std::shared_ptr<DnsSdProvider> dnsSdProvider;
        // The names this program announces its own stream under: services of these names are never
        // offered as network cameras. Null: the program's shared set.
        std::shared_ptr<DnsSdOwnNames> ownServiceNames;
        // Where USB cameras come from; started on the device thread in this order.
        std::vector<std::shared_ptr<DeviceSource>> deviceSources;
        // The settle after an arrival sleeps through this; null sleeps for real.
        SleepFunction sleep;
    };

    // The settle a device gets after it appears, before anything else touches it.
    static constexpr std::chrono::milliseconds kSettleTime{500};
    // Period of the status timer that calls updateStatus() on the current camera.
    static constexpr std::chrono::milliseconds kStatusInterval{300};

    // The process-wide controller, which the application core makes and installs
    // (SharedInstance<DCCamerasController>); calling this while none is installed is a programming error.
    static DCCamerasController &sharedController();
    // The installed controller's current camera; null without a controller.
    static DCCameraPtr sharedCurrentCamera();
    // Avahi, udev and real sleeps (--demo adds the simulated bus).
    static Dependencies defaultDependencies();

    // Tests make their own controllers.
    explicit DCCamerasController(Dependencies dependencies);
    // stop().
    ~DCCamerasController();
    DCCamerasController(const DCCamerasController &) = delete;
    DCCamerasController &operator=(const DCCamerasController &) = delete;

    // Posts the first change (none to none) on the calling thread, then starts the device thread.
    // Only the first call does anything, and none after stop().
    void startToMonitor();
    // Runs the operations already queued, then ends the device thread (device sources, DNS-SD browsers,
    // HID events, status timer) and the operation queue, and detaches and lets go of every camera (a
    // Korva camera hands its HID interface back to the kernel driver). Afterwards nothing of the
    // controller runs, posts a notification or logs: the calls that would change the cameras do
    // nothing. Idempotent, also when never started. Not on the device thread or the operation queue's
    // (an observer of the controller's notifications may run there): stop() waits for both.
    void stop();

    DCCameraPtr currentCamera() const;
    // Posts "DCCameraWillChange" (no object) and "DCCameraDidChange" (object: this controller), each
    // with "original_camera" and "new_camera" (absent when none). Setting the current camera again
    // posts both too.
    void setCurrentCamera(DCCameraPtr camera);
    // All USB cameras, then each network camera that has both services, in the order they came.
    QList<DCCameraPtr> availableCameras() const;

    // Operation bodies; the device thread queues them on the operation queue.
    void addUSBCamera(std::shared_ptr<DCUVCCamera> camera);
    void addNetCamera(std::shared_ptr<DCNetCamera> camera);
    // A network camera for the MJPEG stream at `url` (http), named by its host and port. It is added
    // through the operation queue like a camera found by DNS-SD (current when none is) and stays until
    // the controller goes. Null, with `error` set, for a URL that cannot be streamed.
    std::shared_ptr<DCNetCamera> addStreamCamera(const QUrl &url, QString *error = nullptr);
    // Removes at once on the calling thread; a camera no longer listed is left alone.
    void removeCameraOperation(DCCameraPtr camera);
    // Queues removeCameraOperation() on the operation queue.
    void removeCamera(DCCameraPtr camera);
    // Stops both browsers and browses again (device thread).
    void restartNetServiceBrowsers();

    std::vector<std::shared_ptr<DCUVCCamera>> usbCameras() const;
    std::vector<std::shared_ptr<DCNetCamera>> netCameras() const;

    // Returns once the device thread has handled everything handed to it before this call and the
    // operation queue has run everything it queued (tests, --list-cameras). Not on the device thread.
    void waitUntilSettled();

private:
    // Device thread.
    void deviceThreadEntry();
    void stopMonitoring();
    void setupCameraUpdateTimer();
    void updateCameraStatus();
    void deviceAttached(std::shared_ptr<UsbDevice> device) override;
    void deviceDettached(uint32_t locationID) override;
    // Removes on the device thread once the operations queued before have run.
    void removeAfterQueuedOperations(const DCCameraPtr &camera);
    void didFindService(DnsSdBrowser &browser, const DnsSdService &service, bool moreComing) override;
    void didRemoveService(DnsSdBrowser &browser, const DnsSdService &service, bool moreComing) override;
    void didNotSearch(DnsSdBrowser &browser, const DnsSdError &error) override;
    void restartSearch(DnsSdBrowser *browser);
    std::shared_ptr<DCNetCamera> netCameraNamed(const QByteArray &wireName) const;
    // A name became ours: a camera found under it is (or will be replaced by) our own announcement.
    // A name we gave up hid another machine's services meanwhile: look again.
    void ownServiceNameChanged(const QString &name, DnsSdOwnNames::Change change);
    void detachAll();
    void postNotification(const QString &name, bool fromController, const QVariantMap &userInfo = {});

    // The operation queue while the controller accepts operations; empty once stop() began.
    std::shared_ptr<OperationQueue> queue() const;
    void addOperation(std::function<void()> operation);
    void waitForQueuedOperations();

    Dependencies dependencies_;
    mutable std::mutex queueMutex_;
    std::shared_ptr<OperationQueue> opQueue_;
    // Set when stop() has finished: later calls change nothing.
    std::atomic<bool> stopped_{false};
    std::mutex stopMutex_; // one stop() at a time; a second one returns once the first is done

    mutable std::recursive_mutex currentCameraLock_;
    DCCameraPtr currentCamera_;

    mutable std::mutex listsMutex_;
    std::vector<std::shared_ptr<DCUVCCamera>> usbCameras_;
    std::vector<std::shared_ptr<DCNetCamera>> netCameras_;

    std::mutex startMutex_;
    bool started_ = false;
    std::unique_ptr<QThread> thread_;
    std::promise<void>
        threadFinished_; // set as the device thread's last act (QThread::wait is invisible to TSan)
    std::unique_ptr<ThreadWorkQueue> deviceWork_; // work handed to the device thread
    void runOnDeviceThreadAndWait(std::function<void()> work);

    // Owned and used by the device thread only.
    QObject *context_ = nullptr; // parent of the thread's timers
    QTimer *cameraStatusUpdateTimer_ = nullptr;
    std::unique_ptr<DnsSdBrowser> announcementServiceBrowser_;
    std::unique_ptr<DnsSdBrowser> streamServiceBrowser_;
    int ownNamesListener_ = 0;
    int announcementFailures_ = 0;
    int streamFailures_ = 0;
    std::vector<std::shared_ptr<DeviceSource>> startedSources_;
};

Q_DECLARE_METATYPE(DCCamerasController *)
