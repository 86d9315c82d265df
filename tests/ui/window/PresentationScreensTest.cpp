// Full screen on a chosen screen, with two screens on the offscreen platform (a laptop's panel and a
// projector to its right, from two-screens.json).
#include "ui/window/PresentationScreens.h"

#include <memory>

#include <QMainWindow>
#include <QMenu>
#include <QScreen>

#include "app/AppCore.h"
#include "support/QtTestMain.h"
#include "ui/window/DCMainWindowController.h"

class PresentationScreensTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppCore> core_;
    std::unique_ptr<DCMainWindowController> window_;

    void openWindow() {
        window_ = std::make_unique<DCMainWindowController>(MainWindowServices{
            core_->cameras(), core_->settings(), *core_->capture(), core_->actions(), [] { return false; }});
        window_->setMode(0);
        window_->showWindow();
        window_->window()->move(40, 40); // on the panel
    }
    static QScreen *screenNamed(const QString &name) {
        for (QScreen *screen : QGuiApplication::screens())
            if (screen->name() == name) return screen;
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase() {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        AppCore::Options options;
        options.demoModels = {QStringLiteral("Wren-HD")};
        options.followCameraChanges = false;
        options.streaming = AppCore::Streaming::Off;
        core_ = std::make_unique<AppCore>(options);
        QString error;
        QVERIFY2(core_->start(&error), qPrintable(error));
    }
    void cleanupTestCase() {
        window_.reset();
        core_.reset();
    }

    void fullScreenGoesToTheChosenScreenAndTheChoiceIsKept() {
        openWindow();
        window_->presentationScreens().presentOn(QString()); // no choice yet: where the window is
        window_->enterFullScreenMode();
        QTRY_VERIFY(window_->fullScreenWindow() && window_->fullScreenWindow()->isVisible());
        QCOMPARE(window_->fullScreenWindow()->screen()->name(), QStringLiteral("eDP-1"));

        // Chosen while in full screen, the picture moves over and fills the projector.
        window_->presentationScreens().presentOn(QStringLiteral("HDMI-1"));
        QTRY_COMPARE(window_->fullScreenWindow()->screen()->name(), QStringLiteral("HDMI-1"));
        QTRY_COMPARE(window_->fullScreenWindow()->geometry(),
                     screenNamed(QStringLiteral("HDMI-1"))->geometry());
        window_->exitFullScreenMode();
        QVERIFY(!window_->fullScreenWindow());

        // The next run presents on the projector from the start.
        openWindow();
        window_->enterFullScreenMode();
        QTRY_VERIFY(window_->fullScreenWindow());
        QTRY_COMPARE(window_->fullScreenWindow()->screen()->name(), QStringLiteral("HDMI-1"));
        window_->exitFullScreenMode();
    }

    void theMenuNamesEachScreen() {
        openWindow();
        QMenu parent;
        QMenu *menu = window_->presentationScreens().makeMenu(&parent);
        QVERIFY(menu->menuAction()->isVisible());
        QStringList titles;
        QAction *panel = nullptr;
        for (QAction *item : menu->actions()) {
            titles << item->text();
            if (item->text().startsWith(QStringLiteral("eDP-1"))) panel = item;
        }
        titles.sort();
        QCOMPARE(titles, (QStringList{"HDMI-1 (1920 x 1080)", "eDP-1 (1280 x 800)"}));
        panel->trigger();
        QCOMPARE(window_->presentationScreens().target()->name(), QStringLiteral("eDP-1"));
    }
};

KL_QTEST_MAIN(PresentationScreensTest)
#include "PresentationScreensTest.moc"
