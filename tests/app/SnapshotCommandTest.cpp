// The built program's --snapshot with the simulated camera, as a script would run it.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "SnapshotRun.h"
#include "photos/JpegCodec.h"

namespace {

// The Wren-HD entry of the settings store: resolution index 7 is 640 x 480.
QJsonObject wrenSettings(const PrivateHome &home, bool hFlipped) {
    const QJsonObject wren{{QStringLiteral("Resolution"), 7},
                           {QStringLiteral("HFlipped"), hFlipped},
                           {QStringLiteral("VFlipped"), false}};
    return {{QStringLiteral("DCPhotoLibraryLocationKey"), home.library()},
            {QStringLiteral("SnapshotSoundEffectSwitchKey"), false},
            {QStringLiteral("DCDevices"), QJsonObject{{QStringLiteral("Wren-HD"), wren}}}};
}

double meanDifference(const QImage &a, const QImage &b) {
    if (a.size() != b.size() || a.isNull()) return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qGray(p) - qGray(q));
        }
    return sum / (double(a.width()) * a.height());
}

QImage photo(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return JpegCodec::decode(file.readAll());
}

} // namespace

TEST(SnapshotCommand, DemoPhotoHasTheStoredResolutionAndMirror) {
    PrivateHome plain, mirrored;
    plain.writeDefaults(wrenSettings(plain, false));
    mirrored.writeDefaults(wrenSettings(mirrored, true));

    const ProgramRun a = plain.run({QStringLiteral("--snapshot"), QStringLiteral("--demo")});
    ASSERT_EQ(a.exitCode, 0) << qPrintable(a.err);
    EXPECT_EQ(QFileInfo(a.out).absolutePath(), plain.library());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_0001\\.jpg$"))
                    .match(QFileInfo(a.out).fileName())
                    .hasMatch())
        << qPrintable(a.out);
    const ProgramRun b = mirrored.run({QStringLiteral("--snapshot"), QStringLiteral("--demo=Wren-HD")});
    ASSERT_EQ(b.exitCode, 0) << qPrintable(b.err);

    const QImage straight = photo(a.out), flipped = photo(b.out);
    ASSERT_EQ(straight.size(), QSize(640, 480));
    ASSERT_EQ(flipped.size(), QSize(640, 480));
    // The same page, mirrored left to right (only the pen and the frame counter move between frames).
    const double asMirror = meanDifference(flipped, straight.mirrored(true, false));
    const double asIs = meanDifference(flipped, straight);
    EXPECT_LT(asMirror, 6.0);
    EXPECT_GT(asIs, 3 * asMirror);

    // The counter survives the end of the program: the next photo of the day is number 2.
    const ProgramRun again = plain.run({QStringLiteral("--snapshot"), QStringLiteral("--demo")});
    ASSERT_EQ(again.exitCode, 0) << qPrintable(again.err);
    EXPECT_TRUE(again.out.endsWith(QStringLiteral("_0002.jpg"))) << qPrintable(again.out);
}

TEST(SnapshotCommand, SelfTimerCountsDownBeforeThePicture) {
    PrivateHome home;
    home.writeDefaults(wrenSettings(home, false));
    QElapsedTimer clock;
    clock.start();
    const ProgramRun r = home.run({QStringLiteral("--snapshot"), QStringLiteral("--demo"),
                                   QStringLiteral("--timer"), QStringLiteral("3")});
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    EXPECT_GE(clock.elapsed(), 3000);
    EXPECT_EQ(photo(r.out).size(), QSize(640, 480));
}

TEST(SnapshotCommand, NoCameraIsAnErrorWithAReason) {
    PrivateHome home;
    home.writeDefaults(wrenSettings(home, false));
    const ProgramRun r = home.run({QStringLiteral("--snapshot")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("no camera found"))) << qPrintable(r.err);

    const ProgramRun unknown = home.run({QStringLiteral("--snapshot"), QStringLiteral("--demo=Nonesuch")});
    EXPECT_EQ(unknown.exitCode, 2);
}
