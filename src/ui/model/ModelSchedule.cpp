#include "ui/model/ModelSchedule.h"

#include <QPointer>
#include <QTimer>

ModelSchedule::Function ModelSchedule::onMainLoop(QObject *context) {
    QPointer<QObject> guard(context);
    return [guard](std::chrono::milliseconds delay, std::function<void()> work) {
        if (!guard) return;
        QTimer::singleShot(delay, guard.data(), std::move(work));
    };
}
