#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCCamerasController.h"
#include "devices/sim/SimUsbBus.h"
#include "devices/sim/SimUsbBusDeviceSource.h"
#include "dnssd/DnsSdOwnNames.h"
#include "dnssd/FakeDnsSdNetwork.h"
#include "dnssd/FakeDnsSdProvider.h"

// What the camera notifications said, in order, from whichever thread posted them.
class CameraNotes {
public:
    struct Note {
        QString name;
        QVariant object;
        QVariantMap userInfo;
    };

    CameraNotes() {
        for (const QString &name : {DCNote::DCCameraWillChange, DCNote::DCCameraDidChange,
                                    DCNote::DCCameraDidAdd, DCNote::DCCameraDidRemove}) {
            observers_.add(name, [this](const DCNotification &n) {
                std::lock_guard lock(mutex_);
                notes_.push_back({n.name, n.object, n.userInfo});
            });
        }
    }
    std::vector<Note> notes() const {
        std::lock_guard lock(mutex_);
        return notes_;
    }
    QStringList names() const {
        QStringList names;
        for (const Note &note : notes())
            names << note.name;
        return names;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        notes_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Note> notes_;
    DCObserverSet observers_;
};

inline DCCameraPtr cameraIn(const QVariantMap &userInfo, const QString &key) {
    return userInfo.value(key).value<DCCameraPtr>();
}

// A controller on the simulated bus and the fake DNS-SD network; the settle is recorded, not slept,
// unless a test sets `sleep` before start().
struct DiscoveryRig {
    std::shared_ptr<SimUsbBus> bus = std::make_shared<SimUsbBus>();
    std::shared_ptr<FakeDnsSdNetwork> network = std::make_shared<FakeDnsSdNetwork>();
    std::shared_ptr<DnsSdOwnNames> ownNames = std::make_shared<DnsSdOwnNames>();
    std::mutex sleepsMutex;
    std::vector<std::chrono::milliseconds> sleeps;
    DCCamerasController::SleepFunction sleep = [this](std::chrono::milliseconds time) {
        std::lock_guard lock(sleepsMutex);
        sleeps.push_back(time);
    };
    std::unique_ptr<DCCamerasController> controller;

    DCCamerasController &start() {
        DCCamerasController::Dependencies dependencies;
        dependencies.dnsSdProvider = std::make_shared<FakeDnsSdProvider>(network);
        dependencies.deviceSources.push_back(std::make_shared<SimUsbBusDeviceSource>(bus));
        dependencies.sleep = sleep;
        dependencies.ownServiceNames = ownNames;
        controller = std::make_unique<DCCamerasController>(std::move(dependencies));
        controller->startToMonitor();
        controller->waitUntilSettled();
        return *controller;
    }
    std::vector<std::chrono::milliseconds> recordedSleeps() {
        std::lock_guard lock(sleepsMutex);
        return sleeps;
    }
};
