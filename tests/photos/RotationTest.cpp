#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "PhotoTestSupport.h"
#include "photos/ExifThumbnail.h"
#include "photos/ImageUtilities.h"
#include "photos/JpegCodec.h"
#include "photos/JpegHeader.h"
#include "photos/PhotoRotator.h"

namespace {

QImage decodeFile(const QString &path) {
    return JpegCodec::decode(readFileBytes(path));
}

// The metadata a rotation must keep: every EXIF/JFIF tag exiftool reads, pixel sizes included.
QJsonObject metadata(const QString &path) {
    QJsonObject tags =
        exiftool(path, {QStringLiteral("-G1"), QStringLiteral("-n"), QStringLiteral("-EXIF:all"),
                        QStringLiteral("-JFIF:all"), QStringLiteral("-File:ImageWidth"),
                        QStringLiteral("-File:ImageHeight")});
    tags.remove(QStringLiteral("SourceFile"));
    // The embedded thumbnail is made again when the photo turns: its bytes and place change.
    for (const char *key : {"IFD1:ThumbnailOffset", "IFD1:ThumbnailLength", "IFD1:ThumbnailImage"})
        tags.remove(QLatin1String(key));
    return tags;
}

class RotationTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir_.filePath(name); }
    QStringList files() const {
        return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    QTemporaryDir dir_;
};

} // namespace

TEST(RotateByAngle, GeometryOfAnyAngle) {
    const QImage image = testPattern(1600, 1200);
    for (int angle : {0, 360, -720})
        EXPECT_EQ(ImageUtilities::rotateByAngle(image, angle).cacheKey(), image.cacheKey());
    EXPECT_EQ(ImageUtilities::rotateByAngle(image, 90).size(), QSize(1200, 1600));
    EXPECT_EQ(ImageUtilities::rotateByAngle(image, 180).size(), QSize(1600, 1200));
    EXPECT_EQ(ImageUtilities::rotateByAngle(testPattern(100, 100), 45).size(), QSize(141, 141));
    EXPECT_EQ(ImageUtilities::rotateByAngle(testPattern(100, 100), -45).size(), QSize(141, 141));
}

TEST(RotateByAngle, PositiveAnglesTurnCounterClockwise) {
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0)); // left: red
    image.setPixel(1, 0, qRgb(0, 0, 255)); // right: blue
    const QImage left = ImageUtilities::rotateByAngle(image, 90);
    ASSERT_EQ(left.size(), QSize(1, 2));
    EXPECT_EQ(left.pixel(0, 0), qRgb(0, 0, 255)); // the right side came to the top
    const QImage right = ImageUtilities::rotateByAngle(image, -90);
    EXPECT_EQ(right.pixel(0, 0), qRgb(255, 0, 0));

    // A drawn turn keeps the picture centred: the middle pixel keeps its colour.
    QImage square(101, 101, QImage::Format_RGB32);
    square.fill(Qt::white);
    square.setPixel(50, 50, qRgb(0, 0, 0));
    const QImage turned = ImageUtilities::rotateByAngle(square, 30);
    EXPECT_LT(qRed(turned.pixel(turned.width() / 2, turned.height() / 2)), 200);
}

TEST_F(RotationTest, FourLosslessRightTurnsGiveBackTheSamePixels) {
    ASSERT_TRUE(writeTestPhoto(path("p.jpg"), 640, 480));
    const QImage original = decodeFile(path("p.jpg"));
    const QJsonObject tags = metadata(path("p.jpg"));
    for (int turn = 1; turn <= 4; ++turn) {
        ASSERT_TRUE(PhotoRotator::rotateImageAtPath(path("p.jpg"), -90));
        const QSize expected = turn % 2 ? QSize(480, 640) : QSize(640, 480);
        EXPECT_EQ(JpegHeader::parse(readFileBytes(path("p.jpg")), false)->size, expected);
        EXPECT_EQ(metadata(path("p.jpg"))[QStringLiteral("ExifIFD:ExifImageWidth")].toInt(),
                  expected.width());
    }
    const QImage back = decodeFile(path("p.jpg"));
    ASSERT_EQ(back.size(), original.size());
    for (int y = 0; y < back.height(); ++y)
        ASSERT_EQ(std::memcmp(back.constScanLine(y), original.constScanLine(y),
                              3 * static_cast<size_t>(back.width())),
                  0);
    EXPECT_EQ(metadata(path("p.jpg")), tags);
    EXPECT_EQ(files(), QStringList{QStringLiteral("p.jpg")});
}

// 640 x 480 is turned four times above; 1001 x 701 has partial MCU blocks on both edges.
TEST_F(RotationTest, RightThenLeftKeepsSizeAndMetadata) {
    const QSize size(1001, 701);
    const QString file = path(QStringLiteral("p.jpg"));
    ASSERT_TRUE(writeTestPhoto(file, size.width(), size.height()));
    const QJsonObject before = metadata(file);
    const QImage original = decodeFile(file);

    ASSERT_TRUE(PhotoRotator::rotateImageAtPath(file, -90));
    const QImage turned = decodeFile(file);
    EXPECT_EQ(turned.size(), size.transposed());
    EXPECT_LT(meanDifference(turned, ImageUtilities::rotateByAngle(original, -90)), 6.0);
    EXPECT_EQ(metadata(file)[QStringLiteral("ExifIFD:ExifImageHeight")].toInt(), size.width());
    // The photo's own thumbnail turned with it: it looks like the turned photo, not like it upside down.
    const QImage thumbnail = ExifThumbnail::read(file);
    ASSERT_GT(thumbnail.height(), thumbnail.width());
    const auto likeness = [&thumbnail](const QImage &picture) {
        // Scaled through libyuv: QImage's smooth scaling of a large picture runs on Qt's thread pool.
        const QImage small =
            ImageUtilities::scaledToWidth(picture.convertToFormat(QImage::Format_RGB32), thumbnail.width());
        return meanDifference(thumbnail, small.copy(QRect(QPoint(0, 0), thumbnail.size())));
    };
    EXPECT_LT(likeness(turned), likeness(ImageUtilities::rotateByAngle(turned, 180)));

    ASSERT_TRUE(PhotoRotator::rotateImageAtPath(file, 90));
    EXPECT_EQ(metadata(file), before);
    EXPECT_LT(meanDifference(decodeFile(file), original), 6.0);
}

TEST_F(RotationTest, OtherAnglesFollowTheDrawnGeometry) {
    ASSERT_TRUE(writeTestPhoto(path("p.jpg"), 400, 300));
    ASSERT_TRUE(PhotoRotator::rotateImageAtPath(path("p.jpg"), 30));
    const QSize expected = ImageUtilities::rotatedSize(QSize(400, 300), 30);
    EXPECT_EQ(decodeFile(path("p.jpg")).size(), expected);
    EXPECT_EQ(metadata(path("p.jpg"))[QStringLiteral("ExifIFD:ExifImageWidth")].toInt(), expected.width());
    EXPECT_EQ(metadata(path("p.jpg"))[QStringLiteral("IFD0:Make")].toString(), QStringLiteral("Korva corp"));
}

TEST_F(RotationTest, FailedRotationLeavesTheFileUntouched) {
    ASSERT_TRUE(writeTestPhoto(path("good.jpg"), 320, 240));
    const QByteArray good = readFileBytes(path("good.jpg"));
    writeFileBytes(path("text.jpg"), "no picture");
    writeFileBytes(path("truncated.jpg"), good.left(good.size() * 2 / 3));
    writeFileBytes(path("empty.jpg"), QByteArray());
    QByteArray corrupt = good;
    for (qsizetype i = corrupt.size() / 2; i < corrupt.size() - 2; i += 7)
        corrupt[i] = static_cast<char>(0xFF);
    writeFileBytes(path("corrupt.jpg"), corrupt);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.jpg")).constData(), 0644), 0);

    for (const char *name : {"text.jpg", "truncated.jpg", "empty.jpg", "corrupt.jpg"}) {
        SCOPED_TRACE(name);
        const QByteArray before = readFileBytes(path(QString::fromLatin1(name)));
        for (int angle : {-90, 90, 180, 45}) {
            QString error;
            EXPECT_FALSE(PhotoRotator::rotateImageAtPath(path(QString::fromLatin1(name)), angle, &error));
            EXPECT_FALSE(error.isEmpty());
        }
        EXPECT_EQ(readFileBytes(path(QString::fromLatin1(name))), before);
    }
    EXPECT_FALSE(PhotoRotator::rotateImageAtPath(path("fifo.jpg"), -90));
    EXPECT_FALSE(PhotoRotator::rotateImageAtPath(path("missing.jpg"), -90));
    EXPECT_EQ(files().size(), 6); // no temporary files left
}
