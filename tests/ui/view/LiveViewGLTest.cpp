// The live picture through OpenGL, in a real X server (Xvfb, Mesa's software renderer).
#include <QSignalSpy>

#include "CaptureTestImages.h"
#include "ViewTestFrames.h"
#include "capture/SimCaptureSource.h"
#include "devices/sim/SimCamera.h"
#include "support/QtTestMain.h"
#include "ui/view/DCCaptureView.h"
#include "ui/view/PictureFit.h"

class LiveViewGLTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY2(DCCaptureView::openGLSupport().available, "Xvfb offers no OpenGL"); }

    // The shader's colours, the letterbox and mirroring in texture coordinates, on a known frame.
    void knownFrameIsDrawnLetterboxedAndMirrored() {
        DCCaptureView view(nullptr, DCCaptureView::Drawing::OpenGL);
        QVERIFY(view.usesOpenGL());
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy shown(&view, &DCCaptureView::pictureShown);
        view.setImage(ViewTestFrames::grid(QSize(320, 240), true, true));
        QVERIFY(shown.wait(3000));
        const QImage image = view.grab().toImage();
        const QRect place = PictureFit::fitPixels(QSize(320, 240), image.rect());
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column) {
                const QColor colour = ViewTestFrames::cellCentre(image, place, column, row);
                QVERIFY2(
                    CaptureTestImages::near(colour, ViewTestFrames::expectedCell(column, row, true, true)),
                    qPrintable(QStringLiteral("cell %1,%2 is %3").arg(column).arg(row).arg(colour.name())));
            }
        QVERIFY(ViewTestFrames::isBlack(image, QRect(0, 0, place.left() - 1, image.height())));
        QVERIFY(ViewTestFrames::isBlack(image, QRect(place.right() + 2, 0, image.width(), image.height())));
    }

    // The demo camera's moving page: two grabs a second apart differ, and neither is blank.
    void showsAMovingPicture() {
        DCCaptureView view(nullptr, DCCaptureView::Drawing::OpenGL);
        view.resize(640, 480);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        SimCaptureSource camera(std::make_shared<SimCamera>(), QStringLiteral("Wren-HD"));
        QVERIFY(camera.open());
        QVERIFY(camera.start(QSize(640, 480), [&view](std::shared_ptr<const Frame> frame) {
            view.setImage(std::move(frame));
        }));
        QSignalSpy shown(&view, &DCCaptureView::pictureShown);
        QVERIFY(shown.wait(3000));
        const QImage first = view.grab().toImage();
        QTest::qWait(1000);
        const QImage second = view.grab().toImage();
        camera.stop();
        camera.close();
        QVERIFY(ViewTestFrames::sampledColours(first) >= 8);
        QVERIFY(ViewTestFrames::sampledColours(second) >= 8);
        QVERIFY(first != second);
        QVERIFY(shown.count() > 5);
    }
};

KL_QTEST_MAIN(LiveViewGLTest)
#include "LiveViewGLTest.moc"
