#include "capture/FrameRenderer.h"

#include <thread>
#include <vector>

#include <QImage>

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include "CaptureTestImages.h"
#include "capture/Frame.h"
#include "capture/I420Image.h"
#include "capture/I420ImageConversion.h"
#include "capture/ImageManipulator.h"
#include "capture/PixelBufferPool.h"
#include "support/TestSupport.h"

using CaptureTestImages::gridColour;
using CaptureTestImages::near;

namespace {

const QSize kSize(640, 480);

ZoomState state(float zoom, float x = -1.0f, float y = -1.0f, bool h = false, bool v = false) {
    ZoomState s;
    s.zoom = zoom;
    s.zoomXLocation = x;
    s.zoomYLocation = y;
    s.hFlipped = h;
    s.vFlipped = v;
    return s;
}

// The colour at the centre of cell (column, row) of a `cells` x `cells` division of `image`.
QColor cellColour(const QImage &image, int column, int row, int cells) {
    const int x = (2 * column + 1) * image.width() / (2 * cells);
    const int y = (2 * row + 1) * image.height() / (2 * cells);
    return image.pixelColor(x, y);
}

// Expect the rendered picture to be divided into `cells` x `cells` cells, cell (c, r) showing the
// source grid cell expected(c, r).
template <typename Expected> void expectCells(const I420Image *picture, int cells, Expected expected) {
    ASSERT_NE(picture, nullptr);
    const QImage image = I420ImageConversion::toQImage(*picture);
    for (int r = 0; r < cells; ++r)
        for (int c = 0; c < cells; ++c) {
            const QPoint source = expected(c, r);
            const QColor want = gridColour(source.x(), source.y());
            const QColor got = cellColour(image, c, r, cells);
            EXPECT_TRUE(near(got, want))
                << "cell " << c << "," << r << " shows " << got.red() << "/" << got.green() << "/"
                << got.blue() << ", expected grid cell " << source.x() << "," << source.y();
        }
}

class RenderGrid : public ::testing::TestWithParam<int> {
protected:
    std::shared_ptr<const Frame> frame() const {
        const QImage grid = CaptureTestImages::grid(kSize);
        if (GetParam() < 0) return Frame::fromPlanes(I420ImageConversion::fromQImage(grid));
        return Frame::fromJpeg(CaptureTestImages::encode(grid, GetParam()), kSize);
    }
    FrameRenderer renderer_;
};

} // namespace

TEST_P(RenderGrid, WholePictureAsItIs) {
    const auto out = renderer_.render(*frame());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->size(), kSize);
    expectCells(out.get(), 4, [](int c, int r) { return QPoint(c, r); });
}

TEST_P(RenderGrid, MirroredWithoutZoomAlsoIntoASmallerOutput) {
    const auto source = frame();
    for (const QSize output : {kSize, QSize(160, 120)}) {
        expectCells(renderer_.render(*manipulateImage(source, state(1, -1, -1, true, false)), output).get(),
                    4, [](int c, int r) { return QPoint(3 - c, r); });
        expectCells(renderer_.render(*manipulateImage(source, state(1, -1, -1, false, true)), output).get(),
                    4, [](int c, int r) { return QPoint(c, 3 - r); });
        expectCells(renderer_.render(*manipulateImage(source, state(1, -1, -1, true, true)), output).get(), 4,
                    [](int c, int r) { return QPoint(3 - c, 3 - r); });
    }
}

TEST_P(RenderGrid, CentredZoomShowsTheMiddleCells) {
    const auto out = renderer_.render(*manipulateImage(frame(), state(2)));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->size(), kSize);
    expectCells(out.get(), 2, [](int c, int r) { return QPoint(1 + c, 1 + r); });
}

TEST_P(RenderGrid, ZoomLocationCountsFromTheBottomLeft) {
    // Origin (0, 0) is the bottom-left corner: the lower rows of the buffer, left columns.
    expectCells(renderer_.render(*manipulateImage(frame(), state(2, 0, 0))).get(), 2,
                [](int c, int r) { return QPoint(c, 2 + r); });
    // Top right: x_offset 0.5, y_offset 0.5.
    expectCells(renderer_.render(*manipulateImage(frame(), state(2, 0.5f, 0.5f))).get(), 2,
                [](int c, int r) { return QPoint(2 + c, r); });
}

TEST_P(RenderGrid, ZoomWithMirrorsCropsFromTheOppositeEdgesThenMirrors) {
    // Horizontal mirror: origin 0 is measured from the right, and the shown part is mirrored.
    expectCells(renderer_.render(*manipulateImage(frame(), state(2, 0, 0, true, false))).get(), 2,
                [](int c, int r) { return QPoint(3 - c, 2 + r); });
    // Both mirrors: the top-right quarter, turned by half a turn.
    expectCells(renderer_.render(*manipulateImage(frame(), state(2, 0, 0, true, true))).get(), 2,
                [](int c, int r) { return QPoint(3 - c, 1 - r); });
    expectCells(renderer_.render(*manipulateImage(frame(), state(2, -1, -1, false, true))).get(), 2,
                [](int c, int r) { return QPoint(1 + c, 2 - r); });
}

INSTANTIATE_TEST_SUITE_P(Sources, RenderGrid, ::testing::Values(TJSAMP_422, TJSAMP_420, TJSAMP_444, -1),
                         [](const auto &info) {
                             return info.param < 0 ? std::string("Planes")
                                                   : "Jpeg" + std::to_string(info.param);
                         });

TEST(FrameRenderer, OddSizesAndGreyPictures) {
    FrameRenderer renderer;
    const QSize odd(203, 101);
    const auto colour = renderer.render(*manipulateImage(
        Frame::fromJpeg(CaptureTestImages::encode(CaptureTestImages::grid(odd), TJSAMP_422), odd),
        state(1.5f, -1, -1, true, true)));
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->size(), odd);
    // Planes narrower than the decoder's whole blocks, straight and upside down.
    for (const int subsampling : {TJSAMP_422, TJSAMP_420}) {
        const auto whole =
            Frame::fromJpeg(CaptureTestImages::encode(CaptureTestImages::grid(odd), subsampling), odd);
        expectCells(renderer.render(*whole).get(), 4, [](int c, int r) { return QPoint(c, r); });
        expectCells(renderer.render(*manipulateImage(whole, state(1, -1, -1, false, true))).get(), 4,
                    [](int c, int r) { return QPoint(c, 3 - r); });
    }

    // Progressive pictures decode band by band as well.
    const QByteArray progressive =
        CaptureTestImages::encode(CaptureTestImages::grid(kSize), TJSAMP_420, 90, TJFLAG_PROGRESSIVE);
    expectCells(renderer.render(*manipulateImage(Frame::fromJpeg(progressive, kSize), state(2, 0, 0))).get(),
                2, [](int c, int r) { return QPoint(c, 2 + r); });

    const auto grey = renderer.render(
        *Frame::fromJpeg(CaptureTestImages::encode(CaptureTestImages::grid(kSize), TJSAMP_GRAY), kSize));
    ASSERT_NE(grey, nullptr);
    const QImage image = I420ImageConversion::toQImage(*grey);
    const QColor pixel = image.pixelColor(10, 10);
    EXPECT_EQ(pixel.red(), pixel.green());
    EXPECT_EQ(pixel.green(), pixel.blue());
}

TEST(FrameRendererBadInput, DamagedJpegIsRefusedWithALogLine) {
    const QByteArray good = CaptureTestImages::encode(CaptureTestImages::grid(kSize), TJSAMP_422);
    const QByteArray truncated = good.left(good.size() / 2);
    QByteArray scrambled = good;
    for (qsizetype i = 700; i < scrambled.size() - 2; i += 97)
        scrambled[i] = char(0xFF);
    QByteArray noise(4096, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) & 0xFF);

    for (const float zoom : {1.0f, 2.0f}) {
        FrameRenderer renderer;
        for (const QByteArray &bytes :
             {truncated, scrambled, noise, good.left(20), QByteArray("\xFF\xD8", 2)}) {
            LogCapture log;
            EXPECT_EQ(
                renderer.render(*manipulateImage(Frame::fromJpeg(bytes, kSize), state(zoom, 0.0f, 0.5f))),
                nullptr)
                << "zoom " << zoom << ", " << bytes.size() << " bytes";
            // A good frame in between, so each failure is a new one and is logged.
            EXPECT_TRUE(log.contains(QStringLiteral("Frame dropped"))) << bytes.size() << " bytes";
            EXPECT_NE(renderer.render(*Frame::fromJpeg(good, kSize)), nullptr);
        }
    }
}

TEST(FrameRendererBadInput, JpegOfAnotherSizeOrHugeHeaderIsRefused) {
    FrameRenderer renderer;
    LogCapture log;
    const QByteArray small = CaptureTestImages::encode(CaptureTestImages::grid(QSize(320, 240)), TJSAMP_422);
    EXPECT_EQ(renderer.render(*Frame::fromJpeg(small, kSize)), nullptr);
    EXPECT_TRUE(log.contains(QStringLiteral("JPEG of 320 x 240 in a frame of 640 x 480")));

    // A header that claims 60000 x 60000 pixels.
    QByteArray huge = small;
    const qsizetype sof = huge.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    huge[sof + 5] = char(0xEA);
    huge[sof + 6] = char(0x60);
    huge[sof + 7] = char(0xEA);
    huge[sof + 8] = char(0x60);
    EXPECT_EQ(renderer.render(*Frame::fromJpeg(huge, QSize(60000, 60000))), nullptr);
    // The second failure in a row is counted but not logged again.
    EXPECT_EQ(renderer.droppedFrames(), 2u);
    EXPECT_EQ(log.messages().filter(QStringLiteral("Frame dropped")).size(), 1);
}

TEST(FrameRendererBuffers, ManyFramesReuseTheSameFewBuffers) {
    FrameRenderer renderer(3);
    const auto zoomedFrame = manipulateImage(
        Frame::fromJpeg(CaptureTestImages::encode(CaptureTestImages::grid(kSize), TJSAMP_422), kSize),
        state(2, 0.1f, 0.2f, true, false));
    std::shared_ptr<const I420Image> held;
    for (int i = 0; i < 200; ++i) {
        // A consumer that keeps the newest picture while the next one is rendered.
        auto next = renderer.render(*zoomedFrame);
        ASSERT_NE(next, nullptr);
        EXPECT_NE(next, held);
        held = std::move(next);
    }
    EXPECT_LE(renderer.pool().allocations(), 2u);
    held.reset();
    EXPECT_LE(renderer.pool().idleCount(), 3u);
}

TEST(FrameRendererBuffers, PictureOutlivesItsRenderer) {
    std::shared_ptr<const I420Image> picture = FrameRenderer().render(
        *Frame::fromJpeg(CaptureTestImages::encode(CaptureTestImages::grid(kSize), TJSAMP_422), kSize));
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(near(I420ImageConversion::toQImage(*picture).pixelColor(5, 5), gridColour(0, 0)));
}

TEST(FrameRendererThreads, RenderersOnTwoThreadsShareFramesAndHandPicturesOn) {
    // A delivery thread's frame rendered by two consumers at once; pictures are let go on a third thread.
    const auto frame = manipulateImage(
        Frame::fromJpeg(CaptureTestImages::encode(CaptureTestImages::grid(kSize), TJSAMP_422), kSize),
        state(2, -1, -1, true, false));
    std::vector<std::shared_ptr<const I420Image>> handedOn[2];
    auto consumer = [&frame](std::vector<std::shared_ptr<const I420Image>> &out) {
        FrameRenderer renderer;
        for (int i = 0; i < 20; ++i)
            out.push_back(renderer.render(*frame));
    };
    std::thread a(consumer, std::ref(handedOn[0]));
    std::thread b(consumer, std::ref(handedOn[1]));
    a.join();
    b.join();
    std::thread release([&handedOn] {
        for (auto &list : handedOn) {
            for (const auto &picture : list)
                ASSERT_NE(picture, nullptr);
            list.clear();
        }
    });
    release.join();
}
