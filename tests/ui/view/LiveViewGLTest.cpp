// The live picture through OpenGL, in a real X server (Xvfb, Mesa's software renderer).
#include <QSignalSpy>

#include "CaptureTestImages.h"
#include "ViewTestFrames.h"
#include "capture/ImageManipulator.h"
#include "capture/SimCaptureSource.h"
#include "devices/sim/SimCamera.h"
#include "support/QtTestMain.h"
#include "ui/view/DCCaptureView.h"
#include "ui/view/PictureFit.h"

class LiveViewGLTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY2(DCCaptureView::openGLSupport().available, "Xvfb offers no OpenGL"); }

    // The shader's colours, the letterbox, and zoom and mirroring in texture coordinates, on a known
    // frame; then a frame of another size and sizes down to nothing.
    void knownFrameIsDrawnLetterboxedZoomedAndMirrored_data() {
        QTest::addColumn<float>("zoom");
        QTest::addColumn<bool>("hFlipped");
        QTest::addColumn<bool>("vFlipped");
        QTest::newRow("mirrored both ways") << 1.0f << true << true;
        QTest::newRow("zoomed 2x, mirrored") << 2.0f << true << false;
    }
    void knownFrameIsDrawnLetterboxedZoomedAndMirrored() {
        QFETCH(float, zoom);
        QFETCH(bool, hFlipped);
        QFETCH(bool, vFlipped);
        DCCaptureView view(nullptr, DCCaptureView::Drawing::OpenGL);
        QVERIFY(view.usesOpenGL());
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy shown(&view, &DCCaptureView::pictureShown);
        ZoomState state;
        state.zoom = zoom;
        state.hFlipped = hFlipped;
        state.vFlipped = vFlipped;
        view.setImage(manipulateImage(ViewTestFrames::grid(QSize(320, 240)), state));
        QVERIFY(shown.wait(3000));

        const QImage image = view.grab().toImage();
        const QRect place = PictureFit::fitPixels(QSize(320, 240), image.rect());
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column) {
                // The sample's place in the stored picture: zoomed about the centre, then mirrored.
                double x = 0.5 + ((2 * column + 1) / 8.0 - 0.5) / zoom;
                double y = 0.5 + ((2 * row + 1) / 8.0 - 0.5) / zoom;
                if (hFlipped) x = 1 - x;
                if (vFlipped) y = 1 - y;
                const QColor expected = CaptureTestImages::gridColour(int(x * 4), int(y * 4));
                const QColor colour = ViewTestFrames::cellCentre(image, place, column, row);
                QVERIFY2(
                    CaptureTestImages::near(colour, expected),
                    qPrintable(QStringLiteral("cell %1,%2 is %3").arg(column).arg(row).arg(colour.name())));
            }
        QVERIFY(ViewTestFrames::isBlack(image, QRect(0, 0, place.left() - 1, image.height())));
        QVERIFY(ViewTestFrames::isBlack(image, QRect(place.right() + 2, 0, image.width(), image.height())));

        view.setImage(ViewTestFrames::grid(QSize(121, 361)));
        QVERIFY(shown.wait(3000));
        for (const QSize size : {QSize(1, 1), QSize(0, 0), QSize(3, 1)}) {
            view.resize(size);
            view.setImage(ViewTestFrames::grid(QSize(64, 48)));
            QTest::qWait(50);
            view.grab();
        }
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
