#include "photos/JpegFileStreamer.h"

#include <csignal>

#include <sys/resource.h>

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "PhotoTestSupport.h"
#include "photos/ExifTags.h"
#include "photos/ExifThumbnail.h"
#include "photos/JpegCodec.h"
#include "photos/JpegSegments.h"
#include "photos/PhotoWriter.h"

namespace {

const QDateTime kTime(QDate(2013, 4, 9), QTime(10, 11, 12));

// What the whole-buffer path makes of the same picture: TurboJPEG's bytes, 72 dpi, our EXIF.
QByteArray wholeBufferPhoto(const I420Picture &source) {
    const RenderedPicture picture = source.picture();
    QByteArray jpeg = JpegCodec::compressI420(picture.planes, picture.strides, picture.size,
                                              JpegCodec::kDefaultQuality, nullptr);
    JpegSegments::setJfifDensity(jpeg, {1, 72, 72});
    return JpegSegments::withExif(jpeg, ExifTags::snapshotPayload({QStringLiteral("Orb"), kTime, source.size,
                                                                   ExifThumbnail::make(picture)}));
}

} // namespace

// Heights with and without a partial last band of 16 rows, and the smallest picture it takes.
TEST(JpegFileStreamer, WritesExactlyTheBytesOfTheWholeBufferEncoder) {
    for (const QSize size : {QSize(64, 48), QSize(320, 232), QSize(16, 2), QSize(1280, 960)}) {
        SCOPED_TRACE(size.width() * 10000 + size.height());
        const I420Picture source(testPattern(size.width(), size.height()));
        ASSERT_TRUE(JpegFileStreamer::canStream(source.picture()));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.jpg"));
        QString error;
        ASSERT_TRUE(PhotoWriter::writePhoto(source.picture(), {QStringLiteral("Orb"), kTime}, path, &error))
            << qPrintable(error);
        EXPECT_EQ(readFileBytes(path), wholeBufferPhoto(source));
    }
    EXPECT_FALSE(JpegFileStreamer::canStream(I420Picture(testPattern(40, 30)).picture()));
}

// A write that fails half-way (the file size limit of the process) leaves nothing behind and says why.
TEST(JpegFileStreamer, AWriteFailingMidwayLeavesNoFileAndNamesTheCause) {
    const I420Picture source(testPattern(1280, 960));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.jpg"));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096; // the photo is far larger
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written =
        PhotoWriter::writePhoto(source.picture(), {QStringLiteral("Orb"), kTime}, path, &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_TRUE(error.startsWith(QStringLiteral("write"))) << qPrintable(error);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty());
}
