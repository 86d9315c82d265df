// The preferences window on the real application core with simulated cameras and the main window, on
// the offscreen platform: its controls reach the camera, the photo names and the library.
#include <memory>

#include <QActionGroup>
#include <QButtonGroup>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolBar>

#include "app/AppCore.h"
#include "capture/DCCamSettingController.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/DCActionController.h"
#include "support/QtTestMain.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/window/DCMainWindowController.h"
#include "ui/window/DCPreferencesWindowController.h"

namespace {

constexpr int kArrivalMs = 15000; // discovery's settle on a loaded machine

DCCameraPtr cameraNamed(DCCamerasController &cameras, const QString &shortModel) {
    for (const DCCameraPtr &camera : cameras.availableCameras())
        if (camera->shortModel() == shortModel) return camera;
    return nullptr;
}

} // namespace

class PreferencesWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppCore> core_;
    std::unique_ptr<DCMainWindowController> main_;
    std::unique_ptr<DCPreferencesWindowController> prefs_;
    QTemporaryDir folders_;

    template <class T> T *child(const char *name) const {
        T *found = prefs_->findChild<T *>(QLatin1String(name));
        if (!found) qFatal("no %s", name);
        return found;
    }
    QStringList toolbarItems() const {
        QStringList names;
        for (QAction *action : prefs_->windowToolbar()->actions())
            names << action->objectName();
        return names;
    }
    void makeCurrent(const QString &shortModel) {
        DCCameraPtr camera;
        QTRY_VERIFY_WITH_TIMEOUT((camera = cameraNamed(core_->cameras(), shortModel)) != nullptr, kArrivalMs);
        core_->cameras().setCurrentCamera(camera);
        QTRY_COMPARE(core_->cameras().currentCamera(), camera);
    }

private Q_SLOTS:
    // One core for the whole run: discovery's settle is the slow part.
    void initTestCase() {
        // The build's test home outlives a run: start from no name choice.
        for (const QString &key : {DCDefaults::PhotoNameFormatSel, DCDefaults::PhotoNameFormatSelPrefix})
            UserDefaults::standardUserDefaults().removeObjectForKey(key);
        AppCore::Options options;
        options.demoModels = {QStringLiteral("Wren-HD")};
        options.streamUrls = {QStringLiteral("http://127.0.0.1:9/stream")};
        options.actions = true;
        options.followCameraChanges = false;
        options.streaming = AppCore::Streaming::Off;
        core_ = std::make_unique<AppCore>(options);
        QString error;
        QVERIFY2(core_->start(&error), qPrintable(error));
        main_ = std::make_unique<DCMainWindowController>(MainWindowServices{
            core_->cameras(), core_->settings(), *core_->capture(), core_->actions(), [] { return false; }});
        main_->setMode(0);
        main_->showWindow();
        DCCamerasController &cameras = core_->cameras();
        prefs_ = std::make_unique<DCPreferencesWindowController>(PreferencesModel::Dependencies{
            [&cameras] { return cameras.availableCameras(); }, [&cameras] { return cameras.currentCamera(); },
            [&cameras](DCCameraPtr camera) { cameras.setCurrentCamera(std::move(camera)); },
            &core_->settings(), &UserDefaults::standardUserDefaults(), [] { return QString(); }});
        QVERIFY2(core_->startToMonitor(&error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(cameras.availableCameras().size(), 2, kArrivalMs);
        makeCurrent(QStringLiteral("Wren-HD"));
        prefs_->showWindow();
    }

    void cleanupTestCase() {
        prefs_.reset();
        main_.reset();
        core_.reset();
    }

    void aNetworkCameraTakesTheImagePaneAUsbCameraPutsItBack() {
        makeCurrent(QStringLiteral("127.0.0.1:9"));
        QTRY_COMPARE(toolbarItems(),
                     (QStringList{"GeneralPreferencesToolbarItem", "SystemPreferencesToolbarItem"}));
        QVERIFY(!child<QButtonGroup>("frequencySwitch")->button(0)->isEnabled());
        makeCurrent(QStringLiteral("Wren-HD"));
        QTRY_COMPARE(toolbarItems().value(1), "ImagePreferencesToolbarItem");
        QVERIFY(child<QButtonGroup>("frequencySwitch")->button(0)->isEnabled());
    }

    void slidersMoveTheCameraAndTheSameCameraRestartsThePicture() {
        prefs_->windowToolbar()->actions().at(1)->trigger();
        QCOMPARE(UserDefaults::standardUserDefaults().stringForKey(DCDefaults::PreferencesItemSaved),
                 "ImagePreferencesToolbarItem");
        const DCCameraPtr camera = core_->cameras().currentCamera();
        auto *bright = child<QSlider>("brightSlider");
        QVERIFY(bright->isEnabled());
        QCOMPARE(bright->maximum(), camera->brightnessMax());
        bright->setValue(bright->minimum() + 1);
        QCOMPARE(camera->brightness(), bright->minimum() + 1);

        int restarts = 0;
        DCObserverSet observers;
        observers.add(DCNote::DCNotificationCommandRestartCaptureView,
                      [&](const DCNotification &) { ++restarts; });
        auto *devices = child<QComboBox>("videoDevices");
        Q_EMIT devices->activated(devices->currentIndex());
        QCOMPARE(restarts, 1);
        QCOMPARE(core_->cameras().currentCamera(), camera);
    }

    void aTypedPrefixAppliesWhenTheWindowLosesFocus() {
        prefs_->windowToolbar()->actions().at(0)->trigger();
        child<QButtonGroup>("nameFormat")->button(1)->click();
        auto *prefix = child<QLineEdit>("prefixField");
        prefix->setFocus();
        QTest::keyClicks(prefix, QStringLiteral("Lab"));
        QVERIFY(core_->actions()->calculatePrefix() != "Lab_"); // still typing
        main_->window()->activateWindow();
        QTRY_COMPARE(core_->actions()->calculatePrefix(), "Lab_");
    }

    void aChosenFolderReloadsTheLibraryABadOneChangesNothing() {
        const QString photos = folders_.filePath("photos");
        QDir().mkpath(photos);
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        QVERIFY(picture.save(photos + "/one.jpg"));
        QString answer = photos;
        prefs_->setFolderChooser([&answer](QWidget *, const QString &) { return answer; });
        auto *choose = child<QPushButton>("choosePhotoLibrary");
        choose->click();
        QTRY_COMPARE(main_->library().rowCount(), 1);
        QCOMPARE(child<QLineEdit>("pathField")->text(), photos);

        answer = folders_.filePath("missing");
        choose->click();
        auto *problem = child<QMessageBox>("photoLibraryProblem");
        QVERIFY(problem->text().contains("missing"));
        problem->close();
        QCOMPARE(main_->library().rowCount(), 1);
        QCOMPARE(UserDefaults::standardUserDefaults().stringForKey(DCDefaults::PhotoLibraryLocation), photos);
    }
};

KL_QTEST_MAIN(PreferencesWindowTest)
#include "PreferencesWindowTest.moc"
