#pragma once

#include <QObject>
#include <QThread>

// Deletes a QObject that carries queued calls to its thread: at once on that thread (unless `busy`,
// a call of its own is running there) or when that thread has ended, as nothing runs there any more;
// otherwise through that thread's event loop, which still runs (deleteLater() to a thread whose loop
// has ended would never free it). Deleting it drops the calls still queued to it.
inline void deleteOnItsThread(QObject *object, bool busy = false) {
    if (!object) return;
    QThread *thread = object->thread();
    if ((thread == QThread::currentThread() && !busy) || !thread || thread->isFinished())
        delete object;
    else
        object->deleteLater();
}
