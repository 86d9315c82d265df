// The overlay's floaters over a stand-in for the picture's view, on the offscreen platform: they mirror
// the overlay's model (countdown, badge, navigator), the navigator draws and pans, and the full-screen
// window's keys and clicks reach the overlay.
#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QLabel>
#include <QMouseEvent>

#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "support/QtTestMain.h"
#include "ui/controls/DCButtonView.h"
#include "ui/window/DCAttachController.h"
#include "ui/window/DCFloaterWindow.h"
#include "ui/window/DCZoomAreaView.h"
#include "ui/window/FullScreenWindow.h"

using Floater = FloaterGeometry::Floater;

namespace {

void post(const QString &name, const QVariantMap &userInfo = {}) {
    DCNotificationCenter::defaultCenter().postNotificationName(name, {}, userInfo);
}

void zoomTo(float zoom) {
    post(DCNote::DCCameraModeZoomDidChange, {{DCKey::Zoom, QVariant::fromValue(zoom)}});
}

// Counts the posts of one notification and keeps the last user info.
struct Posts {
    explicit Posts(const QString &name) {
        observers.add(name, [this](const DCNotification &note) {
            ++count;
            last = note.userInfo;
        });
    }
    int count = 0;
    QVariantMap last;
    DCObserverSet observers;
};

void sendMouse(QWidget *widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, widget->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class OverlayTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> host_;
    std::unique_ptr<DCAttachController> overlay_;
    // Work the overlay scheduled (the badge's end), run when the test says.
    std::vector<std::function<void()>> due_;

    OverlayModel &model() { return overlay_->model(); }
    DCButtonView *button(Floater floater) {
        return static_cast<DCButtonView *>(overlay_->floater(floater)->contentView());
    }
    bool shown(Floater floater) { return overlay_->floater(floater)->isVisible(); }
    void runDue() {
        auto due = std::move(due_);
        for (auto &work : due)
            work();
    }

private Q_SLOTS:
    void init() {
        host_ = std::make_unique<QWidget>();
        host_->resize(640, 480);
        OverlayModel::Dependencies deps;
        deps.schedule = [this](std::chrono::milliseconds, std::function<void()> work) {
            due_.push_back(std::move(work));
        };
        overlay_ = std::make_unique<DCAttachController>(host_.get(), nullptr, deps);
        model().setIsVisable(true);
        model().toogleFocusMode(1);
        host_->show();
    }
    void cleanup() {
        overlay_.reset();
        host_.reset();
        due_.clear();
        zoomTo(1.0f);
    }

    void countdownShowsTheDigitInsteadOfTheButtons() {
        model().toogleTimerTick(5);
        QVERIFY(shown(Floater::Timer));
        QCOMPARE(button(Floater::Timer)->currentImage(), QStringLiteral("5"));
        QVERIFY(!shown(Floater::Snapshot));
        QVERIFY(!shown(Floater::FocusIndicator));
        model().toogleTimerTick(-1);
        QVERIFY(!shown(Floater::Timer));
        QVERIFY(shown(Floater::Snapshot));
        // The ring rests on the picture's lower edge (its top 70 above the window's, below the strip).
        QCOMPARE(overlay_->floater(Floater::FocusIndicator)->geometry(), QRect(520, 430, 50, 50));
    }

    void badgeHidesAfterItsTime() {
        model().toggleIndicatorForExposure(-1, true);
        QVERIFY(shown(Floater::Exposure));
        QCOMPARE(button(Floater::Exposure)->currentImage(), QStringLiteral("Exp--1"));
        runDue();
        QVERIFY(!shown(Floater::Exposure));
    }

    void navigatorComesWithZoomAndGoesAtOne() {
        zoomTo(2.0f);
        QVERIFY(shown(Floater::Navigator));
        QCOMPARE(overlay_->floater(Floater::Navigator)->geometry(), QRect(0, 360, 160, 120));
        QCOMPARE(overlay_->zoomAreaView()->zoomLabel()->text(), QStringLiteral("2x"));
        zoomTo(1.0f);
        QVERIFY(!shown(Floater::Navigator));
    }

    void navigatorDrawsTheAreaOrTheSight() {
        zoomTo(2.0f);
        DCZoomAreaView *view = overlay_->zoomAreaView();
        // The area (40, 30, 80, 60) in white; the shade elsewhere.
        QImage image = view->grab().toImage();
        QCOMPARE(QColor(image.pixel(80, 30)), QColor(Qt::white));
        QVERIFY(qGray(image.pixel(80, 50)) < 128);
        model().cameraDidBeginAutoFocus();
        image = view->grab().toImage();
        QCOMPARE(view->zoomLabel()->text(), QStringLiteral("1x Focusing"));
        QVERIFY(QColor(image.pixel(77, 55)) == QColor(Qt::red) ||
                QColor(image.pixel(77, 54)) == QColor(Qt::red)); // the sight's upper side
        QVERIFY(QColor(image.pixel(80, 55)) != QColor(Qt::red)); // ... broken in its middle
        QCOMPARE(QColor(image.pixel(80, 30)).red(), QColor(image.pixel(80, 50)).red()); // no area
    }

    void draggingPansInPictureCoordinates() {
        zoomTo(2.0f);
        DCZoomAreaView *view = overlay_->zoomAreaView();
        Posts moves(DCNote::DCCameraModeZoomAreaChange);
        sendMouse(view, QEvent::MouseButtonPress, QPointF(80, 60), Qt::LeftButton);
        // Up on the screen is up in the picture, whose origin is at the lower left.
        sendMouse(view, QEvent::MouseMove, QPointF(80, 50), Qt::LeftButton);
        QCOMPARE(moves.last.value(DCKey::YOffset).toFloat(), 40.0f / 120);
        sendMouse(view, QEvent::MouseMove, QPointF(-300, 50), Qt::LeftButton);
        QCOMPARE(moves.last.value(DCKey::XOffset).toFloat(), 0.0f);
        sendMouse(view, QEvent::MouseMove, QPointF(50, 50), Qt::LeftButton);
        QCOMPARE(moves.last.value(DCKey::XOffset).toFloat(), 10.0f / 160);
        QCOMPARE(moves.count, 3);
        sendMouse(view, QEvent::MouseButtonRelease, QPointF(50, 50), Qt::NoButton);
        sendMouse(view, QEvent::MouseMove, QPointF(0, 60), Qt::NoButton);
        QCOMPARE(moves.count, 3);
    }

    void buttonsPostTheirNotifications() {
        Posts snapshots(DCNote::DCNotificationSnapshot);
        Posts exits(DCNote::DCNotificationAppExitFullScreen);
        button(Floater::Snapshot)->sendAction();
        button(Floater::FocusButton)->sendAction(); // no camera: nothing happens
        model().setIsFullScreen(true);
        QVERIFY(shown(Floater::Close));
        button(Floater::Close)->sendAction();
        QCOMPARE(snapshots.count, 1);
        QCOMPARE(exits.count, 1);
        model().toogleTimerTick(3);
        button(Floater::Snapshot)->sendAction();
        QCOMPARE(snapshots.count, 1);
    }

    // In the full-screen window: a click shows or hides the floaters, Return takes a photo, Escape and
    // a double click leave, also in the middle of a countdown.
    void fullScreenWindowDrivesTheOverlay() {
        FullScreenWindow window(nullptr);
        window.resize(1280, 800);
        window.takePicture(host_.get());
        window.show();
        model().setIsFullScreen(true);
        QTRY_COMPARE(host_->size(), QSize(1280, 800));
        // The picture's right edge is 1173.3 on this screen: the ring is centred 95 to its left.
        QCOMPARE(overlay_->floater(Floater::FocusIndicator)->geometry().x(), 1053);
        Posts snapshots(DCNote::DCNotificationSnapshot);
        QSignalSpy exits(&window, &FullScreenWindow::exitRequested);
        QTest::mouseClick(host_.get(), Qt::LeftButton, {}, QPoint(600, 400));
        QVERIFY(!shown(Floater::Snapshot));
        QTest::mouseClick(host_.get(), Qt::LeftButton, {}, QPoint(600, 400));
        QVERIFY(shown(Floater::Snapshot));
        QTest::keyClick(&window, Qt::Key_Return);
        QCOMPARE(snapshots.count, 1);
        model().toogleTimerTick(7);
        QTest::keyClick(&window, Qt::Key_Escape);
        QTest::mouseDClick(host_.get(), Qt::LeftButton, {}, QPoint(600, 400));
        QCOMPARE(exits.count(), 2);
        host_->setParent(nullptr); // back to the test before the window goes
    }

    void tinyHostsAndAGoneHostCrashNothing() {
        zoomTo(3.0f);
        model().toogleTimerTick(2);
        for (const QSize size : {QSize(10, 10), QSize(0, 0), QSize(1, 400)})
            host_->resize(size);
        QVERIFY(shown(Floater::Navigator));
        host_.reset(); // the picture's view goes first, floaters and all
        model().toggleIndicatorForExposure(1, false);
        zoomTo(2.0f);
        runDue();
    }
};

KL_QTEST_MAIN(OverlayTest)
#include "OverlayTest.moc"
