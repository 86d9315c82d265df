// The main window on the real application core with simulated cameras, on the offscreen platform:
// its camera toolbar follows the current camera, a choice reaches everything that depends on it, and
// the shutter button files a photo.
#include <atomic>
#include <memory>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>

#include "app/AppCore.h"
#include "capture/DCCamSettingController.h"
#include "capture/DCCaptureViewController.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCUVCCamera.h"
#include "support/QtTestMain.h"
#include "ui/controls/DCPopUpButton.h"
#include "ui/hotkeys/DCHotKey.h"
#include "ui/model/CameraToolbarModel.h"
#include "ui/model/CameraToolbarValues.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/view/DCCaptureView.h"
#include "ui/window/DCAttachController.h"
#include "ui/window/DCFloaterWindow.h"
#include "ui/window/DCMainWindowController.h"
#include "ui/window/DCSnapshotWindow.h"
#include "ui/window/DCSnapshotWindowController.h"
#include "ui/window/FullScreenWindow.h"

using Floater = FloaterGeometry::Floater;

namespace {

constexpr int kArrivalMs = 15000; // discovery's settle, several cameras, a loaded machine

// An Orb, a Wren-HD and a network camera whose server is not there (it still is a camera).
AppCore::Options coreOptions() {
    AppCore::Options options;
    options.demoModels = {QStringLiteral("Orb"), QStringLiteral("Wren-HD")};
    options.streamUrls = {QStringLiteral("http://127.0.0.1:9/stream")};
    options.actions = true;
    options.followCameraChanges = false; // the window's reactions do it
    options.streaming = AppCore::Streaming::Off;
    return options;
}

DCCameraPtr cameraNamed(DCCamerasController &cameras, const QString &shortModel) {
    for (const DCCameraPtr &camera : cameras.availableCameras())
        if (camera->shortModel() == shortModel) return camera;
    return nullptr;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppCore> core_;
    std::unique_ptr<DCMainWindowController> window_;

    QStringList shownControls() const {
        QStringList names;
        for (auto *button : window_->cameraModeToolbar()->findChildren<DCPopUpButton *>())
            if (button->isVisible()) names << button->objectName();
        return names;
    }
    DCPopUpButton *button(const char *name) const {
        return window_->cameraModeToolbar()->findChild<DCPopUpButton *>(QLatin1String(name));
    }
    // What the user does by picking item `index` in the open menu (the title item is not in the menu).
    static void pick(DCPopUpButton *button, int index) {
        QVERIFY(index >= 1 && index <= button->menu()->actions().size());
        button->menu()->actions().at(index - 1)->trigger();
    }
    void makeCurrent(const QString &shortModel) {
        DCCameraPtr camera;
        QTRY_VERIFY_WITH_TIMEOUT((camera = cameraNamed(core_->cameras(), shortModel)) != nullptr, kArrivalMs);
        core_->cameras().setCurrentCamera(camera);
    }

private Q_SLOTS:
    void init() {
        core_ = std::make_unique<AppCore>(coreOptions());
        QString error;
        QVERIFY2(core_->start(&error), qPrintable(error));
        window_ = std::make_unique<DCMainWindowController>(MainWindowServices{
            core_->cameras(), core_->settings(), *core_->capture(), core_->actions(), [] { return false; }});
        window_->setMode(0);
        window_->showWindow();
        QTRY_VERIFY(!window_->library().isLoading());
        // Each USB camera makes itself current on arrival: once both have, a camera the test picks stays.
        std::atomic<int> arrivals{0};
        DCObserverSet observers;
        observers.add(DCNote::DCCameraDidChange, [&](const DCNotification &note) {
            if (std::dynamic_pointer_cast<DCUVCCamera>(
                    note.userInfo.value(DCKey::NewCamera).value<DCCameraPtr>()))
                ++arrivals;
        });
        QVERIFY2(core_->startToMonitor(&error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(core_->cameras().availableCameras().size(), 3, kArrivalMs);
        QTRY_COMPARE_WITH_TIMEOUT(arrivals.load(), 2, kArrivalMs);
    }

    void cleanup() {
        window_.reset();
        core_.reset();
    }

    void toolbarIsRebuiltForEachCameraKind_data() {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QStringList>("controls");
        const QString net = QStringLiteral("127.0.0.1:9");
        QTest::newRow("Wren-HD: every control")
            << "Wren-HD"
            << QStringList{"zoom", "mirror", "timer", "resolution", "exposure", "autoExposure", "focus"};
        QTest::newRow("Orb: no exposure lock")
            << "Orb" << QStringList{"zoom", "mirror", "timer", "resolution", "exposure", "focus"};
        QTest::newRow("network camera: the picture's own controls")
            << net << QStringList{"zoom", "mirror", "timer"};
    }
    void toolbarIsRebuiltForEachCameraKind() {
        QFETCH(QString, camera);
        QFETCH(QStringList, controls);
        // Through every kind, so each toolbar is rebuilt from another one.
        for (const QString &other :
             {QStringLiteral("Wren-HD"), QStringLiteral("127.0.0.1:9"), QStringLiteral("Orb")})
            if (other != camera) makeCurrent(other);
        makeCurrent(camera);
        QTRY_COMPARE(shownControls(), controls);
        QTRY_VERIFY(window_->window()->windowTitle().endsWith(camera));
    }

    // A pick in the toolbar reaches the picture, the stored settings and the full-screen overlay's twin.
    void aChoiceReachesCaptureSettingsAndTheOtherSet() {
        makeCurrent(QStringLiteral("Wren-HD"));
        QTRY_VERIFY(button("zoom")->isVisible());
        pick(button("zoom"), 3);
        const float zoom = CameraToolbarValues::zoomFactorOfItem(3);
        QVERIFY(zoom > 1.0f);
        QCOMPARE(core_->capture()->zoom(), zoom);
        QCOMPARE(core_->settings().zoom(), zoom);
        const auto &sets = window_->toolbarModel().controls();
        using Sets = ToolbarControlSets;
        QCOMPARE(sets.state(Sets::Set::Overlay, Sets::Control::Zoom).selectedIndex, 3);
        QCOMPARE(button("zoom")->title(), sets.state(Sets::Set::Overlay, Sets::Control::Zoom).title);

        const bool flipped = core_->capture()->hFlipped();
        pick(button("mirror"), 1);
        QCOMPARE(core_->capture()->hFlipped(), !flipped);
        QCOMPARE(core_->settings().hFlipped(), !flipped);
        QCOMPARE(sets.state(Sets::Set::Overlay, Sets::Control::Mirror).title, button("mirror")->title());
    }

    void theShutterButtonFilesAnAnnouncedPhoto() {
        makeCurrent(QStringLiteral("Wren-HD"));
        QVERIFY(core_->waitForFirstFrame(std::chrono::milliseconds(kArrivalMs)));
        QString announced;
        DCObserverSet observers;
        observers.add(DCNote::DCFileDidCreateNotification, [&](const DCNotification &n) {
            announced = n.object.toMap().value(DCKey::FileURL).toUrl().toLocalFile();
        });
        const int before = window_->library().rowCount();
        auto *shutter = window_->cameraModeToolbar()->findChild<QWidget *>(QStringLiteral("snapshot"));
        QVERIFY(shutter);
        QTest::mouseClick(shutter, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!announced.isEmpty(), 10000);
        QVERIFY(QFile::exists(announced));
        QTRY_COMPARE(window_->library().rowCount(), before + 1);
    }

    // The camera goes while one of its menus is open: the menu closes on a toolbar for the camera left.
    void aCameraLeavingWhileItsMenuIsOpen() {
        makeCurrent(QStringLiteral("Wren-HD"));
        QTRY_VERIFY(button("focus")->isVisible());
        QTimer::singleShot(200, this, [this] {
            core_->cameras().removeCameraOperation(cameraNamed(core_->cameras(), QStringLiteral("Wren-HD")));
            core_->cameras().setCurrentCamera(cameraNamed(core_->cameras(), QStringLiteral("127.0.0.1:9")));
        });
        QTimer::singleShot(600, this, [] {
            if (QWidget *popup = QApplication::activePopupWidget()) popup->close();
        });
        button("resolution")->showMenu();
        QTRY_COMPARE(shownControls(), (QStringList{"zoom", "mirror", "timer"}));
    }

    // The overlay lives on the picture: it goes into full screen with it (the control bar and close
    // button added), shows the countdown and the navigator there, survives the camera leaving, and
    // comes back into the main window.
    void theOverlayFollowsThePicture() {
        makeCurrent(QStringLiteral("Wren-HD"));
        window_->initAttachController();
        DCAttachController &overlay = *window_->attachController();
        QTRY_VERIFY(overlay.floater(Floater::Snapshot)->isVisible());
        QVERIFY(!overlay.floater(Floater::Close)->isVisible());

        window_->enterFullScreenMode();
        QVERIFY(qobject_cast<FullScreenWindow *>(overlay.floater(Floater::Close)->window()));
        QTRY_VERIFY(overlay.floater(Floater::Close)->isVisible());
        QTRY_VERIFY(overlay.floater(Floater::ToolbarContainer)->isVisible());
        DCNotificationCenter::defaultCenter().postNotificationName(
            DCNote::DCCaptureWillUpdateTimerNotification, {}, {{DCKey::DevTimerValue, 4}});
        QVERIFY(overlay.floater(Floater::Timer)->isVisible());
        window_->toolbarModel().setCameraModeZoom(ToolbarControlSets::Set::Overlay,
                                                  CameraToolbarValues::itemOfZoomFactor(2.0f));
        QVERIFY(overlay.floater(Floater::Navigator)->isVisible());

        core_->cameras().removeCameraOperation(cameraNamed(core_->cameras(), QStringLiteral("Wren-HD")));
        QTRY_VERIFY_WITH_TIMEOUT(cameraNamed(core_->cameras(), QStringLiteral("Wren-HD")) == nullptr,
                                 kArrivalMs);
        window_->exitFullScreenMode();
        QCOMPARE(overlay.floater(Floater::Timer)->window(), window_->window());
        QVERIFY(!overlay.floater(Floater::Close)->isVisible());
    }

    // The next run's window (another controller on the same settings) opens where and as this one was
    // left, and in review mode when it was closed in review mode.
    void theWindowOutlivesTheRun() {
        const auto nextRun = [this] {
            window_ = std::make_unique<DCMainWindowController>(
                MainWindowServices{core_->cameras(), core_->settings(), *core_->capture(), core_->actions(),
                                   [] { return false; }});
            window_->setMode(0);
            window_->showWindow();
        };
        window_->window()->setGeometry(120, 90, 900, 720);
        const QRect left = window_->window()->geometry();
        nextRun();
        QCOMPARE(window_->window()->geometry(), left);
        QCOMPARE(window_->mode(), 0);

        window_->setMode(2);
        window_->window()->close();
        nextRun();
        QCOMPARE(window_->mode(), 2);
        // Closed in camera mode, the next run opens in camera mode again.
        window_->setMode(0);
        window_->window()->close();
        nextRun();
        QCOMPARE(window_->mode(), 0);
    }

    // When the simulated camera stands in for a missing one, the status strip says so.
    void theStatusStripNamesAStandIn() {
        makeCurrent(QStringLiteral("Wren-HD"));
        const auto status = [this] {
            QStringList texts;
            for (auto *label : window_->window()->findChildren<QLabel *>())
                texts << label->text();
            return texts.join(QLatin1Char('|'));
        };
        QTRY_VERIFY(status().contains(QStringLiteral("Korva Wren-HD")));
        QVERIFY(!status().contains(QStringLiteral("simulated")));
        window_ = std::make_unique<DCMainWindowController>(MainWindowServices{
            core_->cameras(), core_->settings(), *core_->capture(), core_->actions(), [] { return true; }});
        window_->showWindow();
        QTRY_VERIFY(
            status().contains(QStringLiteral("No camera is attached: showing the simulated Wren-HD")));
    }

    // The sheet's photo closes it; the picture, the mode buttons and an unzoomed toolbar come back.
    // A camera change closes it too.
    void theSnapshotSheetTakesOnePhotoAndGivesThePictureBack() {
        makeCurrent(QStringLiteral("Wren-HD"));
        QVERIFY(core_->waitForFirstFrame(std::chrono::milliseconds(kArrivalMs)));
        pick(button("zoom"), 3);
        window_->openSnapshotWindow();
        QWidget *sheet = window_->snapshotWindowController()->window();
        QTRY_VERIFY(sheet->isVisible());
        QCOMPARE(window_->captureView()->window(), sheet);
        QCOMPARE(core_->capture()->zoom(), 1.0f);
        QVERIFY(!window_->model().isModeButtonEnabled(MainWindowModel::ModeButton::Review));

        const int before = window_->library().rowCount();
        QTest::keyClick(sheet, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!sheet->isVisible(), 10000);
        QTRY_COMPARE(window_->library().rowCount(), before + 1);
        QCOMPARE(window_->captureView()->window(), window_->window());
        QVERIFY(window_->model().isModeButtonEnabled(MainWindowModel::ModeButton::Review));
        QCOMPARE(button("zoom")->indexOfSelectedItem(), CameraToolbarValues::itemOfZoomFactor(1.0f));

        window_->openSnapshotWindow();
        QTRY_VERIFY(sheet->isVisible());
        core_->cameras().setCurrentCamera(cameraNamed(core_->cameras(), QStringLiteral("Orb")));
        QTRY_VERIFY(!sheet->isVisible());
        QCOMPARE(window_->captureView()->window(), window_->window());
    }

    // The exit-full-screen hot key reaches the window controller by its action's name.
    void theEscapeHotKeyLeavesFullScreen() {
        DCHotKey escape(QStringLiteral("AppExitFromFullScreenKey"), DCKeyCombo(XKB_KEY_Escape, 0));
        escape.setTarget(window_.get());
        escape.setAction("appEscapeFromFullScreen");
        window_->setMode(1);
        QTRY_VERIFY(window_->fullScreenWindow());
        window_->model().setFullScreenWindowActive(true);
        escape.invoke();
        QCOMPARE(window_->mode(), 0);
    }
};

KL_QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
