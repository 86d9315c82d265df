#include "ui/model/MainThreadObservers.h"

#include <QMetaObject>
#include <QObject>

#include "core/MainThread.h"

MainThreadObservers::MainThreadObservers(QObject *context, DCNotificationCenter &center)
    : context_(context), observers_(center) {}

MainThreadObservers::~MainThreadObservers() {
    stop();
}

void MainThreadObservers::stop() {
    {
        std::lock_guard lock(gate_->mutex);
        gate_->stopped = true;
    }
    gate_->handled.notify_all();
    // Returns once no poster is inside an observer any more; the waiting ones have just been released.
    observers_.clear();
}

void MainThreadObservers::add(const QString &name, Handler handler) {
    observers_.add(name, [this, handler = std::move(handler)](const DCNotification &note) {
        handOff(note, handler, false);
    });
}

void MainThreadObservers::addWaiting(const QString &name, Handler handler) {
    observers_.add(name, [this, handler = std::move(handler)](const DCNotification &note) {
        handOff(note, handler, true);
    });
}

void MainThreadObservers::handOff(const DCNotification &note, const Handler &handler, bool wait) {
    if (MainThread::isCurrent()) {
        handler(note);
        return;
    }
    // Runs on the main thread while the observers are not stopped; stop() runs on the main thread too,
    // so a handler that has begun finishes before the model goes.
    auto done = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        context_,
        [gate = gate_, handler, note, done] {
            {
                std::lock_guard lock(gate->mutex);
                if (gate->stopped) return;
            }
            handler(note);
            {
                std::lock_guard lock(gate->mutex);
                *done = true;
            }
            gate->handled.notify_all();
        },
        Qt::QueuedConnection);
    if (!wait) return;
    std::unique_lock lock(gate_->mutex);
    gate_->handled.wait(lock, [&] { return *done || gate_->stopped; });
}
