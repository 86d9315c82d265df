// A photo of the built program's --snapshot read back by exiftool, a reader nobody here wrote.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "SnapshotRun.h"
#include "support/ChildProcess.h"

namespace {

QJsonObject exiftool(const QString &path) {
    const ChildResult r = runChild(QStringLiteral("exiftool"),
                                   {QStringLiteral("-j"), QStringLiteral("-G1"), QStringLiteral("-n"), path});
    if (r.exitCode != 0) return {};
    return QJsonDocument::fromJson(r.out).array().first().toObject();
}

} // namespace

TEST(SnapshotExif, MetadataOfASnapshotReadsBackInExiftool) {
    PrivateHome home;
    home.writeDefaults({{QStringLiteral("DCPhotoLibraryLocationKey"), home.library()}});
    const ProgramRun r = home.run({QStringLiteral("--snapshot"), QStringLiteral("--demo=Orb")});
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);

    const QJsonObject tags = exiftool(r.out);
    ASSERT_FALSE(tags.isEmpty()) << "exiftool could not read " << qPrintable(r.out);
    EXPECT_EQ(tags[QStringLiteral("IFD0:Make")].toString(), QStringLiteral("Korva corp"));
    EXPECT_EQ(tags[QStringLiteral("IFD0:Model")].toString(), QStringLiteral("Korva Orbit"));
    EXPECT_EQ(tags[QStringLiteral("IFD0:Software")].toString(), QStringLiteral("Korva Lectern"));
    EXPECT_EQ(tags[QStringLiteral("IFD0:Orientation")].toInt(), 1);
    EXPECT_EQ(tags[QStringLiteral("IFD0:XResolution")].toInt(), 72);
    EXPECT_EQ(tags[QStringLiteral("IFD0:YResolution")].toInt(), 72);
    const QString original = tags[QStringLiteral("ExifIFD:DateTimeOriginal")].toString();
    EXPECT_FALSE(original.isEmpty());
    EXPECT_EQ(tags[QStringLiteral("ExifIFD:CreateDate")].toString(), original); // DateTimeDigitized
    EXPECT_EQ(tags[QStringLiteral("IFD0:ModifyDate")].toString(), original);    // DateTime
    EXPECT_EQ(tags[QStringLiteral("ExifIFD:ExifVersion")].toString(), QStringLiteral("0220"));
    // The date of the name is the date in the tags.
    EXPECT_TRUE(r.out.contains(original.left(10).replace(QLatin1Char(':'), QLatin1Char('-'))));
}
