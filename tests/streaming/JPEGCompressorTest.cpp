#include "streaming/JPEGCompressor.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include "../capture/CaptureTestImages.h"
#include "StreamTestSupport.h"
#include "capture/FrameRenderer.h"
#include "capture/I420Image.h"
#include "capture/I420ImageConversion.h"
#include "capture/ImageManipulator.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "streaming/FrameJpegEncoder.h"
#include "streaming/JpegFrame.h"
#include "support/TestSupport.h"

namespace {

// A frame of decoded planes with a ramp in luma, so its JPEG has a realistic size.
FramePointer grey(int width, int height) {
    auto image = I420Image::create(QSize(width, height));
    for (int i = 0; i < width * height; ++i)
        image->y()[i] = static_cast<std::uint8_t>(i * 7);
    std::fill(image->u(), image->u() + image->strideU() * image->chromaHeight() * 2, 128);
    return Frame::fromPlanes(std::move(image));
}

struct Decoded {
    int width = 0, height = 0, subsampling = -1;
};

Decoded decodeHeader(const JpegFrame &frame) {
    Decoded d;
    tjhandle handle = tjInitDecompress();
    int colorspace = 0;
    if (tjDecompressHeader3(handle, frame.data(), frame.size(), &d.width, &d.height, &d.subsampling,
                            &colorspace) != 0)
        d = {};
    tjDestroy(handle);
    return d;
}

QImage decodeImage(const JpegFrame &frame) {
    const auto picture = decodeJpeg(Bytes(frame.bytes().begin(), frame.bytes().end()));
    return picture ? QImage(picture->pixels.data(), picture->width, picture->height, picture->width * 3,
                            QImage::Format_RGB888)
                         .copy()
                   : QImage();
}

class Sink {
public:
    void attach(JPEGCompressor &compressor) {
        compressor.setFrameSink([this](std::shared_ptr<const JpegFrame> frame) {
            std::lock_guard lock(mutex_);
            frames_.push_back(std::move(frame));
        });
    }
    std::vector<std::shared_ptr<const JpegFrame>> frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    std::size_t count() { return frames().size(); }

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<const JpegFrame>> frames_;
};

} // namespace

TEST(JPEGCompressor, CompressesI420IntoACompleteJpegOfTheSameSize) {
    FrameJpegEncoder encoder(JPEGCompressor::kQuality);
    for (const auto &[w, h] :
         {std::pair{64, 48}, std::pair{33, 17}, std::pair{1600, 1200}, std::pair{64, 48}}) {
        const auto frame = encoder.encode(*grey(w, h));
        ASSERT_TRUE(frame);
        const std::string bytes(frame->bytes().begin(), frame->bytes().end());
        EXPECT_TRUE(bytes.starts_with("\xFF\xD8") && bytes.ends_with("\xFF\xD9")) << w << "x" << h;
        const Decoded d = decodeHeader(*frame);
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
        EXPECT_EQ(d.subsampling, TJSAMP_420);
    }
}

// The stream shows what the screen shows: a camera JPEG seen through zoom and mirroring comes out
// zoomed and mirrored, cell for cell as the capture library renders it.
TEST(JPEGCompressor, AZoomedAndMirroredCameraFrameIsStreamedAsDisplayed) {
    const QSize size(640, 480);
    const FramePointer camera =
        Frame::fromJpeg(CaptureTestImages::encode(CaptureTestImages::grid(size), TJSAMP_422, 90), size);
    ZoomState state;
    state.zoom = 2.0f; // the lower-left quarter of the mirrored picture: the source's top-right one
    state.zoomXLocation = 0.0f;
    state.zoomYLocation = 0.0f;
    state.hFlipped = true;
    state.vFlipped = true;
    const FramePointer displayed = manipulateImage(camera, state);

    JPEGCompressor compressor;
    Sink sink;
    sink.attach(compressor);
    compressor.setFrameInterval(std::chrono::microseconds(0));
    compressor.start();
    compressor.captureViewWillDisplayImage(displayed);
    ASSERT_TRUE(waitUntil([&] { return sink.count() == 1; }));
    compressor.stop();

    const QImage streamed = decodeImage(*sink.frames()[0]);
    ASSERT_EQ(streamed.size(), displayed->size());
    FrameRenderer renderer;
    const QImage screen = I420ImageConversion::toQImage(*renderer.render(*displayed));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            const QPoint centre((2 * c + 1) * streamed.width() / 4, (2 * r + 1) * streamed.height() / 4);
            // Mirrored both ways, the output's top-left cell is the source's cell (3, 1).
            const QColor want = CaptureTestImages::gridColour(3 - c, 1 - r);
            EXPECT_TRUE(CaptureTestImages::near(streamed.pixelColor(centre), want)) << c << "," << r;
            EXPECT_TRUE(CaptureTestImages::near(streamed.pixelColor(centre), screen.pixelColor(centre), 8));
        }
}

TEST(JPEGCompressor, APictureThatCannotBeCompressedIsSkippedWithALogLine) {
    LogCapture log;
    JPEGCompressor compressor;
    Sink sink;
    sink.attach(compressor);
    compressor.setFrameInterval(std::chrono::microseconds(0));
    compressor.start();
    // A camera frame whose JPEG is cut off after its header.
    QByteArray truncated = CaptureTestImages::encode(CaptureTestImages::grid(QSize(64, 48)), TJSAMP_422);
    truncated.truncate(truncated.size() / 3);
    compressor.captureViewWillDisplayImage(Frame::fromJpeg(truncated, QSize(64, 48)));
    EXPECT_TRUE(waitUntil([&] { return log.contains(QStringLiteral("Frame dropped")); }));
    // The next good picture goes through.
    compressor.captureViewWillDisplayImage(grey(16, 16));
    EXPECT_TRUE(waitUntil([&] { return sink.count() == 1; }));
    compressor.stop();
    EXPECT_EQ(sink.count(), 1u);
}

TEST(JPEGCompressor, OnlyTheNewestPictureCountsAndEachIsCompressedOnce) {
    JPEGCompressor compressor;
    Sink sink;
    sink.attach(compressor);
    compressor.setFrameInterval(std::chrono::milliseconds(300));
    compressor.start();
    compressor.captureViewWillDisplayImage(grey(16, 16));
    ASSERT_TRUE(waitUntil([&] { return sink.count() == 1; }));
    // Arriving within one interval, these replace each other; the last one is compressed.
    compressor.captureViewWillDisplayImage(grey(24, 16));
    compressor.captureViewWillDisplayImage(grey(32, 16));
    compressor.captureViewWillDisplayImage(grey(40, 16));
    ASSERT_TRUE(waitUntil([&] { return sink.count() == 2; }));
    EXPECT_FALSE(waitUntil([&] { return sink.count() > 2; }, std::chrono::milliseconds(700)));
    EXPECT_EQ(decodeHeader(*sink.frames()[1]).width, 40);
    EXPECT_EQ(compressor.currentFrameData(), sink.frames()[1]);
    compressor.stop();
}

TEST(JPEGCompressor, ListensToDisplayedPicturesOnlyWhileRunningAndKeepsTheLastFrame) {
    JPEGCompressor compressor;
    Sink sink;
    sink.attach(compressor);
    compressor.setFrameInterval(std::chrono::microseconds(0));
    const auto post = [](FramePointer image) {
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCWillDisplayImage, {}, {{DCKey::Image, QVariant::fromValue(std::move(image))}});
    };
    post(grey(16, 16));
    EXPECT_FALSE(waitUntil([&] { return sink.count() > 0; }, std::chrono::milliseconds(200)));

    compressor.start();
    post(grey(16, 16));
    ASSERT_TRUE(waitUntil([&] { return sink.count() == 1; }));
    compressor.stop();
    EXPECT_FALSE(compressor.isRunning());
    EXPECT_EQ(compressor.currentImage(), nullptr);
    EXPECT_EQ(compressor.currentFrameData(), sink.frames()[0]);
    post(grey(16, 16));
    EXPECT_FALSE(waitUntil([&] { return sink.count() > 1; }, std::chrono::milliseconds(200)));

    // It starts again.
    compressor.start();
    post(grey(20, 20));
    EXPECT_TRUE(waitUntil([&] { return sink.count() == 2; }));
    compressor.stop();
}
