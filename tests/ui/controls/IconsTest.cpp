// The icon set as the windows reach it: every image renders, at 1x and 2x, and every name the
// windows build is there.
#include "ui/controls/Icons.h"

#include "support/QtTestMain.h"
#include "ui/controls/DCExposureButton.h"

namespace {

bool hasVisiblePixel(const QImage &image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(argb.pixel(x, y)) > 0) return true;
    return false;
}

} // namespace

class IconsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyIconRenders_data();
    void everyIconRenders();
    void theSetHoldsEveryNameTheWindowsBuild();
    void unknownNameIsNullAndLoggedOnce();
};

void IconsTest::everyIconRenders_data() {
    QTest::addColumn<QString>("name");
    const QStringList names = Icons::names();
    QVERIFY(!names.isEmpty()); // no resources linked in
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << name;
}

void IconsTest::everyIconRenders() {
    QFETCH(QString, name);
    const QSize natural = Icons::naturalSize(name);
    QVERIFY(!natural.isEmpty());
    for (qreal ratio : {1.0, 2.0}) {
        // Without the SVG support the icon is not null, yet its pixmaps are.
        const QPixmap pixmap = Icons::pixmap(name, natural, ratio);
        QVERIFY2(!pixmap.isNull(), qPrintable(QStringLiteral("at %1x").arg(ratio)));
        QCOMPARE(pixmap.size(), natural * ratio);
        QVERIFY2(hasVisiblePixel(pixmap.toImage()), qPrintable(QStringLiteral("blank at %1x").arg(ratio)));
    }
}

void IconsTest::theSetHoldsEveryNameTheWindowsBuild() {
    QStringList wanted{"ManualExposureBackground",
                       "Cursor",
                       "CursorOver",
                       "Target-Green",
                       "Target-White",
                       "Target-Red",
                       "Background-Single",
                       "Background-Single-lock",
                       "Background-Continuos",
                       "Background-Continuos-lock",
                       "AppIcon",
                       "ProgrammableKey",
                       "System"};
    for (const char *button :
         {"Camera", "Review", "Full-Screen", "Evernote", "Snapshot", "Put-On-Focus", "Esc"})
        wanted << QStringLiteral("%1-Down").arg(button) << QStringLiteral("%1-Up").arg(button);
    for (int seconds = 0; seconds <= 10; ++seconds)
        wanted << QString::number(seconds);
    // Exposure badges: the fixed steps shown signed (+2 .. -2), slider positions 1 .. 15 either way.
    for (int value = -2; value <= 15; ++value) {
        wanted << QString::asprintf("Exp-%d", value);
        if (value > 0) wanted << QString::asprintf("Exp-+%d", value);
    }
    DCExposureButton exposure;
    exposure.setStyle(0);
    for (int i = 1; i < exposure.numberOfItems(); ++i)
        wanted << QStringLiteral("Exposure_") + exposure.itemTitle(i);

    const QStringList names = Icons::names();
    for (const QString &name : wanted)
        QVERIFY2(names.contains(name), qPrintable(name));
}

void IconsTest::unknownNameIsNullAndLoggedOnce() {
    LogCapture log;
    QVERIFY(Icons::icon(QStringLiteral("No-Such-Image")).isNull());
    QVERIFY(Icons::pixmap(QStringLiteral("No-Such-Image"), QSize(16, 16), 2.0).isNull());
    QVERIFY(Icons::naturalSize(QStringLiteral("No-Such-Image")).isEmpty());
    QCOMPARE(log.messages().filter(QStringLiteral("No-Such-Image")).size(), 1);
}

KL_QTEST_MAIN(IconsTest)
#include "IconsTest.moc"
