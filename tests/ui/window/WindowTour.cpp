// A tour of the window for screenshots: the real program on the simulated camera, each mode, each of
// the camera toolbar's menus open, the full-screen overlay's states, each preferences pane and the About
// box, every step saved as a PNG. It
// needs a real X server (tools/screenshots runs it under Xvfb); the screen is grabbed (not the widgets)
// so that open menus and the OpenGL picture are in the shot.
//
//   korva-lectern-tour OUTPUT_FOLDER
#include <cstdio>
#include <functional>

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/CommandLine.h"
#include "app/DCAppController.h"
#include "core/UserDefaults.h"
#include "evernote/EvernoteService.h"
#include "photos/FileItem.h"
#include "support/TestSupport.h"
#include "ui/controls/DCPopUpButton.h"
#include "ui/evernote/DCEvernoteController.h"
#include "ui/evernote/DCEvernoteView.h"
#include "ui/model/CameraToolbarModel.h"
#include "ui/model/CameraToolbarValues.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/review/DCDraggableScrollView.h"
#include "ui/window/DCAboutWindowController.h"
#include "ui/window/DCAttachController.h"
#include "ui/window/DCMainWindowController.h"
#include "ui/window/DCPreferencesWindowController.h"
#include "ui/window/DCSnapshotWindow.h"
#include "ui/window/DCSnapshotWindowController.h"

namespace {

class Tour : public QObject {
public:
    Tour(DCAppController &app, QString folder) : app_(app), folder_(std::move(folder)) {}

    // The camera's picture first; its controls are known once the simulated camera is attached.
    void start() {
        after(2500, [this] {
            save(QStringLiteral("camera"));
            menus_ = window().cameraModeToolbar()->findChildren<DCPopUpButton *>();
            nextMenu();
        });
    }

    bool failed() const { return failed_; }

private:
    DCMainWindowController &window() { return *app_.mainWindowController(); }

    void after(int ms, std::function<void()> step) { QTimer::singleShot(ms, this, std::move(step)); }

    // Each menu runs its own loop: the shot is taken and the menu closed from inside it.
    void nextMenu() {
        while (!menus_.isEmpty() && !menus_.first()->isVisible())
            menus_.removeFirst();
        if (menus_.isEmpty()) return otherModes();
        DCPopUpButton *button = menus_.takeFirst();
        after(700, [this, name = QStringLiteral("menu-") + button->objectName()] {
            save(name);
            if (QWidget *popup = QApplication::activePopupWidget()) popup->close();
        });
        button->showMenu();
        after(200, [this] { nextMenu(); });
    }

    // A few photos first, so the album has something to show.
    void otherModes() {
        for (int i = 0; i < 4; ++i)
            after(400 * i, [this] { window().snapshot(); });
        after(2500, [this] { window().setMode(2); });
        after(3500, [this] {
            save(QStringLiteral("review"));
            reviewZoomAndDelete();
        });
    }

    // The large image at 3x dragged towards its middle, then the delete sheet (answered Cancel).
    void reviewZoomAndDelete() {
        ReviewModeController &review = window().review();
        review.setReviewModeZoom(3);
        after(300, [this, &review] {
            QWidget *viewport = review.reviewModeImageScrollView()->viewport();
            QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(300, 250));
            QTest::mouseMove(viewport, QPoint(100, 80));
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(100, 80));
        });
        after(1000, [this, &review] {
            save(QStringLiteral("review-zoom"));
            review.setReviewModeZoom(1);
            review.deletePhoto();
        });
        after(1800, [this] {
            save(QStringLiteral("review-delete-sheet"));
            if (auto *sheet = window().window()->findChild<QMessageBox *>(QStringLiteral("deleteSheet")))
                sheet->button(QMessageBox::Cancel)->click();
            window().setMode(1);
        });
        after(3800, [this] {
            save(QStringLiteral("full-screen"));
            fullScreenOverlay();
        });
    }

    // The overlay in full screen: a countdown, an exposure badge, the navigator at zoom 2 and a focus run.
    void fullScreenOverlay() {
        OverlayModel &overlay = window().attachController()->model();
        overlay.toogleTimerTick(7);
        after(500, [this, &overlay] {
            save(QStringLiteral("full-screen-countdown"));
            overlay.toogleTimerTick(-1);
            overlay.toggleIndicatorForExposure(1, true);
        });
        after(1000, [this] {
            save(QStringLiteral("full-screen-exposure"));
            window().toolbarModel().setCameraModeZoom(ToolbarControlSets::Set::Overlay,
                                                      CameraToolbarValues::itemOfZoomFactor(2.0f));
        });
        after(2000, [this, &overlay] {
            save(QStringLiteral("full-screen-zoom"));
            // A focus run of the user's: the one the program started after the camera change may still
            // wait for its end on the simulated camera.
            overlay.endFocus();
            overlay.cameraDidBeginAutoFocus();
        });
        after(2500, [this, &overlay] {
            save(QStringLiteral("full-screen-focusing"));
            overlay.endFocus();
            window().exitFullScreenMode();
        });
        // Back in the main window, still at zoom 2: the navigator sits above the status strip.
        after(4500, [this] {
            save(QStringLiteral("camera-zoom"));
            window().openSnapshotWindow();
        });
        // The snapshot sheet over the main window, with the picture and the camera's focus state.
        after(6000, [this] {
            save(QStringLiteral("snapshot-sheet"));
            window().snapshotWindowController()->model().close();
            evernoteMode();
        });
    }

    // Two more photos, then review's "add to queue": this build has no Evernote key, so the mode says so.
    // The queue itself is shown by a second Evernote view on a keyed (never contacted) account.
    void evernoteMode() {
        window().snapshot();
        after(1200, [this] { window().snapshot(); });
        after(2600, [this] {
            window().setMode(2);
            window().library().selectAll();
            window().addReviewingItemsToEvernoteQueue();
        });
        after(3600, [this] {
            save(QStringLiteral("evernote-no-key"));
            showKeyedQueue();
        });
        after(6000, [this] {
            saveWidget(*keyedHost_, QStringLiteral("evernote-queue"));
            keyedHost_->hide();
            preferencesAndAbout();
        });
    }

    // Each preferences pane as the user's click shows it, then the About box.
    void preferencesAndAbout() {
        app_.openPreferences();
        DCPreferencesWindowController *prefs = app_.preferencesWindowController();
        const QList<QAction *> panes = prefs->windowToolbar()->actions();
        for (int i = 0; i < panes.size(); ++i)
            after(1000 * (i + 1), [this, prefs, pane = panes[i]] {
                pane->trigger();
                after(500, [this, prefs, name = pane->objectName()] { saveWindow(name, prefs); });
            });
        after(1000 * (panes.size() + 1), [this, prefs] {
            prefs->close();
            app_.openAbout();
        });
        after(1000 * (panes.size() + 2), [this] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *about = qobject_cast<DCAboutWindowController *>(w); about && about->isVisible())
                    saveWindow(QStringLiteral("about"), about);
            QApplication::quit();
        });
    }

    void showKeyedQueue() {
        EvernoteConfig config;
        config.host = QStringLiteral("127.0.0.1:9");
        config.scheme = QStringLiteral("http");
        config.consumerKey = config.consumerSecret = QStringLiteral("tour");
        keyedService_ = std::make_unique<EvernoteService>(config, UserDefaults::standardUserDefaults(),
                                                          tokenDir_.filePath(QStringLiteral("token")));
        keyedHost_ = std::make_unique<QWidget>();
        keyedHost_->setWindowTitle(QStringLiteral("Korva Lectern"));
        auto *layout = new QVBoxLayout(keyedHost_.get());
        layout->setContentsMargins(0, 0, 0, 0);
        DCEvernoteController::Host host;
        host.service = keyedService_.get();
        host.cameraPresent = [] { return true; };
        keyedEvernote_ = std::make_unique<DCEvernoteController>(std::move(host), keyedHost_.get());
        layout->addWidget(keyedEvernote_->view());
        std::vector<std::unique_ptr<FileItem>> items;
        for (int row = 0; row < window().library().rowCount(); ++row)
            items.push_back(std::make_unique<FileItem>(*window().library().itemAt(row)));
        keyedEvernote_->addFileItemsToQueue(std::move(items));
        keyedEvernote_->model().setNotebooks({{QStringLiteral("g1"), QStringLiteral("Lessons")},
                                              {QStringLiteral("g2"), QStringLiteral("Korva Notebook")}},
                                             QStringLiteral("g2"));
        keyedEvernote_->viewWillAppear();
        keyedHost_->resize(760, 600);
        keyedHost_->show();
    }

    void saveWidget(QWidget &widget, const QString &name) {
        const QString path =
            QStringLiteral("%1/%2-%3.png").arg(folder_).arg(++shots_, 2, 10, QChar('0')).arg(name);
        const bool saved = widget.grab().save(path);
        std::printf("%s %s\n", saved ? "wrote" : "could not write", qUtf8Printable(path));
        std::fflush(stdout);
        if (!saved) failed_ = true;
    }

    void saveWindow(const QString &name, QWidget *window) { save(name, window->frameGeometry()); }

    void save(const QString &name, QRect only = {}) {
        const QString path =
            QStringLiteral("%1/%2-%3.png").arg(folder_).arg(++shots_, 2, 10, QChar('0')).arg(name);
        // The main window with its open menu, or the whole screen in full screen.
        QRect area = window().window()->isVisible() ? window().window()->frameGeometry() : QRect();
        if (auto *sheet = window().snapshotWindowController(); sheet && sheet->isOpen())
            area |= sheet->window()->frameGeometry();
        if (QWidget *popup = QApplication::activePopupWidget()) area |= popup->frameGeometry();
        if (QWidget *modal = QApplication::activeModalWidget()) area |= modal->frameGeometry();
        if (!only.isEmpty()) area = only;
        QScreen *screen = QGuiApplication::primaryScreen();
        if (area.isEmpty()) area = screen->geometry();
        const bool saved = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path);
        std::printf("%s %s\n", saved ? "wrote" : "could not write", qUtf8Printable(path));
        std::fflush(stdout);
        if (!saved) failed_ = true;
    }

    DCAppController &app_;
    QString folder_;
    QList<DCPopUpButton *> menus_;
    int shots_ = 0;
    bool failed_ = false;
    QTemporaryDir tokenDir_;
    std::unique_ptr<EvernoteService> keyedService_;
    std::unique_ptr<QWidget> keyedHost_;
    std::unique_ptr<DCEvernoteController> keyedEvernote_;
};

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korva-lectern-tour OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(folder);
    // Settings, photos and logs of a fresh user, so every run shows the same window.
    QTemporaryDir home;
    usePrivateTestHome(home.path());
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("korva-lectern"));
    QCoreApplication::setApplicationName(QStringLiteral("korva-lectern"));
    DCAppController app(CommandLine::parse({QStringLiteral("korva-lectern"), QStringLiteral("--demo")}));
    Tour tour(app, folder);
    QTimer::singleShot(0, &tour, [&tour] { tour.start(); });
    const int status = app.run();
    return status != 0 || tour.failed() ? 1 : 0;
}
