#include "ui/view/LiveFrameFeed.h"

#include <memory>
#include <thread>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "capture/CaptureSource.h"
#include "capture/DCCaptureViewController.h"
#include "capture/Frame.h"
#include "support/TestSupport.h"
#include "ui/view/FrameMailbox.h"

namespace {

std::unique_ptr<DCCaptureViewController> makeController() {
    DCCaptureViewController::Dependencies d;
    d.currentCamera = [] { return DCCameraPtr(); };
    d.findDevice = [](const DCCameraPtr &) { return std::unique_ptr<CaptureSource>(); };
    d.watchdogTimer = false;
    return std::make_unique<DCCaptureViewController>(std::move(d));
}

FramePointer frame() {
    return Frame::fromJpeg(QByteArray("\xff\xd8\xff\xd9", 4), QSize(64, 48));
}

struct FeedRig {
    std::unique_ptr<DCCaptureViewController> controller = makeController();
    std::shared_ptr<FrameMailbox> mailbox = std::make_shared<FrameMailbox>();
    LiveFrameFeed feed{controller.get(), mailbox};
    int arrivals = 0;
    FeedRig() {
        QObject::connect(&feed, &LiveFrameFeed::frameArrived, [this] { ++arrivals; });
    }
};

// A burst from the delivery thread is one pending request to the view, and another controller's
// frames are not this view's.
TEST(LiveFrameFeed, BurstOfItsControllersFramesAsksTheViewOnce) {
    FeedRig rig;
    auto other = makeController();
    FramePointer last;
    std::thread delivery([&] {
        for (int i = 0; i < 50; ++i) {
            last = rig.controller->willDisplayImage(frame());
            other->willDisplayImage(frame());
        }
    });
    delivery.join();
    EXPECT_EQ(rig.mailbox->generation(), 50u);
    EXPECT_EQ(rig.mailbox->newest(), last);

    QCoreApplication::processEvents();
    EXPECT_EQ(rig.arrivals, 1);
    rig.controller->willDisplayImage(frame());
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.arrivals, 2);
}

// A network camera's frames reach the view as the controller's network hook answers them: the decoded
// frame itself when nothing applies, its mirrored form when mirrored; a missing frame shows nothing new.
TEST(LiveFrameFeed, NetworkFramesShowTheHooksAnswerOrTheDecodedFrame) {
    FeedRig rig;
    const FramePointer decoded = frame();
    rig.controller->networkWillDisplayImage(decoded);
    EXPECT_EQ(rig.mailbox->newest(), decoded);

    rig.controller->setHFlipped(true);
    const FramePointer answer = rig.controller->networkWillDisplayImage(decoded);
    ASSERT_NE(answer, decoded);
    EXPECT_EQ(rig.mailbox->newest(), answer);
    EXPECT_TRUE(answer->transform().hFlipped());

    rig.controller->networkWillDisplayImage(nullptr);
    EXPECT_EQ(rig.mailbox->newest(), answer);
    EXPECT_EQ(rig.mailbox->generation(), 2u);
}

} // namespace
