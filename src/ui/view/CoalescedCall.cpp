#include "ui/view/CoalescedCall.h"

#include <utility>

CoalescedCall::CoalescedCall(std::function<void()> function, QObject *parent)
    : QObject(parent), function_(std::move(function)) {}

void CoalescedCall::request() {
    if (pending_.exchange(true, std::memory_order_acq_rel)) return;
    // `this` as the context: the queued call is dropped when the object is gone before it runs.
    QMetaObject::invokeMethod(this, &CoalescedCall::run, Qt::QueuedConnection);
}

void CoalescedCall::run() {
    // Cleared first: a request made while the function runs must lead to one more call.
    pending_.store(false, std::memory_order_release);
    function_();
}
