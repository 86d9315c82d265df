#include "HidEventRelay.h"

#include <vector>

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include "devices/DeleteOnItsThread.h"

HidEventRelay::HidEventRelay(HidTransport::EventHandler handler)
    : handler_(std::move(handler)), context_(new QObject) {}

HidEventRelay::~HidEventRelay() {
    std::lock_guard lock(mutex_);
    deleteOnItsThread(context_);
}

void HidEventRelay::deliver(const std::shared_ptr<HidEventRelay> &self, std::span<const uint8_t> report) {
    if (report.size() > kMaxReportLength) report = report.first(kMaxReportLength);
    std::unique_lock lock(self->mutex_);
    if (!self->context_) return;
    if (self->context_->thread() == QThread::currentThread()) {
        lock.unlock();
        self->run(report);
        return;
    }
    std::vector<uint8_t> copy(report.begin(), report.end());
    // Queued under the lock: stop() cannot delete the context meanwhile, and deleting it drops the call.
    QMetaObject::invokeMethod(
        self->context_, [self, copy = std::move(copy)] { self->run(copy); }, Qt::QueuedConnection);
}

void HidEventRelay::run(std::span<const uint8_t> report) {
    HidTransport::EventHandler handler;
    {
        std::lock_guard lock(mutex_);
        if (!context_) return;
        handler = handler_;
    }
    if (!handler) return;
    running_ = true;
    handler(report);
    running_ = false;
}

void HidEventRelay::stop() {
    std::lock_guard lock(mutex_);
    handler_ = nullptr;
    if (!context_) return;
    // A handler that stops its own relay is still running inside the context's call.
    deleteOnItsThread(context_, running_);
    context_ = nullptr;
}
