#pragma once

#include <memory>

#include <QObject>

#include "core/DCNotificationCenter.h"

class CoalescedCall;
class DCCaptureViewController;
class FrameMailbox;

// Carries one capture controller's live frames to a view: every "DCWillDisplayImage" that the
// controller posts (USB and network frames alike) goes into the mailbox on the delivering thread, and
// frameArrived() tells the view, at most once pending however fast frames come.
//
// Lives on the view's (main) thread. Observing ends when it goes; the controller must outlive it.
class LiveFrameFeed : public QObject {
    Q_OBJECT
public:
    LiveFrameFeed(const DCCaptureViewController *controller, std::shared_ptr<FrameMailbox> mailbox,
                  QObject *parent = nullptr);
    ~LiveFrameFeed() override;

Q_SIGNALS:
    // Main thread: the mailbox holds a frame the view has not seen.
    void frameArrived();

private:
    void onWillDisplayImage(const DCNotification &note);

    const DCCaptureViewController *controller_;
    std::shared_ptr<FrameMailbox> mailbox_;
    CoalescedCall *arrived_;
    // Last member: observing stops first when the feed goes, while everything it uses still exists.
    DCObserverSet observers_;
};
