#include <random>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "PhotoTestSupport.h"
#include "photos/ExifTags.h"
#include "photos/JpegHeader.h"
#include "photos/JpegSegments.h"
#include "photos/PhotoImage.h"
#include "photos/PhotoRotator.h"
#include "photos/ThumbnailCache.h"

namespace {

QByteArray be16(int v) {
    return QByteArray{char((v >> 8) & 0xFF), char(v & 0xFF)};
}
QByteArray be32(quint32 v) {
    return be16(int(v >> 16)) + be16(int(v & 0xFFFF));
}
QByteArray ifdEntry(int tag, int type, quint32 count, quint32 value) {
    return be16(tag) + be16(type) + be32(count) + be32(value);
}
QByteArray tiff(const QByteArray &body) {
    return QByteArray("Exif\0\0MM\0\x2a", 10) + be32(8) + body;
}

// EXIF blocks written to hurt a reader: loops between IFDs, counts far beyond the data.
std::vector<std::pair<const char *, QByteArray>> hostileExif() {
    return {
        {"IFD0 links to itself", tiff(be16(1) + ifdEntry(0x010F, 2, 4, 0x41424300) + be32(8))},
        {"EXIF pointer back to IFD0", tiff(be16(1) + ifdEntry(0x8769, 4, 1, 8) + be32(0))},
        {"65535 entries announced", tiff(be16(0xFFFF) + ifdEntry(0x010F, 2, 4, 0x41424300) + be32(0))},
        {"string of 4 G characters", tiff(be16(1) + ifdEntry(0x010F, 2, 0xFFFFFFFF, 0xFFFFFFF0) + be32(0))},
        {"date far out of range", tiff(be16(1) + ifdEntry(0x0132, 2, 20, 0x7FFFFFFF) + be32(0))},
        {"next IFD beyond the end", tiff(be16(0) + be32(0xFFFFFFF0))},
        {"only the header", QByteArray("Exif\0\0MM", 8)},
    };
}

class JpegParsingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeTestPhoto(dir_.filePath(QStringLiteral("good.jpg")), 320, 240));
        good_ = readFileBytes(dir_.filePath(QStringLiteral("good.jpg")));
    }
    QTemporaryDir dir_;
    QByteArray good_;
};

} // namespace

TEST_F(JpegParsingTest, FrameHeaderIsFoundWithoutDecoding) {
    const auto header = JpegHeader::parse(good_, true);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->size, QSize(320, 240));
    EXPECT_EQ(header->components, 3);
    EXPECT_TRUE(header->exifPayload.startsWith(QByteArray("Exif\0\0", 6)));
    EXPECT_TRUE(ExifTags::dateTimeOriginal(header->exifPayload).has_value());

    QByteArray padded = good_;
    padded.insert(2, QByteArray(5, char(0xFF))); // fill bytes before a marker are legal
    EXPECT_EQ(JpegHeader::parse(padded, false)->size, QSize(320, 240));
}

TEST_F(JpegParsingTest, BrokenStructuresGiveNoSizeButAnswer) {
    EXPECT_FALSE(JpegHeader::parse(QByteArray("GIF89a"), false));
    EXPECT_FALSE(JpegHeader::parse(QByteArray(), false));
    EXPECT_FALSE(JpegHeader::parse(good_.left(30), false)->size.isValid()); // cut inside the EXIF segment

    QByteArray scanFirst("\xFF\xD8\xFF\xDA\x00\x02", 6);
    EXPECT_FALSE(JpegHeader::parse(scanFirst + good_.mid(2), false)->size.isValid());

    QByteArray endless("\xFF\xD8", 2);
    for (int i = 0; i < JpegHeader::kMaxSegments + 10; ++i)
        endless += QByteArray("\xFF\xE2\x00\x02", 4);
    EXPECT_FALSE(JpegHeader::parse(endless + good_.mid(2), false)->size.isValid());

    QByteArray zeroWidth = good_;
    const auto header = JpegHeader::parse(good_, true);
    // The photo's own frame header, after the EXIF segment (whose thumbnail has one of its own).
    const qsizetype sof =
        zeroWidth.indexOf(QByteArray("\xFF\xC0", 2), header->exifSegmentOffset + header->exifSegmentLength);
    ASSERT_GT(sof, 0);
    zeroWidth[sof + 7] = 0;
    zeroWidth[sof + 8] = 0;
    EXPECT_FALSE(JpegHeader::parse(zeroWidth, false)->size.isValid());
    EXPECT_TRUE(header->size.isValid());
}

TEST_F(JpegParsingTest, HostileExifIsReadSafelyEverywhere) {
    ThumbnailCache cache(dir_.filePath(QStringLiteral("thumbs")));
    for (const auto &[what, payload] : hostileExif()) {
        SCOPED_TRACE(what);
        const QString path = dir_.filePath(QStringLiteral("hostile.jpg"));
        QFile::remove(path);
        writeFileBytes(path, JpegSegments::withExif(good_, payload));

        EXPECT_FALSE(ExifTags::dateTimeOriginal(payload).has_value());
        ExifTags::withPixelDimensions(payload, QSize(240, 320));
        const PhotoImage::Probe probe = PhotoImage::probe(path, true);
        EXPECT_EQ(probe.size, QSize(320, 240));
        EXPECT_FALSE(cache.thumbnail(path, 100).isNull());

        const QByteArray before = readFileBytes(path);
        if (PhotoRotator::rotateImageAtPath(path, -90))
            EXPECT_EQ(PhotoImage::probe(path, false).size, QSize(240, 320));
        else
            EXPECT_EQ(readFileBytes(path), before);
    }
}

TEST_F(JpegParsingTest, MutatedExifNeverCrashes) {
    const QByteArray payload = JpegHeader::parse(good_, true)->exifPayload;
    std::mt19937 random(20130409);
    for (int round = 0; round < 400; ++round) {
        QByteArray mutated = payload;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i)
            mutated[static_cast<qsizetype>(6 + random() % (mutated.size() - 6))] =
                static_cast<char>(random());
        ExifTags::dateTimeOriginal(mutated);
        const QByteArray rewritten = ExifTags::withPixelDimensions(mutated, QSize(10, 20));
        EXPECT_LE(rewritten.size(), ExifTags::kMaxPayload);
        JpegHeader::parse(JpegSegments::withExif(good_, mutated), true);
    }
}
