// Review mode in the real main window on the offscreen platform, over a library of real files: the
// thumbnail strip (with bad files among the photos), the delete sheets with undo, the zoom and drag of
// the large image, rotation, the clipboard, the info panel, the file manager, file drops and the upload
// queue's open panel.
#include <chrono>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/AppCore.h"
#include "capture/DCCaptureViewController.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/FileItem.h"
#include "photos/JpegHeader.h"
#include "photos/PhotoTrash.h"
#include "photos/PhotoWriter.h"
#include "support/ChildProcess.h"
#include "support/QtTestMain.h"
#include "ui/controls/DCPopUpButton.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/review/DCDraggableScrollView.h"
#include "ui/review/DCImageBrowserView.h"
#include "ui/review/DCImageView.h"
#include "ui/review/MovieFrames.h"
#include "ui/window/DCMainWindowController.h"

namespace {

constexpr int kWaitMs = 10000;

// A small photo as the camera writes it (EXIF with its own thumbnail), `width` x 480.
QByteArray photo(int width, int seed) {
    const QSize size(width, 480);
    std::vector<uint8_t> y(size_t(width) * 480), u(y.size() / 4), v(y.size() / 4);
    for (size_t i = 0; i < y.size(); ++i)
        y[i] = uint8_t((i % size_t(width)) * 255 / size_t(width) + seed);
    std::fill(u.begin(), u.end(), uint8_t(90 + seed));
    std::fill(v.begin(), v.end(), uint8_t(160));
    RenderedPicture picture;
    picture.size = size;
    picture.planes[0] = y.data();
    picture.planes[1] = u.data();
    picture.planes[2] = v.data();
    picture.strides[0] = width;
    picture.strides[1] = picture.strides[2] = width / 2;
    return PhotoWriter::photoData(picture, {QStringLiteral("Wren-HD"), QDateTime::currentDateTime()});
}

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The sheet `name` once it is open; null (and the caller's check fails) when it never opens.
template <typename T> T *openSheet(QWidget *window, const char *name) {
    T *found = nullptr;
    if (!QTest::qWaitFor([&] { return (found = window->findChild<T *>(QLatin1String(name))) != nullptr; },
                         kWaitMs))
        return nullptr;
    return found;
}

// A session bus of the test's own that starts no services by itself: the desktop's file manager is on it
// only when the test puts it there.
const char kBusConfig[] = R"(<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>)";

} // namespace

// The desktop's file manager as the program sees it on the session bus.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown << uris; }
};

// What the program would have opened with the desktop's default application.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
    Q_INVOKABLE void open(const QUrl &url) { opened << url; }
};

class ReviewModeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<AppCore> core_;
    std::unique_ptr<DCMainWindowController> window_;
    QString folder_;
    QTemporaryDir busHome_;
    ChildProcess bus_;

    PhotoLibraryModel &library() { return window_->library(); }
    ReviewModeController &review() { return window_->review(); }
    QString pathAt(int row) { return library().itemAt(row)->path(); }
    void writeFile(const QString &name, const QByteArray &bytes) {
        QFile file(folder_ + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // The bus's address, or empty when it cannot run here.
    QByteArray startBus() {
        QFile config(busHome_.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly) || config.write(kBusConfig) <= 0) return {};
        config.close();
        if (!bus_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                        "--nofork", "--print-address=1"}))
            return {};
        bus_.readUntil([this] { return bus_.out().contains('\n'); }, std::chrono::seconds(10));
        return bus_.out().trimmed();
    }
    void clickSheet(const char *name, QMessageBox::StandardButton which) {
        auto *sheet = openSheet<QMessageBox>(window_->window(), name);
        QVERIFY(sheet);
        sheet->button(which)->click();
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("QT_MEDIA_BACKEND", "ffmpeg"); // see MovieFrames::isAvailable()
        // Before anything in the process opens the session bus, which it then keeps.
        if (const QByteArray address = startBus(); !address.isEmpty())
            qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }

    void init() {
        home_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", home_->filePath(QStringLiteral("data")).toLocal8Bit());
        qputenv("XDG_CACHE_HOME", home_->filePath(QStringLiteral("cache")).toLocal8Bit());
        folder_ = home_->filePath(QStringLiteral("library"));
        QDir().mkpath(folder_);
        for (int i = 0; i < 10; ++i)
            writeFile(QStringLiteral("photo_%1.jpg").arg(i), photo(640, i * 10));
        UserDefaults::standardUserDefaults().setObject(folder_, DCDefaults::PhotoLibraryLocation);
        AppCore::Options options;
        options.streaming = AppCore::Streaming::Off;
        core_ = std::make_unique<AppCore>(options);
        QString error;
        QVERIFY2(core_->start(&error), qPrintable(error));
        window_ = std::make_unique<DCMainWindowController>(MainWindowServices{
            core_->cameras(), core_->settings(), *core_->capture(), nullptr, [] { return false; }});
        library().loadFolder(folder_);
        library().selectRow(0);
        window_->setMode(0);
        window_->showWindow();
        window_->setMode(2);
        QVERIFY(QTest::qWaitForWindowActive(window_->window()));
    }

    void cleanup() {
        window_.reset();
        core_.reset();
        home_.reset();
    }

    // Every bad file gets the placeholder, the good ones their thumbnail; none of it stops the window.
    void badFilesShowThePlaceholder() {
        writeFile(QStringLiteral("a_empty.jpg"), {});
        writeFile(QStringLiteral("a_text.jpg"), "not a picture at all");
        writeFile(QStringLiteral("a_cut.jpg"), photo(640, 5).left(300));
        library().loadFolder(folder_);
        library().selectRow(0);
        DCImageBrowserView *browser = review().browserView();
        const QImage placeholder = DCImageBrowserView::placeholder(browser->iconSize()).toImage();
        for (int row = 0; row < 4; ++row) {
            const QString uid = library().itemAt(row)->imageUID();
            QTRY_VERIFY_WITH_TIMEOUT(!browser->thumbnailFor(uid).isNull(), kWaitMs);
            const bool bad = library().itemAt(row)->name().startsWith(QLatin1String("a_"));
            QCOMPARE(browser->thumbnailFor(uid).toImage() == placeholder, bad);
        }
        // The large image of a bad file is a message, as is one whose folder went away.
        QTRY_VERIFY_WITH_TIMEOUT(!review().reviewModeImageView()->message().isEmpty(), kWaitMs);
        library().selectRow(5);
        QTRY_VERIFY_WITH_TIMEOUT(!review().reviewModeImageView()->image().isNull(), kWaitMs);
        QVERIFY(QDir(folder_).removeRecursively());
        library().selectRow(6);
        QTRY_VERIFY_WITH_TIMEOUT(!review().reviewModeImageView()->message().isEmpty(), kWaitMs);
    }

    void deleteAsksThenTrashesAndUndoRestores() {
        const QByteArray bytes = contents(pathAt(4));
        library().selectRow(3);
        library().selectionModel()->select(QItemSelection(library().index(3), library().index(5)),
                                           QItemSelectionModel::Select);
        const QStringList gone{pathAt(3), pathAt(4), pathAt(5)};
        QSignalSpy done(&review(), &ReviewModeController::fileStepDone);
        QTest::keyClick(review().browserView(), Qt::Key_Delete);
        auto *sheet = openSheet<QMessageBox>(window_->window(), "deleteSheet");
        QVERIFY(sheet);
        QCOMPARE(sheet->text(), QStringLiteral("Delete Current Photo"));
        QCOMPARE(sheet->informativeText(), QStringLiteral("Are you sure you want to delete the photo(s)?"));
        QVERIFY(!window_->model().isModeButtonEnabled(MainWindowModel::ModeButton::Camera));
        sheet->button(QMessageBox::Ok)->click();
        QVERIFY(done.wait(kWaitMs));
        QCOMPARE(library().rowCount(), 7);
        QCOMPARE(library().selectedRow(), 3);
        QVERIFY(window_->model().isModeButtonEnabled(MainWindowModel::ModeButton::Camera));
        for (const QString &path : gone)
            QVERIFY(!QFile::exists(path));
        QWidget *undoBar =
            review().albumView()->findChild<QPushButton *>(QStringLiteral("undoDelete"))->parentWidget();
        QVERIFY(undoBar->isVisible());
        QCOMPARE(undoBar->findChild<QLabel *>()->text(), QStringLiteral("3 photos were moved to the Trash."));
        QTRY_COMPARE(QApplication::activeWindow(), window_->window()); // the sheet gave the keyboard back
        review().browserView()->setFocus();
        QTest::keySequence(review().browserView(), QKeySequence::Undo);
        QVERIFY(done.wait(kWaitMs));
        QCOMPARE(library().rowCount(), 10);
        QCOMPARE(pathAt(4), gone[1]);
        QCOMPARE(contents(gone[1]), bytes);
        QVERIFY(!undoBar->isVisible());
    }

    void cancelAndEmptySelectionChangeNothing() {
        QTest::keyClick(review().browserView(), Qt::Key_Delete);
        clickSheet("deleteSheet", QMessageBox::Cancel);
        QCOMPARE(library().rowCount(), 10);
        QVERIFY(window_->model().isModeButtonEnabled(MainWindowModel::ModeButton::Camera));
        library().selectionModel()->clearSelection();
        review().deletePhoto();
        auto *error = openSheet<QMessageBox>(window_->window(), "deleteErrorSheet");
        QVERIFY(error);
        QCOMPARE(error->text(), QStringLiteral("Delete Error"));
        QCOMPARE(error->informativeText(), QStringLiteral("There is no file in your library directory!"));
        error->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(window_->model().isModeButtonEnabled(MainWindowModel::ModeButton::Camera));
        QCOMPARE(library().rowCount(), 10);
    }

    void zoomScalesTheDocumentAndDragStaysInside() {
        DCDraggableScrollView *scroll = review().reviewModeImageScrollView();
        QCOMPARE(review().photoZoomButton()->indexOfSelectedItem(), 1); // entering review mode
        review().setReviewModeZoom(3);
        QCOMPARE(review().photoZoomButton()->title(), QStringLiteral("Zoom: 3x"));
        QCOMPARE(scroll->widget()->size(), scroll->viewport()->size() * 3);
        review().zoomIn();
        review().zoomIn();
        review().zoomIn();
        review().zoomIn();
        QCOMPARE(scroll->zoomFactor(), 6.0f);
        QWidget *viewport = scroll->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(viewport, QPoint(60, 70));
        QCOMPARE(scroll->horizontalScrollBar()->value(), 40);
        QCOMPARE(scroll->verticalScrollBar()->value(), 30);
        QTest::mouseMove(viewport, QPoint(500, 500));
        QCOMPARE(scroll->horizontalScrollBar()->value(), 0);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(500, 500));
        for (int i = 0; i < 7; ++i)
            review().zoomOut();
        QCOMPARE(scroll->zoomFactor(), 1.0f);
        QCOMPARE(scroll->widget()->size(), scroll->viewport()->size());
    }

    void theInfoPanelShowsTheSelectedPhotosFields() {
        QAction *info = window_->window()->findChild<QAction *>(QStringLiteral("info"));
        QVERIFY(info);
        info->trigger();
        auto *panel = review().albumView()->findChild<QLabel *>(QStringLiteral("infoPanel"));
        QVERIFY(panel->isVisible());
        library().selectRow(2);
        const FileItem *item = library().itemAt(2);
        // The camera's fields come from the file a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(panel->text().contains(QLatin1String("Korva corp")), kWaitMs);
        const QString date = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        for (const QString &field : {QStringLiteral("photo_2.jpg"), QStringLiteral("640x480"),
                                     item->itemSize(), date, QStringLiteral("Wren-HD")})
            QVERIFY2(panel->text().contains(field),
                     qPrintable(field + QLatin1String(" in ") + panel->text()));
        library().selectRow(3);
        QVERIFY(panel->text().contains(QLatin1String("photo_3.jpg")));
        QVERIFY(!panel->text().contains(QLatin1String("photo_2.jpg")));
        info->trigger();
        QVERIFY(!panel->isVisible());
    }

    // The file manager on the session bus is asked to show the photo itself; without one the folder opens.
    void showInFileManagerAsksTheFileManagerElseOpensTheFolder() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !bus_.running())
            QSKIP("no dbus-daemon");
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        UrlCatcher opener;
        FakeFileManager manager;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "open");
        const auto restore = qScopeGuard([] {
            QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
            QDBusConnection::disconnectFromBus(QStringLiteral("fileManager"));
        });
        // The file manager takes URIs: a space in the name is sent escaped.
        writeFile(QStringLiteral("lesson 1.jpg"), photo(640, 1));
        library().loadFolder(folder_);
        library().selectRow(library().rowOfPath(folder_ + QStringLiteral("/lesson 1.jpg")));
        review().showInFinder();
        QTRY_COMPARE_WITH_TIMEOUT(opener.opened, QList<QUrl>{QUrl::fromLocalFile(folder_)}, kWaitMs);

        QDBusConnection managerBus = QDBusConnection::connectToBus(
            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("fileManager"));
        QVERIFY(managerBus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(managerBus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        review().showInFinder();
        const QString uri = QUrl::fromLocalFile(folder_).toString() + QStringLiteral("/lesson%201.jpg");
        QTRY_COMPARE_WITH_TIMEOUT(manager.shown, QStringList{uri}, kWaitMs);
        QCOMPARE(opener.opened.size(), 1);
    }

    void rotatingRightThenLeftGivesTheSameSize() {
        writeFile(QStringLiteral("wide.jpg"), photo(800, 3));
        library().loadFolder(folder_);
        const int row = library().rowOfPath(folder_ + QStringLiteral("/wide.jpg"));
        library().selectRow(row);
        QTRY_COMPARE(review().reviewModeImageView()->imageURL(), library().itemAt(row)->url());
        const QString uid = library().itemAt(row)->imageUID();
        QSignalSpy done(&review(), &ReviewModeController::fileStepDone);
        review().rotateReviewingImageRight();
        QVERIFY(done.wait(kWaitMs));
        QCOMPARE(library().itemAt(row)->resolution(), QStringLiteral("480x800"));
        QVERIFY(library().itemAt(row)->imageUID() != uid); // the browser fetches a new thumbnail
        review().rotateReviewingImageleft();
        QVERIFY(done.wait(kWaitMs));
        QCOMPARE(library().itemAt(row)->resolution(), QStringLiteral("800x480"));
        const auto header = JpegHeader::parse(contents(library().itemAt(row)->path()), true);
        QVERIFY(header && !header->exifPayload.isEmpty());
    }

    void copyIsLazyAndSurvivesADeletedPhoto() {
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        window_->setMode(0);
        window_->copy();
        QCOMPARE(clipboard->text(), QStringLiteral("before"));
        window_->setMode(2);
        library().selectRow(2);
        QTest::keyClick(window_->window(), Qt::Key_C);
        const QMimeData *data = clipboard->mimeData();
        QVERIFY(data->hasFormat(QStringLiteral("image/png")));
        QVERIFY(data->data(QStringLiteral("image/png")).startsWith("\x89PNG"));
        QVERIFY(!data->data(QStringLiteral("image/tiff")).isEmpty());
        QVERIFY(QFile::remove(pathAt(2)));
        QVERIFY(data->data(QStringLiteral("image/png")).isEmpty());
    }

    void droppedFilesArriveInOrder() {
        DCImageBrowserView browser(ThumbnailCache(home_->filePath(QStringLiteral("cache"))), QSize(96, 72));
        QSignalSpy accepted(&browser, &DCImageBrowserView::acceptFileDrag);
        QMimeData data;
        const QList<QUrl> urls{QUrl::fromLocalFile(pathAt(2)), QUrl::fromLocalFile(pathAt(0)),
                               QUrl::fromLocalFile(pathAt(1))};
        data.setUrls(urls);
        const auto dropOn = [&] {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(browser.viewport(), &enter);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(browser.viewport(), &drop);
            return enter.isAccepted();
        };
        QVERIFY(!dropOn()); // not set up for drops
        QCOMPARE(accepted.count(), 0);
        browser.setCanDragFilesIn(true);
        QVERIFY(dropOn());
        QCOMPARE(accepted.count(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(accepted.at(i).at(0).toUrl(), urls.at(i));
    }

    void openPanelSendsTheChosenFiles() {
        QSignalSpy sent(window_.get(), &DCMainWindowController::uploadQueueAppendRequested);
        window_->openEvernoteFileSelector();
        auto *panel = openSheet<QFileDialog>(window_->window(), "uploadQueueOpenPanel");
        QVERIFY(panel);
        QCOMPARE(panel->directory().absolutePath(), folder_);
        QVERIFY(!window_->model().isModeButtonEnabled(MainWindowModel::ModeButton::Camera));
        panel->selectFile(QStringLiteral("\"photo_1.jpg\" \"photo_2.jpg\""));
        QMetaObject::invokeMethod(panel, "accept"); // as the panel's own button does
        QCOMPARE(sent.count(), 1);
        const auto items = sent.at(0).at(0).value<ReviewModeController::FileItems>();
        QCOMPARE(items.size(), size_t(2));
        QCOMPARE(items[0]->resolution(), QStringLiteral("640x480"));
        QVERIFY(window_->model().isModeButtonEnabled(MainWindowModel::ModeButton::Camera));
    }

    // A movie shows its first frame; one that cannot be read answers nothing (the placeholder) in time.
    void moviesShowTheirFirstFrame() {
        const QString movie = home_->filePath(QStringLiteral("clip.mov"));
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-loglevel", "error", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=5", "-t", "1",
                      "-c:v", "mjpeg", movie});
        if (!ffmpeg.waitForFinished(20000) || ffmpeg.exitCode() != 0)
            QSKIP("ffmpeg cannot make a movie here");
        writeFile(QStringLiteral("broken.mov"), "not a movie");
        MovieFrames frames(96);
        QSignalSpy ready(&frames, &MovieFrames::frameReady);
        frames.request(QStringLiteral("clip"), movie);
        frames.request(QStringLiteral("broken"), folder_ + QStringLiteral("/broken.mov"));
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 2, 2 * MovieFrames::kTimeoutMs + 2000);
        QCOMPARE(ready.at(0).at(0).toString(), QStringLiteral("clip"));
        QCOMPARE(ready.at(0).at(1).value<QImage>().width(), 96);
        QVERIFY(ready.at(1).at(1).value<QImage>().isNull());
    }
};

KL_QTEST_MAIN(ReviewModeTest)
#include "ReviewModeTest.moc"
