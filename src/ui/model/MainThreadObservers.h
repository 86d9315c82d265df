#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include <QString>

#include "core/DCNotificationCenter.h"

class QObject;

// The notifications a window model observes, each handled on the main thread: a post made there is
// handled at once; a post from another thread is handed to the main thread, and its poster either goes
// on (add) or waits until it has been handled (addWaiting).
//
// Lifetime: make it a member of the model it serves, with the model as `context`. Its destruction (or
// stop()) removes the observers, releases posters that still wait, and keeps handlers already on their
// way from running, so nothing touches the model once it is going.
class MainThreadObservers {
public:
    using Handler = std::function<void(const DCNotification &)>;

    explicit MainThreadObservers(QObject *context,
                                 DCNotificationCenter &center = DCNotificationCenter::defaultCenter());
    ~MainThreadObservers();
    MainThreadObservers(const MainThreadObservers &) = delete;
    MainThreadObservers &operator=(const MainThreadObservers &) = delete;

    void add(const QString &name, Handler handler);
    void addWaiting(const QString &name, Handler handler);
    void stop();

private:
    struct Gate {
        std::mutex mutex;
        std::condition_variable handled;
        bool stopped = false;
    };
    void handOff(const DCNotification &note, const Handler &handler, bool wait);

    QObject *context_;
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
    DCObserverSet observers_;
};
