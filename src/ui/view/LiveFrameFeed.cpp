#include "ui/view/LiveFrameFeed.h"

#include "capture/DCCaptureViewController.h"
#include "core/DCVocabulary.h"
#include "ui/view/CoalescedCall.h"
#include "ui/view/FrameMailbox.h"

LiveFrameFeed::LiveFrameFeed(const DCCaptureViewController *controller, std::shared_ptr<FrameMailbox> mailbox,
                             QObject *parent)
    : QObject(parent), controller_(controller), mailbox_(std::move(mailbox)),
      arrived_(new CoalescedCall([this] { Q_EMIT frameArrived(); }, this)) {
    observers_.add(DCNote::DCWillDisplayImage,
                   [this](const DCNotification &note) { onWillDisplayImage(note); });
}

// Explicit, so observing ends before the coalesced call (a child) goes.
LiveFrameFeed::~LiveFrameFeed() {
    observers_.clear();
}

// The delivering thread: only a pointer swap and, now and then, a posted event.
void LiveFrameFeed::onWillDisplayImage(const DCNotification &note) {
    if (note.object.value<DCCaptureViewController *>() != controller_) return;
    if (mailbox_->post(note.userInfo.value(DCKey::Image).value<FramePointer>()) == 0) return;
    arrived_->request();
}
