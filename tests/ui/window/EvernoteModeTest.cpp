// The Evernote mode in the main window on the real application core, on the offscreen platform, with
// the account service signed out (its service address a loopback port nobody answers on): what reaches
// the queue and how, the alerts and the mode lock, the links and the sign-in hand-offs.
#include <memory>

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>

#include "EvernoteDouble.h"
#include "app/AppCore.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "evernote/EvernoteService.h"
#include "photos/FileItem.h"
#include "support/QtTestMain.h"
#include "ui/controls/DCButtonView.h"
#include "ui/evernote/DCEvernoteController.h"
#include "ui/evernote/DCEvernoteView.h"
#include "ui/evernote/EvernoteSignInSheet.h"
#include "ui/evernote/NotebookCreator.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/review/DCImageBrowserView.h"
#include "ui/window/DCMainWindowController.h"
#include "ui/window/DCSnapshotWindowController.h"

#ifdef KL_WITH_WEBENGINE
#include "ui/evernote/WebSignInSheet.h"
// As the program does, before the application object.
static const bool kCallbackSchemeRegistered =
    (WebSignInSheet::registerCallbackScheme(QStringLiteral("en-orb")), true);
#endif

namespace {

AppCore::Options coreOptions() {
    AppCore::Options options;
    options.demoModels = {QStringLiteral("Orb")};
    options.followCameraChanges = false;
    options.streaming = AppCore::Streaming::Off;
    return options;
}

EvernoteConfig loopbackConfig(bool withKey) {
    EvernoteConfig config;
    config.host = QStringLiteral("127.0.0.1:9");
    config.scheme = QStringLiteral("http");
    if (withKey) config.consumerKey = config.consumerSecret = QStringLiteral("test");
    return config;
}

} // namespace

// What the program would have opened in the desktop's browser.
class BrowserCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
    Q_INVOKABLE void open(const QUrl &url) { opened << url; }
};

class EvernoteModeTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<AppCore> core_;
    std::unique_ptr<EvernoteService> service_;
    std::unique_ptr<DCMainWindowController> window_;
    BrowserCatcher browser_;

    void open(bool withKey, const EvernoteConfig *config = nullptr) {
        core_ = std::make_unique<AppCore>(coreOptions());
        QString error;
        QVERIFY2(core_->start(&error), qPrintable(error));
        service_ = std::make_unique<EvernoteService>(config ? *config : loopbackConfig(withKey),
                                                     UserDefaults::standardUserDefaults(),
                                                     dir_.filePath(QStringLiteral("token")));
        window_ = std::make_unique<DCMainWindowController>(
            MainWindowServices{core_->cameras(), core_->settings(), *core_->capture(), core_->actions(),
                               [] { return false; }, service_.get()});
        window_->setMode(0);
        window_->showWindow();
        QTRY_VERIFY(!window_->library().isLoading());
        QVERIFY2(core_->startToMonitor(&error), qPrintable(error));
    }
    DCEvernoteController &evernote() { return *window_->evernoteController(); }
    DCEvernoteView &view() { return *evernote().view(); }
    QUrl photo(const QString &name) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = dir_.filePath(name);
        image.save(path, "JPEG");
        return QUrl::fromLocalFile(path);
    }
    void drop(const QList<QUrl> &urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QWidget *target = view().imageBrowserView()->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropEvent(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropEvent);
    }
    // Signs in through the desktop's browser against `service`, which has two notebooks.
    void signIn(EvernoteDouble &service) {
        service.addNotebook("nb-1", "Lessons");
        service.addNotebook("nb-2", "Korva Notebook");
        const EvernoteConfig config = service.config();
        open(true, &config);
        evernote().useSignInSheet(EvernoteSignInSheet::create(nullptr, QStringLiteral("en-orb"),
                                                              EvernoteSignInSheet::Kind::SystemBrowser));
        window_->setMode(3);
        view().loginButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(browser_.opened.size(), 1, 15000); // the authorization page
        // The browser ends at the callback, which a second launch hands to the running program.
        QVERIFY(service_->handleCallbackUrl(service.callbackUrl(true)));
        QTRY_COMPARE_WITH_TIMEOUT(view().loginButton()->text(), QStringLiteral("Logout"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(view().notebookSelector()->findText(QStringLiteral("Lessons")) >= 0, 15000);
    }
    bool modesLocked() { return !window_->model().isModeButtonEnabled(MainWindowModel::ModeButton::Camera); }

private Q_SLOTS:
    void initTestCase() {
        for (const char *scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &browser_, "open");
    }
    void cleanupTestCase() {
        for (const char *scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    void cleanup() {
        window_.reset();
        service_.reset();
        core_.reset();
        browser_.opened.clear();
    }

    void withoutAKeyTheModeSaysSoAndTheWindowWorksOn() {
        open(false);
        window_->setMode(3);
        QVERIFY(view().isUnavailable());
        QCOMPARE(view().unavailableText()->text(), EvernoteConfig::missingConsumerKeyMessage());
        QVERIFY(view().unavailableText()->isVisible());
        window_->setMode(0);
        QCOMPARE(window_->mode(), 0);
    }

    void dropsQueueInOrderAndDeletingAsksFirst() {
        open(true);
        window_->setMode(3);
        QCOMPARE(view().descriptionTextField()->text(), QStringLiteral("0 images attached"));
        drop({photo("a.jpg"), photo("b.JPG"), photo("c.gif"), photo("d.jpeg"), photo("e.png")});
        QCOMPARE(evernote().queue().rowCount(), 3);
        QCOMPARE(evernote().queue().itemAt(2)->url().fileName(), QStringLiteral("e.png"));
        QCOMPARE(view().descriptionTextField()->text(), QStringLiteral("3 images attached"));

        // Select-all from the keyboard reaches the queue in this mode; removing asks, with the modes locked.
        QVERIFY(window_->model().perform(MainWindowModel::KeyCommand::SelectAll));
        evernote().deleteSelected();
        QMessageBox *alert = evernote().currentAlert();
        QVERIFY(alert);
        QCOMPARE(alert->informativeText(), QStringLiteral("Remove the selected image(s)."));
        QVERIFY(modesLocked());
        alert->button(QMessageBox::Cancel)->click();
        QCOMPARE(evernote().queue().rowCount(), 3);
        QVERIFY(!modesLocked());
        evernote().deleteSelected();
        evernote().currentAlert()->button(QMessageBox::Ok)->click();
        QCOMPARE(view().descriptionTextField()->text(), QStringLiteral("0 images attached"));
        QVERIFY(!modesLocked());
    }

    void reviewHandsItsSelectionOverAndEvernoteModeTitlesTheNote() {
        open(true);
        PhotoLibraryModel &library = window_->library();
        const int base = library.rowCount(); // photos other tests left in the library folder
        for (const char *name : {"p1.jpg", "p2.jpg", "p3.jpg"})
            library.append(FileItem::initWithURL(photo(QString::fromLatin1(name))));
        window_->setMode(2);
        library.selectionModel()->clearSelection(); // review mode selected a photo of its own
        library.selectionModel()->select(library.index(base + 2), QItemSelectionModel::Select);
        library.selectionModel()->select(library.index(base), QItemSelectionModel::Select);
        window_->addReviewingItemsToEvernoteQueue();
        QCOMPARE(window_->mode(), 3);
        QCOMPARE(evernote().queue().rowCount(), 2);
        QCOMPARE(evernote().queue().itemAt(0)->url().fileName(), QStringLiteral("p1.jpg")); // album order
        QCOMPARE(evernote().queue().selectedRows(), QList<int>{1});
        static const QRegularExpression title(
            QStringLiteral("^Korva note created at \\d{4}-\\d\\d-\\d\\d (0[1-9]|1[0-2]):[0-5]\\d:[0-5]\\d$"));
        QVERIFY2(title.match(view().noteTitleTextField()->text()).hasMatch(),
                 qPrintable(view().noteTitleTextField()->text()));
        // The Evernote view's snapshot button opens the sheet; the photo taken in it joins the queue.
        QTRY_VERIFY_WITH_TIMEOUT(view().snapshotButton()->isEnabled(), 15000); // once the camera is there
        view().snapshotButton()->sendAction();
        QVERIFY(window_->snapshotWindowController()->isOpen());
        const QVariantMap created{{DCKey::FileURL, photo(QStringLiteral("p4.jpg"))}};
        DCNotificationCenter::defaultCenter().postNotificationName(DCNote::DCFileDidCreateNotification,
                                                                   created);
        QTRY_COMPARE(evernote().queue().rowCount(), 3);
        QVERIFY(!window_->snapshotWindowController()->isOpen());
        // The Evernote button stays hidden: this mode is entered from review mode.
        QVERIFY(MainWindowModel::isModeButtonHidden(MainWindowModel::ModeButton::Evernote));
    }

    void signedOutTheUploadButtonSignsInAndTheLinksGoToTheBrowser() {
        open(true);
        window_->setMode(3);
        QCOMPARE(view().loginButton()->text(), QStringLiteral("Login"));
        QCOMPARE(view().gotoEvernoteButton()->toolTip(), QStringLiteral("Click to go to Evernote"));
        view().gotoEvernoteButton()->click();
        QCOMPARE(browser_.opened, QList<QUrl>{service_->config().homePageUrl()});

        drop({photo("a.jpg")});
        QVERIFY(view().uploadButton()->isEnabled());
        QSignalSpy states(service_.get(), &EvernoteService::stateChanged);
        view().uploadButton()->click();
        // Nobody answers on the service's port: the sign-in fails with an alert, and the queue is kept.
        QVERIFY(!states.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(evernote().currentAlert() != nullptr, 15000);
        QCOMPARE(service_->state(), EvernoteService::State::SignedOut);
        QCOMPARE(evernote().queue().rowCount(), 1);
        evernote().currentAlert()->button(QMessageBox::Ok)->click();
        QVERIFY(!modesLocked());
    }

    // Against the loopback stand-in of the service: sign in through the desktop's browser, the notebooks
    // with the chosen one, three photos as one note, and the completion alert's link to the note.
    void signInAndUploadThreePhotosEndToEnd() {
        EvernoteDouble service;
        signIn(service);
        const int lessons = view().notebookSelector()->findText(QStringLiteral("Lessons"));
        view().notebookSelector()->setCurrentIndex(lessons);
        Q_EMIT view().notebookSelector()->activated(lessons);

        drop({photo("a.jpg"), photo("b.jpg"), photo("c.png")});
        const QString title = view().noteTitleTextField()->text();
        view().uploadButton()->click();
        QVERIFY(!view().uploadButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(evernote().currentAlert() != nullptr, 15000);
        QMessageBox *alert = evernote().currentAlert();
        QCOMPARE(alert->text(), QStringLiteral("Upload Completed"));
        QCOMPARE(alert->informativeText(), QStringLiteral("3 files has already been send to Evernote"));
        QVERIFY(modesLocked());
        const auto notes = service.receivedNotes();
        QCOMPARE(notes.size(), size_t(1));
        QCOMPARE(notes[0].resources.size(), size_t(3));
        QCOMPARE(QString::fromStdString(notes[0].notebookGuid), QStringLiteral("nb-1"));
        QCOMPARE(QString::fromStdString(notes[0].title), title);
        QCOMPARE(evernote().queue().rowCount(), 3); // until the alert is answered

        browser_.opened.clear();
        alert->findChild<QAbstractButton *>(QStringLiteral("checkEvernote"))->click();
        QCOMPARE(browser_.opened.size(), 1);
        QCOMPARE(browser_.opened[0].path(), QStringLiteral("/Home.action"));
        QVERIFY2(QRegularExpression(QStringLiteral("^b=nb-1&n=[0-9a-f-]{36}$"))
                     .match(browser_.opened[0].fragment())
                     .hasMatch(),
                 qPrintable(browser_.opened[0].toString()));
        QCOMPARE(view().descriptionTextField()->text(), QStringLiteral("0 images attached"));
        QVERIFY(!modesLocked());

        // Signing out asks nothing.
        view().loginButton()->click();
        QCOMPARE(view().loginButton()->text(), QStringLiteral("Login"));
        QCOMPARE(view().notebookSelector()->count(), 0);
    }

    // A name makes the notebook and chooses it; an empty one, Escape or a click elsewhere make nothing and
    // leave no text for the next time.
    void theNotebookCreatorMakesAndChoosesANotebook() {
        EvernoteDouble service;
        signIn(service);
        NotebookCreator *creator = evernote().notebookCreator();
        QLineEdit *name = creator->nameField();
        const auto openCreator = [&] {
            view().createNotebookButton()->click();
            QTRY_VERIFY(creator->isVisible());
            QCOMPARE(name->text(), QString());
        };
        openCreator();
        QTest::keyClicks(name, QStringLiteral("  Science "));
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(!creator->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(view().notebookSelector()->currentText(), QStringLiteral("Science"), 15000);
        QCOMPARE(service.thriftCalls("createNotebook"), 1);

        openCreator();
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(!creator->isVisible());
        openCreator();
        QTest::keyClicks(name, QStringLiteral("Art"));
        QTest::keyClick(name, Qt::Key_Escape);
        QVERIFY(!creator->isVisible());
        openCreator();
        QTest::keyClicks(name, QStringLiteral("Art"));
        QTest::mouseClick(window_->window()->windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!creator->isVisible());
        // Only this one more reaches the service (its requests are answered in order).
        openCreator();
        QTest::keyClicks(name, QStringLiteral("Music"));
        QTest::keyClick(name, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(view().notebookSelector()->currentText(), QStringLiteral("Music"), 15000);
        QCOMPARE(service.thriftCalls("createNotebook"), 2);
        QCOMPARE(view().notebookSelector()->findText(QStringLiteral("Art")), -1);
    }

    // Without a web view the authorization page goes to the desktop's browser.
    void theSystemBrowserSheetOpensThePage() {
        auto sheet = EvernoteSignInSheet::create(nullptr, QStringLiteral("en-orb"),
                                                 EvernoteSignInSheet::Kind::SystemBrowser);
        const QUrl page(QStringLiteral("https://127.0.0.1/OAuth.action?oauth_token=t"));
        sheet->showAuthorizationPage(page);
        QCOMPARE(browser_.opened, QList<QUrl>{page});
    }

#ifdef KL_WITH_WEBENGINE
    // The web view stops at the callback scheme and hands the URL on; another scheme loads as usual.
    void theWebViewCatchesOnlyTheCallbackScheme() {
        // The engine refuses to start its sandbox as root (CI containers); these pages are our own.
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QWidget parent;
        WebSignInSheet sheet(&parent, QStringLiteral("en-orb"));
        QSignalSpy callbacks(&sheet, &EvernoteSignInSheet::callbackReceived);
        QSignalSpy cancelled(&sheet, &EvernoteSignInSheet::cancelled);
        sheet.showAuthorizationPage(QUrl(QStringLiteral("en-orbx://response?oauth_token=t")));
        sheet.showAuthorizationPage(QUrl(QStringLiteral("en-orb://response?oauth_token=t&oauth_verifier=v")));
        QTRY_COMPARE_WITH_TIMEOUT(callbacks.count(), 1, 20000);
        QCOMPARE(callbacks[0][0].toUrl().scheme(), QStringLiteral("en-orb"));
        QVERIFY(!sheet.isOpen());
        // Closed at the callback is not the user's cancel; the Cancel button is.
        QCOMPARE(cancelled.count(), 0);
        sheet.showAuthorizationPage(QUrl(QStringLiteral("about:blank")));
        QVERIFY(sheet.isOpen());
        parent.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(cancelled.count(), 1);
        QVERIFY(!sheet.isOpen());
    }
#endif
};

KL_QTEST_MAIN(EvernoteModeTest)
#include "EvernoteModeTest.moc"
