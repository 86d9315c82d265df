#include "capture/DemoPageRenderer.h"

#include <QImage>

#include <gtest/gtest.h>

#include "capture/Frame.h"
#include "capture/FrameRenderer.h"
#include "capture/I420Image.h"
#include "capture/I420ImageConversion.h"
#include "capture/JpegDecoder.h"
#include "support/TestSupport.h"

namespace {

QImage decode(const QByteArray &jpeg, QSize size) {
    FrameRenderer renderer;
    const auto picture = renderer.render(*Frame::fromJpeg(jpeg, size));
    return picture ? I420ImageConversion::toQImage(*picture) : QImage();
}

int differingPixels(const QImage &a, const QImage &b, const QRect &rect) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 40) ++count;
    return count;
}

} // namespace

TEST(DemoPageRenderer, CameraLikeJpegOfTheAskedSize) {
    for (const QSize size : {QSize(1600, 1200), QSize(640, 480), QSize(322, 242)}) {
        DemoPageRenderer page(QStringLiteral("Wren-HD"), size);
        const QByteArray jpeg = page.renderJpeg(1);
        JpegDecoder decoder;
        JpegDecoder::Header header;
        ASSERT_TRUE(decoder.readHeader(
            {reinterpret_cast<const uint8_t *>(jpeg.constData()), size_t(jpeg.size())}, header));
        EXPECT_EQ(header.size, size);
        EXPECT_EQ(header.components, 3);
        EXPECT_TRUE(header.planarFriendly);
        EXPECT_FALSE(decode(jpeg, size).isNull());
    }
}

TEST(DemoPageRenderer, CounterChangesFromFrameToFrameAndModelNamesDrawDifferentPages) {
    const QSize size(800, 600);
    DemoPageRenderer page(QStringLiteral("Orb"), size);
    const QImage first = decode(page.renderJpeg(1), size);
    const QImage second = decode(page.renderJpeg(2), size);
    const QImage againFirst = decode(page.renderJpeg(1), size);
    ASSERT_FALSE(first.isNull());
    const QRect counter = page.counterRect();
    ASSERT_TRUE(QRect(QPoint(0, 0), size).contains(counter));
    EXPECT_GT(differingPixels(first, second, counter), 20);
    EXPECT_EQ(differingPixels(first, againFirst, counter), 0);
    // The counter is bright text on a dark box.
    int bright = 0;
    for (int x = counter.left(); x <= counter.right(); ++x)
        if (qGray(first.pixel(x, counter.center().y())) > 180) ++bright;
    EXPECT_GT(bright, 10);

    DemoPageRenderer kite(QStringLiteral("Kite-1 HD"), size); // another model draws another page
    EXPECT_GT(differingPixels(first, decode(kite.renderJpeg(1), size), QRect(0, 0, size.width(), 120)), 50);
}

TEST(DemoPageRenderer, UnusableSizeGivesNoPicture) {
    LogCapture log;
    DemoPageRenderer page(QStringLiteral("Orb"), QSize(4, 100000));
    EXPECT_TRUE(page.render(1).empty());
    EXPECT_TRUE(log.contains(QStringLiteral("Demo page: unusable size")));
}
