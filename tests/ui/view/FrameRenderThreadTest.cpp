#include "ui/view/FrameRenderThread.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "CaptureTestImages.h"
#include "ViewTestFrames.h"
#include "capture/I420Image.h"
#include "capture/I420ImageConversion.h"

using namespace std::chrono_literals;

namespace {

struct RenderRig {
    std::shared_ptr<FrameMailbox> mailbox = std::make_shared<FrameMailbox>();
    std::atomic<int> ready{0};
    FrameRenderThread thread;

    explicit RenderRig(FrameRenderThread::Output output) : thread(mailbox, output, [this] { ++ready; }) {}

    void post(const FramePointer &frame) {
        mailbox->post(frame);
        thread.frameArrived();
    }
    // The next picture, waiting at most two seconds (a decode takes milliseconds).
    std::shared_ptr<const FrameRenderThread::Picture> nextPicture() {
        for (int i = 0; i < 400; ++i) {
            if (auto picture = thread.takePicture()) return picture;
            std::this_thread::sleep_for(5ms);
        }
        return nullptr;
    }
};

QImage rgb(const FrameRenderThread::Picture &picture) {
    return picture.planes ? I420ImageConversion::toQImage(*picture.planes) : picture.image;
}

// While the view is not showing, frames stay in the mailbox undecoded; once it shows, only the newest
// is decoded.
TEST(FrameRenderThread, DecodesNothingUntilShownThenOnlyTheNewest) {
    RenderRig rig(FrameRenderThread::Output::Planes);
    rig.thread.setViewport(QSize(320, 240));
    for (int i = 0; i < 3; ++i)
        rig.post(ViewTestFrames::grid(QSize(320, 240)));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(rig.thread.renderedPictures(), 0u);
    EXPECT_EQ(rig.mailbox->dropped(), 2u);

    rig.thread.setShowing(true);
    const auto picture = rig.nextPicture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->generation, 3u);
    EXPECT_EQ(rig.thread.renderedPictures(), 1u);
    EXPECT_GE(rig.ready.load(), 1);
}

// The OpenGL screen mirrors in texture coordinates, so its planes stay as stored; the painter's image
// comes mirrored, at exactly the picture's place in the view.
TEST(FrameRenderThread, MirroringIsLeftToTheScreenOnlyForPlanes) {
    struct Case {
        FrameRenderThread::Output output;
        QSize viewport;
        QSize expectedSize;
        bool mirroredInPixels;
    } cases[] = {
        {FrameRenderThread::Output::Planes, {200, 150}, {200, 150}, false},
        {FrameRenderThread::Output::Image, {200, 100}, {134, 100}, true},
    };
    for (const Case &c : cases) {
        RenderRig rig(c.output);
        rig.thread.setViewport(c.viewport);
        rig.thread.setShowing(true);
        rig.post(ViewTestFrames::grid(QSize(320, 240), true, false));
        const auto picture = rig.nextPicture();
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->extent, QSize(320, 240));
        EXPECT_EQ(picture->hFlipped, !c.mirroredInPixels);
        const QImage image = rgb(*picture);
        EXPECT_EQ(image.size(), c.expectedSize);
        const QColor topLeft = ViewTestFrames::cellCentre(image, image.rect(), 0, 0);
        EXPECT_TRUE(
            CaptureTestImages::near(topLeft, ViewTestFrames::expectedCell(0, 0, c.mirroredInPixels, false)))
            << topLeft.name().toStdString();
    }
}

// A new viewport renders the current frame again at the size it now needs; a frame that does not decode
// gives no picture and leaves the thread working.
TEST(FrameRenderThread, ResizeRendersAgainAndDamagedFramesAreSkipped) {
    RenderRig rig(FrameRenderThread::Output::Image);
    rig.thread.setViewport(QSize(160, 120));
    rig.thread.setShowing(true);
    rig.post(Frame::fromJpeg(QByteArray("\xff\xd8 not a picture \xff\xd9"), QSize(320, 240)));
    rig.post(ViewTestFrames::grid(QSize(320, 240)));
    auto picture = rig.nextPicture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->image.size(), QSize(160, 120));

    rig.thread.setViewport(QSize(64, 48));
    picture = rig.nextPicture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->image.size(), QSize(64, 48));
    EXPECT_EQ(picture->generation, 2u);
}

} // namespace
