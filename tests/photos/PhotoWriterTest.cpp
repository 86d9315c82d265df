#include "photos/PhotoWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "PhotoTestSupport.h"
#include "photos/AtomicFileWriter.h"
#include "photos/JpegCodec.h"

namespace {

QStringList filesIn(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

class PhotoWriterTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    QString path(const QString &name) const { return dir_.filePath(name); }
};

} // namespace

TEST_F(PhotoWriterTest, MetadataReadsBackExactlyInExiftool) {
    const QDateTime time(QDate(2013, 4, 9), QTime(10, 11, 12));
    ASSERT_TRUE(writeTestPhoto(path("a.jpg"), 640, 480, time, QStringLiteral("Wren-HD")));

    const QJsonObject tags = exiftool(path("a.jpg"), {QStringLiteral("-G1"), QStringLiteral("-n")});
    ASSERT_FALSE(tags.isEmpty());
    EXPECT_EQ(tags[QStringLiteral("IFD0:Make")].toString(), QStringLiteral("Korva corp"));
    EXPECT_EQ(tags[QStringLiteral("IFD0:Model")].toString(), QStringLiteral("Wren-HD"));
    EXPECT_EQ(tags[QStringLiteral("IFD0:Software")].toString(), QStringLiteral("Korva Lectern"));
    EXPECT_EQ(tags[QStringLiteral("IFD0:Orientation")].toInt(), 1);
    EXPECT_EQ(tags[QStringLiteral("IFD0:XResolution")].toInt(), 72);
    EXPECT_EQ(tags[QStringLiteral("IFD0:YResolution")].toInt(), 72);
    EXPECT_EQ(tags[QStringLiteral("JFIF:XResolution")].toInt(), 72);
    EXPECT_EQ(tags[QStringLiteral("JFIF:YResolution")].toInt(), 72);
    const QString date = QStringLiteral("2013:04:09 10:11:12");
    EXPECT_EQ(tags[QStringLiteral("ExifIFD:DateTimeOriginal")].toString(), date);
    EXPECT_EQ(tags[QStringLiteral("ExifIFD:CreateDate")].toString(), date); // DateTimeDigitized
    EXPECT_EQ(tags[QStringLiteral("IFD0:ModifyDate")].toString(), date);    // DateTime
    EXPECT_EQ(tags[QStringLiteral("ExifIFD:ExifVersion")].toString(), QStringLiteral("0220"));
    EXPECT_EQ(tags[QStringLiteral("ExifIFD:ExifImageWidth")].toInt(), 640);
    EXPECT_EQ(tags[QStringLiteral("ExifIFD:ExifImageHeight")].toInt(), 480);
    EXPECT_EQ(tags[QStringLiteral("File:ImageWidth")].toInt(), 640);

    const QJsonObject validation =
        exiftool(path("a.jpg"), {QStringLiteral("-validate"), QStringLiteral("-warning")});
    EXPECT_EQ(validation[QStringLiteral("Validate")].toString(), QStringLiteral("OK"));
}

TEST_F(PhotoWriterTest, PixelsAreThePicture) {
    const QImage source = testPattern(321, 243); // odd sizes: chroma planes round up
    const I420Picture yuv(source);
    ASSERT_TRUE(PhotoWriter::writePhoto(yuv.picture(), {QStringLiteral("Orb"), QDateTime::currentDateTime()},
                                        path("yuv.jpg")));
    const QImage decoded = JpegCodec::decode(readFileBytes(path("yuv.jpg")));
    EXPECT_LT(meanDifference(decoded, source), 8.0);

    const QImage packed = source.convertToFormat(QImage::Format_RGB888);
    RenderedPicture rgb;
    rgb.format = RenderedPicture::Format::RGB888;
    rgb.size = packed.size();
    rgb.planes[0] = packed.constBits();
    rgb.strides[0] = static_cast<int>(packed.bytesPerLine());
    ASSERT_TRUE(
        PhotoWriter::writePhoto(rgb, {QStringLiteral("Orb"), QDateTime::currentDateTime()}, path("rgb.jpg")));
    EXPECT_LT(meanDifference(JpegCodec::decode(readFileBytes(path("rgb.jpg"))), source), 8.0);
}

TEST_F(PhotoWriterTest, ExistingFileIsNeverOverwritten) {
    writeFileBytes(path("taken.jpg"), "precious");
    EXPECT_FALSE(writeTestPhoto(path("taken.jpg"), 64, 48));
    EXPECT_EQ(readFileBytes(path("taken.jpg")), QByteArray("precious"));
    EXPECT_EQ(filesIn(dir_.path()), QStringList{QStringLiteral("taken.jpg")}); // no temporary left behind

    // Also when the name appears between the writer's start and its rename.
    AtomicFileWriter writer(path("late.jpg"), AtomicFileWriter::Mode::NeverOverwrite);
    ASSERT_TRUE(writer.open());
    ASSERT_TRUE(writer.write(QByteArray("new")));
    writeFileBytes(path("late.jpg"), "first");
    EXPECT_FALSE(writer.commit());
    EXPECT_EQ(readFileBytes(path("late.jpg")), QByteArray("first"));
    EXPECT_EQ(filesIn(dir_.path()).size(), 2);
}

TEST_F(PhotoWriterTest, FailureBeforeRenameLeavesNothing) {
    {
        AtomicFileWriter writer(path("photo.jpg"), AtomicFileWriter::Mode::NeverOverwrite);
        ASSERT_TRUE(writer.open());
        ASSERT_TRUE(writer.write(QByteArray(100000, 'x')));
        EXPECT_TRUE(QFile::exists(writer.temporaryPath()));
        EXPECT_FALSE(QFile::exists(path("photo.jpg"))); // nothing under the final name while writing
    }                                                   // gives up without commit()
    EXPECT_TRUE(filesIn(dir_.path()).isEmpty());
}

TEST_F(PhotoWriterTest, UnusableInputOrFolderFailsWithoutAFile) {
    QString error;
    RenderedPicture empty;
    EXPECT_FALSE(PhotoWriter::writePhoto(empty, {}, path("empty.jpg"), &error));
    EXPECT_FALSE(error.isEmpty());

    const I420Picture yuv(testPattern(32, 32));
    RenderedPicture narrow = yuv.picture();
    narrow.strides[1] = 4; // shorter than a chroma row
    EXPECT_FALSE(PhotoWriter::writePhoto(narrow, {}, path("narrow.jpg")));

    error.clear();
    EXPECT_FALSE(PhotoWriter::writePhoto(yuv.picture(), {}, path("missing/folder.jpg"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(filesIn(dir_.path()).isEmpty());
}

TEST_F(PhotoWriterTest, ReplaceKeepsPermissions) {
    writeFileBytes(path("p.jpg"), "old");
    QFile::setPermissions(path("p.jpg"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_TRUE(
        AtomicFileWriter::writeFile(path("p.jpg"), {QByteArray("new")}, AtomicFileWriter::Mode::Replace));
    EXPECT_EQ(readFileBytes(path("p.jpg")), QByteArray("new"));
    const QFileDevice::Permissions permissions = QFile::permissions(path("p.jpg"));
    EXPECT_TRUE(permissions & QFileDevice::WriteOwner);
    EXPECT_FALSE(permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther));
}
