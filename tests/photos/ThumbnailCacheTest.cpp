#include "photos/ThumbnailCache.h"

#include <sys/stat.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include "PhotoTestSupport.h"
#include "photos/JpegCodec.h"
#include "support/ChildProcess.h"

namespace {

bool isRed(QRgb pixel) {
    return qRed(pixel) > 240 && qGreen(pixel) < 16 && qBlue(pixel) < 16;
}

class ThumbnailCacheTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
    ThumbnailCache cache_{dir_.filePath(QStringLiteral("thumbnails"))};
};

} // namespace

TEST(DctScaling, SmallestScaleThatCoversTheWidth) {
    EXPECT_EQ(JpegCodec::scaledSize(QSize(2592, 1944), 160), QSize(324, 243));   // 1/8
    EXPECT_EQ(JpegCodec::scaledSize(QSize(2592, 1944), 325), QSize(648, 486));   // 1/4 (2/8)
    EXPECT_EQ(JpegCodec::scaledSize(QSize(2592, 1944), 1296), QSize(1296, 972)); // 1/2
    EXPECT_EQ(JpegCodec::scaledSize(QSize(100, 80), 160), QSize(100, 80));       // never up
}

TEST_F(ThumbnailCacheTest, StoredInTheSharedCacheAndReusedUntilTheFileChanges) {
    // A real photo's URI is long: Qt stores such a text compressed (zTXt), which must be read back.
    const QString photo = path(QStringLiteral("Photos of the fourth form, 2026-12-07 0001.jpg"));
    ASSERT_TRUE(writeTestPhoto(photo, 1280, 960));
    // Wider than the photo's own EXIF thumbnail, so it is made and stored.
    const QImage thumb = cache_.thumbnail(photo, 200);
    EXPECT_EQ(thumb.size(), QSize(200, 150));

    const QString uri = QString::fromUtf8(QUrl::fromLocalFile(photo).toEncoded());
    const QString md5 =
        QString::fromLatin1(QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex());
    const QString stored = dir_.filePath(QStringLiteral("thumbnails/large/%1.png").arg(md5));
    EXPECT_EQ(cache_.cachePath(photo, 160), stored);
    const QString mtime = QString::number(QFileInfo(photo).lastModified().toSecsSinceEpoch());
    const QJsonObject tags = exiftool(stored, {QStringLiteral("-G1")}); // as other programs read it
    EXPECT_EQ(tags[QStringLiteral("PNG:ThumbURI")].toString(), uri);
    EXPECT_EQ(tags[QStringLiteral("PNG:ThumbMTime")].toVariant().toString(), mtime);
    EXPECT_EQ(QImageReader(stored).size(), QSize(256, 192)); // the "large" flavour's box
    EXPECT_EQ(QFile::permissions(stored) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);

    // A stored thumbnail is used as it is: replace it with a marker picture carrying the same keys.
    QImage marker(256, 192, QImage::Format_RGB32);
    marker.fill(Qt::red);
    marker.setText(QStringLiteral("Thumb::URI"), uri);
    marker.setText(QStringLiteral("Thumb::MTime"), mtime);
    ASSERT_TRUE(marker.save(stored, "PNG"));
    EXPECT_TRUE(isRed(cache_.thumbnail(photo, 160).pixel(80, 60)));

    // A newer file makes it stale.
    QFile file(photo);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
    file.close();
    EXPECT_FALSE(isRed(cache_.thumbnail(photo, 160).pixel(80, 60)));
    EXPECT_EQ(cache_.thumbnail(photo, 100).size(), QSize(100, 75)); // the "normal" flavour
}

TEST_F(ThumbnailCacheTest, BadFilesGiveNoThumbnailAndAreNotRetried) {
    ASSERT_TRUE(writeTestPhoto(path("good.jpg"), 640, 480));
    const QByteArray good = readFileBytes(path("good.jpg"));
    writeFileBytes(path("truncated.jpg"), good.left(good.size() / 2));
    writeFileBytes(path("text.jpg"), "no picture");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.jpg")).constData(), 0644), 0);

    EXPECT_EQ(cache_.thumbnail(path("truncated.jpg"), 160).size(), QSize(160, 120)); // what could be decoded
    EXPECT_TRUE(cache_.thumbnail(path("text.jpg"), 160).isNull());
    EXPECT_TRUE(QFile::exists(cache_.failurePath(path("text.jpg"))));
    EXPECT_TRUE(cache_.thumbnail(path("text.jpg"), 160).isNull());
    EXPECT_TRUE(cache_.thumbnail(path("fifo.jpg"), 160).isNull());
    EXPECT_TRUE(cache_.thumbnail(path("missing.jpg"), 160).isNull());
    EXPECT_TRUE(cache_.thumbnail(path("good.jpg"), 0).isNull());

    // Once the file is repaired it gets its thumbnail.
    QFile::remove(path("text.jpg"));
    ASSERT_TRUE(writeTestPhoto(path("text.jpg"), 640, 480));
    QFile repaired(path("text.jpg"));
    ASSERT_TRUE(repaired.open(QIODevice::ReadWrite));
    repaired.setFileTime(QDateTime::currentDateTime().addSecs(120), QFileDevice::FileModificationTime);
    repaired.close();
    EXPECT_EQ(cache_.thumbnail(path("text.jpg"), 160).size(), QSize(160, 120));
}

TEST(PngTexts, CompressedTextsAreReadAndDamagedOnesSkipped) {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QString uri = QStringLiteral("file:///home/teacher/Pictures/Korva%20Lectern/2026-12-07_0001.jpg");
    image.setText(QStringLiteral("Thumb::URI"), uri);
    image.setText(QStringLiteral("Thumb::MTime"), QStringLiteral("1765000000"));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "PNG"));
    ASSERT_TRUE(png.contains("zTXt")); // how Qt stores the long one
    EXPECT_EQ(ThumbnailCache::pngTexts(png).value(QStringLiteral("Thumb::URI")), uri);
    EXPECT_EQ(ThumbnailCache::pngTexts(png).value(QStringLiteral("Thumb::MTime")), "1765000000");

    // A damaged stream (its data cut short, the chunk still well formed) gives no value.
    const qsizetype chunk = png.indexOf("zTXt");
    png[chunk + 4 + qsizetype(strlen("Thumb::URI")) + 4] ^= 0x5A;
    EXPECT_FALSE(ThumbnailCache::pngTexts(png).contains(QStringLiteral("Thumb::URI")));
}

// Our photos carry a thumbnail of their own, which other programs read and which spares the cache a
// decode: a cold cache shows it at once and stores nothing.
TEST_F(ThumbnailCacheTest, OurPhotosCarryTheirOwnThumbnail) {
    const QString photo = path(QStringLiteral("wide.jpg"));
    ASSERT_TRUE(writeTestPhoto(photo, 1600, 900));
    const ChildResult extracted = runChild(QStringLiteral("exiftool"),
                                           {QStringLiteral("-b"), QStringLiteral("-ThumbnailImage"), photo});
    const auto info = JpegCodec::info(extracted.out);
    ASSERT_TRUE(info.has_value()) << "exiftool finds no thumbnail";
    EXPECT_EQ(info->size, QSize(160, 90));

    const QImage thumb = cache_.thumbnail(photo, 120);
    EXPECT_EQ(thumb.size(), QSize(120, 68));
    EXPECT_FALSE(QFile::exists(cache_.cachePath(photo, 120)));
    // Wider than that, the photo itself is decoded and the result kept.
    EXPECT_EQ(cache_.thumbnail(photo, 200).width(), 200);
    EXPECT_TRUE(QFile::exists(cache_.cachePath(photo, 200)));
}
