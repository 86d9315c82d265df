#include "MainThread.h"

#include <memory>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
#define KL_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KL_TSAN 1
#endif
#endif

#ifdef KL_TSAN
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

namespace {

// Qt's queued call orders the poster before the receiver with its own atomics and futexes, which the
// thread sanitizer does not see in a Qt not built with it: everything the work captured would look
// raced. Telling it of the hand-over keeps its reports to real races.
void handedOver(void *work) {
#ifdef KL_TSAN
    __tsan_release(work);
#else
    (void)work;
#endif
}

void takenOver(void *work) {
#ifdef KL_TSAN
    __tsan_acquire(work);
#else
    (void)work;
#endif
}

} // namespace

namespace MainThread {

bool isCurrent() {
    const QCoreApplication *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void run(std::function<void()> work) {
    if (isCurrent()) {
        work();
        return;
    }
    // Owned by the queued call alone, so it also ends on the main thread.
    auto handed = std::make_shared<std::function<void()>>(std::move(work));
    handedOver(handed.get());
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [handed = std::move(handed)] {
            takenOver(handed.get());
            (*handed)();
        },
        Qt::QueuedConnection);
}

void runAndWait(std::function<void()> work) {
    if (isCurrent()) {
        work();
        return;
    }
    auto handed = std::make_shared<std::function<void()>>(std::move(work));
    void *const address = handed.get(); // only a name for the hand-over once the call owns it
    handedOver(address);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [handed = std::move(handed)] {
            takenOver(handed.get());
            (*handed)();
            handedOver(handed.get()); // and back to the waiting caller
        },
        Qt::BlockingQueuedConnection);
    takenOver(address);
}

} // namespace MainThread
