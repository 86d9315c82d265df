#pragma once

#include <chrono>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>
#include <QThread>

#include "core/DCNotificationCenter.h"
#include "devices/DCCameraKorva.h"
#include "devices/sim/SimCamera.h"
#include "devices/sim/SimUsbDevice.h"

using Bytes = std::vector<uint8_t>;

// Records the notifications of the given names, with their object and posting thread.
struct NotificationLog {
    struct Entry {
        QString name;
        DCCameraPtr object;
        QThread *thread;
    };
    DCObserverSet observers;
    std::vector<Entry> entries;

    explicit NotificationLog(const QStringList &names) {
        for (const QString &name : names)
            observers.add(name, [this](const DCNotification &n) {
                entries.push_back({n.name, n.object.value<DCCameraPtr>(), QThread::currentThread()});
            });
    }
    QStringList names() const {
        QStringList out;
        for (const auto &e : entries)
            out << e.name;
        return out;
    }
};

// A camera of class `Camera` prepared on a simulated camera of the same model, with the sleeps of
// the device wait recorded instead of slept and the preparation's reports forgotten.
template <class Camera = DCCameraKorva> struct KorvaFixture {
    std::shared_ptr<SimCamera> sim = std::make_shared<SimCamera>();
    std::shared_ptr<Camera> camera = Camera::camera();
    std::vector<std::chrono::milliseconds> sleeps;

    explicit KorvaFixture(const QString &model = QStringLiteral("Wren-HD"), bool prepare = true) {
        sim->setModel(model);
        camera->setSleeper([this](std::chrono::milliseconds d) { sleeps.push_back(d); });
        if (prepare) this->prepare();
    }
    ~KorvaFixture() { camera->prepareToDetatch(); }

    void prepare() {
        camera->prepareToWorkWithDevice(std::make_shared<SimUsbDevice>(sim));
        forget();
    }
    void forget() {
        sim->hid().clearRecords();
        sim->clearRecords();
    }
    std::vector<Bytes> sent() const { return sim->hid().outputReports(); }
    SimHidDevice &hid() { return sim->hid(); }
};
