#include "streaming/JPEGCompressor.h"

#include <mutex>
#include <vector>

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "streaming/JpegFrame.h"
#include "support/TestSupport.h"

namespace {

std::shared_ptr<const YuvPlanes> grey(int width, int height) {
    const int chromaW = (width + 1) / 2, chromaH = (height + 1) / 2;
    auto planes = std::make_shared<std::vector<std::uint8_t>>(width * height + 2 * chromaW * chromaH, 128);
    for (int i = 0; i < width * height; ++i)
        (*planes)[i] = static_cast<std::uint8_t>(i * 7);
    auto image = std::make_shared<YuvPlanes>();
    image->width = width;
    image->height = height;
    image->planes[0] = planes->data();
    image->planes[1] = planes->data() + width * height;
    image->planes[2] = planes->data() + width * height + chromaW * chromaH;
    image->strides[0] = width;
    image->strides[1] = image->strides[2] = chromaW;
    image->owner = planes;
    return image;
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
    tjhandle handle = tjInitCompress();
    for (const auto &[w, h] : {std::pair{64, 48}, std::pair{33, 17}, std::pair{1600, 1200}}) {
        const auto frame = JPEGCompressor::compress(handle, *grey(w, h), JPEGCompressor::kQuality);
        ASSERT_TRUE(frame);
        ASSERT_GE(frame->size(), 4u);
        EXPECT_EQ(frame->bytes()[0], 0xFF);
        EXPECT_EQ(frame->bytes()[1], 0xD8);
        EXPECT_EQ(frame->bytes()[frame->size() - 2], 0xFF);
        EXPECT_EQ(frame->bytes()[frame->size() - 1], 0xD9);
        const Decoded d = decodeHeader(*frame);
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
        EXPECT_EQ(d.subsampling, TJSAMP_420);
    }
    tjDestroy(handle);
}

TEST(JPEGCompressor, APictureThatCannotBeCompressedIsSkippedWithALogLine) {
    LogCapture log;
    JPEGCompressor compressor;
    Sink sink;
    sink.attach(compressor);
    compressor.setFrameInterval(std::chrono::microseconds(0));
    compressor.start();
    auto broken = std::make_shared<YuvPlanes>(*grey(16, 16));
    broken->planes[2] = nullptr;
    compressor.captureViewWillDisplayImage(broken);
    EXPECT_TRUE(waitUntil([&] { return log.contains(QStringLiteral("JPEGCompressor skips a frame")); }));
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
    const auto post = [](std::shared_ptr<const YuvPlanes> image) {
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
