// The picture views on the offscreen platform, where the live picture is painted.
#include <QSignalSpy>

#include "CaptureTestImages.h"
#include "ViewTestFrames.h"
#include "support/QtTestMain.h"
#include "ui/view/DCCameraView.h"
#include "ui/view/DCCaptureView.h"
#include "ui/view/DCPreviewImageView.h"
#include "ui/view/DCShutterView.h"
#include "ui/view/PictureFit.h"

using ViewTestFrames::cellCentre;
using ViewTestFrames::expectedCell;
using ViewTestFrames::isBlack;

class PictureViewsTest : public QObject {
    Q_OBJECT

    // Shows `frame` in `view` and waits until it is on screen.
    static bool showFrame(DCCaptureView &view, const FramePointer &frame) {
        QSignalSpy shown(&view, &DCCaptureView::pictureShown);
        view.setImage(frame);
        return shown.wait(2000);
    }

    static void verifyGrid(const QImage &image, QSize extent, bool hFlipped, bool vFlipped) {
        const QRect place = PictureFit::fitPixels(extent, image.rect());
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column) {
                const QColor colour = cellCentre(image, place, column, row);
                QVERIFY2(
                    CaptureTestImages::near(colour, expectedCell(column, row, hFlipped, vFlipped)),
                    qPrintable(QStringLiteral("cell %1,%2 is %3").arg(column).arg(row).arg(colour.name())));
            }
        // The bars beside the picture, one pixel clear of its edge.
        QVERIFY(isBlack(image, QRect(0, 0, place.left() - 1, image.height())));
        QVERIFY(isBlack(image, QRect(place.right() + 2, 0, image.width(), image.height())));
        QVERIFY(isBlack(image, QRect(0, 0, image.width(), place.top() - 1)));
        QVERIFY(isBlack(image, QRect(0, place.bottom() + 2, image.width(), image.height())));
    }

private Q_SLOTS:
    void livePictureIsPaintedLetterboxed_data() {
        QTest::addColumn<QSize>("viewSize");
        QTest::addColumn<bool>("hFlipped");
        QTest::addColumn<bool>("vFlipped");
        QTest::newRow("pillarbox") << QSize(400, 200) << false << false;
        QTest::newRow("letterbox, mirrored") << QSize(300, 400) << true << false;
        QTest::newRow("upside down and mirrored") << QSize(320, 240) << true << true;
    }
    void livePictureIsPaintedLetterboxed() {
        QFETCH(QSize, viewSize);
        QFETCH(bool, hFlipped);
        QFETCH(bool, vFlipped);
        DCCaptureView view;
        QVERIFY(!view.usesOpenGL());
        view.resize(viewSize);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(isBlack(view.grab().toImage(), view.rect())); // no frame yet
        QVERIFY(showFrame(view, ViewTestFrames::grid(QSize(320, 240), hFlipped, vFlipped)));
        verifyGrid(view.grab().toImage(), QSize(320, 240), hFlipped, vFlipped);
    }

    // A camera switching to another size mid-stream, and sizes down to nothing, crash nothing.
    void newFrameSizeAndTinyViews() {
        DCCaptureView view;
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(showFrame(view, ViewTestFrames::grid(QSize(320, 240))));
        QVERIFY(showFrame(view, ViewTestFrames::grid(QSize(120, 360))));
        verifyGrid(view.grab().toImage(), QSize(120, 360), false, false);
        for (const QSize size : {QSize(1, 1), QSize(0, 0), QSize(3, 1)}) {
            view.resize(size);
            view.setImage(ViewTestFrames::grid(QSize(64, 48)));
            QTest::qWait(50);
            view.grab();
        }
    }

    // A view taken off screen decodes nothing; shown again, it catches up with the newest frame.
    void hiddenViewDecodesNothing() {
        DCCameraView camera;
        auto *live = new DCCaptureView;
        auto *shutter = new DCShutterView;
        camera.setContentView(live);
        camera.resize(320, 240);
        camera.show();
        QVERIFY(QTest::qWaitForWindowExposed(&camera));
        QVERIFY(showFrame(*live, ViewTestFrames::grid(QSize(64, 48))));

        camera.setContentView(shutter);
        const quint64 decoded = live->decodedFrames();
        QSignalSpy shown(live, &DCCaptureView::pictureShown);
        for (int i = 0; i < 3; ++i)
            live->setImage(ViewTestFrames::grid(QSize(320, 240)));
        QTest::qWait(200);
        QCOMPARE(live->decodedFrames(), decoded);
        QCOMPARE(shown.count(), 0);
        QVERIFY(isBlack(camera.grab().toImage(), camera.rect()));

        camera.setContentView(live);
        QVERIFY(shown.wait(2000));
        QCOMPARE(shown.takeFirst().at(0).toULongLong(), 4ull);
        verifyGrid(camera.grab().toImage(), QSize(320, 240), false, false);
    }

    void previewShowsItsImageFittedOnBlack() {
        DCPreviewImageView preview;
        preview.resize(200, 300);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.setImage(ViewTestFrames::grid(QSize(640, 480), true, false));
        verifyGrid(preview.grab().toImage(), QSize(640, 480), true, false);
        preview.setImage(nullptr);
        QVERIFY(isBlack(preview.grab().toImage(), preview.rect()));
    }
};

KL_QTEST_MAIN(PictureViewsTest)
#include "PictureViewsTest.moc"
