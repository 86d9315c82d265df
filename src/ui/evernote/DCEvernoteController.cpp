#include "DCEvernoteController.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

#include "DCEvernoteView.h"
#include "EvernoteSignInSheet.h"
#include "NotebookCreator.h"
#include "core/DCLog.h"
#include "core/DCVocabulary.h"
#include "evernote/EvernoteService.h"
#include "photos/FileItem.h"
#include "ui/controls/DCButtonView.h"
#include "ui/controls/Icons.h"
#include "ui/model/MainWindowModel.h"
#include "ui/review/DCImageBrowserView.h"

DCEvernoteController::DCEvernoteController(Host host, QWidget *viewParent, QObject *parent)
    : QObject(parent), host_(std::move(host)), view_(new DCEvernoteView(viewParent)) {
    DCImageBrowserView *browser = view_->imageBrowserView();
    browser->setModel(&model_.queue());
    browser->setSelectionModel(model_.queue().selectionModel());
    creator_ = new NotebookCreator(view_);
    if (host_.mainWindow)
        signIn_ = EvernoteSignInSheet::create(host_.mainWindow, EvernoteService::callbackScheme());
    view_->descriptionTextField()->setText(model_.queue().countText());
    connectView();
    if (!isAvailable()) {
        view_->showUnavailable(host_.service ? EvernoteConfig::missingConsumerKeyMessage()
                                             : tr("This program was started without Evernote."));
        return;
    }
    connectService();
    mirrorSignIn();
    // A token kept from the last run signs in again (and loads the notebooks) without asking.
    host_.service->restoreSignIn();
}

DCEvernoteController::~DCEvernoteController() = default;

bool DCEvernoteController::isAvailable() const {
    return host_.service && host_.service->hasConsumerKey();
}

void DCEvernoteController::useSignInSheet(std::unique_ptr<EvernoteSignInSheet> sheet) {
    signIn_ = std::move(sheet);
    if (isAvailable()) connectService();
}

void DCEvernoteController::connectView() {
    DCEvernoteView *v = view_;
    UploadQueueModel &queue = model_.queue();
    connect(&queue, &UploadQueueModel::countChanged, v->descriptionTextField(),
            [this] { view_->descriptionTextField()->setText(model_.queue().countText()); });
    connect(&queue, &UploadQueueModel::countChanged, this, [this] {
        view_->uploadButton()->setEnabled(!model_.isUploading() && model_.queue().rowCount() > 0);
    });
    connect(&queue, &UploadQueueModel::scrollToRowRequested, v->imageBrowserView(),
            [this](int row) { view_->imageBrowserView()->scrollTo(model_.queue().index(row)); });
    connect(v->imageBrowserView(), &DCImageBrowserView::acceptFileDrag, this,
            &DCEvernoteController::acceptFileDrag);
    connect(v->imageBrowserView(), &DCImageBrowserView::deleteRequested, this,
            &DCEvernoteController::deleteSelected);
    connect(v->leftButton(), &QPushButton::clicked, this, [this] {
        if (host_.openFileSelector) host_.openFileSelector();
    });
    connect(v->snapshotButton(), &DCButtonView::clicked, this, [this] {
        if (host_.openSnapshotWindow) host_.openSnapshotWindow();
    });
    connect(v->uploadButton(), &QPushButton::clicked, this, &DCEvernoteController::upload);
    connect(v->loginButton(), &QPushButton::clicked, this, &DCEvernoteController::login);
    connect(v->gotoNotebookButton(), &QToolButton::clicked, this,
            &DCEvernoteController::gotoSelectedNotebook);
    connect(v->createNotebookButton(), &QToolButton::clicked, this,
            &DCEvernoteController::openNotebookCreater);
    connect(v->gotoEvernoteButton(), &QPushButton::clicked, this, &DCEvernoteController::openEvernoteWebSite);
    connect(v->notebookSelector(), &QComboBox::activated, &model_, &EvernoteModeModel::setSelectedNotebook);
    connect(&model_, &EvernoteModeModel::notebooksChanged, this, &DCEvernoteController::mirrorNotebooks);
    connect(&model_, &EvernoteModeModel::selectedNotebookChanged, v->notebookSelector(),
            &QComboBox::setCurrentIndex);
    connect(&model_, &EvernoteModeModel::uploadingChanged, this, [this](bool uploading) {
        view_->uploadButton()->setIcon(
            Icons::icon(uploading ? QStringLiteral("uploading") : QStringLiteral("sent")));
        view_->uploadButton()->setEnabled(!uploading && model_.queue().rowCount() > 0);
        updateSnapshotButton();
    });
    connect(&model_, &EvernoteModeModel::photosMissing, this,
            [this](const QStringList &names, bool nothingLeft) {
                QString text = tr("These photos are no longer there and were left out of the note: %1")
                                   .arg(names.join(QStringLiteral(", ")));
                if (nothingLeft) text += QLatin1Char('\n') + tr("Nothing was uploaded.");
                showAlert(tr("Attention"), text);
            });
    connect(&model_, &EvernoteModeModel::uploadCompleted, this, &DCEvernoteController::uploadCompleted);
    view_->uploadButton()->setEnabled(false);
    updateSnapshotButton();
    observers_.add(DCNote::DCCameraDidChange, [this](const DCNotification &) { updateSnapshotButton(); });
}

void DCEvernoteController::connectService() {
    EvernoteService *service = host_.service;
    // Connections made again for a new sign-in sheet are not doubled.
    disconnect(service, nullptr, this, nullptr);
    disconnect(service, nullptr, &model_, nullptr);
    disconnect(&model_, &EvernoteModeModel::signInRequested, nullptr, nullptr);
    disconnect(&model_, &EvernoteModeModel::uploadRequested, nullptr, nullptr);
    connect(&model_, &EvernoteModeModel::signInRequested, service, &EvernoteService::beginSignIn);
    connect(&model_, &EvernoteModeModel::uploadRequested, service, &EvernoteService::uploadNote);
    connect(service, &EvernoteService::stateChanged, this, &DCEvernoteController::mirrorSignIn);
    connect(service, &EvernoteService::signedOut, this, [this] {
        if (signIn_) signIn_->loadLogoutPage(host_.service->config().logoutPageUrl());
    });
    connect(service, &EvernoteService::signInFailed, this,
            [this](const QString &title, const QString &message) {
                if (signIn_) signIn_->close();
                showAlert(title, message);
            });
    connect(service, &EvernoteService::notebooksListed, &model_, &EvernoteModeModel::setNotebooks);
    connect(service, &EvernoteService::notebookCreated, &model_, &EvernoteModeModel::notebookCreated);
    connect(service, &EvernoteService::notebookNotCreated, &model_, &EvernoteModeModel::notebookNotCreated);
    connect(service, &EvernoteService::noteUploaded, this,
            [this](const QString &note, const QString &notebook) {
                // Full screen shows no alert: nobody may be at the computer to close it.
                const bool alert = !host_.window || host_.window->mode() != WindowMode::FullScreen;
                model_.uploadFinished(note, notebook, alert);
            });
    connect(service, &EvernoteService::uploadFailed, this,
            [this](const QString &title, const QString &message) {
                model_.uploadFailed();
                showAlert(title, message);
            });
    connect(service, &EvernoteService::requestFailed, this,
            [this](const QString &title, const QString &message) { showAlert(title, message); });
    if (!signIn_) return;
    connect(service, &EvernoteService::authorizationPageReady, signIn_.get(),
            &EvernoteSignInSheet::showAuthorizationPage);
    connect(signIn_.get(), &EvernoteSignInSheet::callbackReceived, service,
            &EvernoteService::handleCallbackUrl);
    connect(signIn_.get(), &EvernoteSignInSheet::cancelled, service, &EvernoteService::cancelSignIn);
    connect(signIn_.get(), &EvernoteSignInSheet::failed, this,
            [this](const QString &message) { showAlert(tr("Attention"), message); });
}

void DCEvernoteController::mirrorSignIn() {
    const bool signedIn = host_.service && host_.service->isSignedIn();
    model_.setSignedIn(signedIn);
    view_->loginButton()->setText(signedIn ? tr("Logout") : tr("Login"));
}

void DCEvernoteController::mirrorNotebooks() {
    QComboBox *selector = view_->notebookSelector();
    const QSignalBlocker quiet(selector);
    selector->clear();
    for (const EvernoteNotebook &notebook : model_.notebooks())
        selector->addItem(notebook.name, notebook.guid);
    selector->setCurrentIndex(model_.selectedNotebook());
}

void DCEvernoteController::viewWillAppear() {
    view_->noteTitleTextField()->setText(EvernoteModeModel::noteTitle(QDateTime::currentDateTime()));
    updateSnapshotButton();
}

void DCEvernoteController::updateSnapshotButton() {
    const bool camera = host_.cameraPresent && host_.cameraPresent();
    view_->snapshotButton()->setEnabled(model_.isSnapshotEnabled(camera));
}

void DCEvernoteController::addFileItemToQueue(std::unique_ptr<FileItem> item) {
    model_.queue().addFileItemToQueue(std::move(item));
}

void DCEvernoteController::addFileItemsToQueue(std::vector<std::unique_ptr<FileItem>> items) {
    model_.queue().addFileItemsToQueue(std::move(items));
}

bool DCEvernoteController::acceptFileDrag(const QUrl &url) {
    return model_.queue().acceptFileDrag(url);
}

void DCEvernoteController::upload() {
    if (!isAvailable()) return;
    model_.upload(view_->noteTitleTextField()->text());
}

void DCEvernoteController::deleteSelected() {
    if (model_.queue().selectedRows().isEmpty()) return;
    QMessageBox *box =
        showAlert(tr("Attention"), tr("Remove the selected image(s)."), [this](QMessageBox *answered) {
            if (answered->standardButton(answered->clickedButton()) == QMessageBox::Ok)
                model_.queue().removeSelected();
        });
    box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Ok);
}

void DCEvernoteController::selectAll() {
    model_.queue().selectAll();
}

// Signing out asks nothing: signing in again is one press away.
void DCEvernoteController::login() {
    if (!isAvailable()) return;
    if (host_.service->isSignedIn())
        host_.service->signOut();
    else
        host_.service->beginSignIn();
}

void DCEvernoteController::gotoSelectedNotebook() {
    const std::optional<EvernoteNotebook> notebook = model_.chosenNotebook();
    if (notebook && isAvailable()) openInBrowser(host_.service->config().notebookPageUrl(notebook->guid));
}

void DCEvernoteController::openEvernoteWebSite() {
    if (host_.service) openInBrowser(host_.service->config().homePageUrl());
}

void DCEvernoteController::openNotebookCreater() {
    if (!isAvailable()) return;
    if (!creator_->isVisible()) {
        disconnect(creator_, &NotebookCreator::createRequested, nullptr, nullptr);
        connect(creator_, &NotebookCreator::createRequested, host_.service, &EvernoteService::createNotebook);
    }
    creator_->toggle(view_->createNotebookButton());
}

void DCEvernoteController::uploadCompleted(int count, const QString &notebookGuid, const QString &noteGuid) {
    QMessageBox *box = showAlert(
        tr("Upload Completed"), EvernoteModeModel::completedText(count),
        [this, notebookGuid, noteGuid](QMessageBox *answered) {
            model_.completedAlertEnded();
            if (answered->clickedButton() &&
                answered->clickedButton()->objectName() == QLatin1String("checkEvernote") && host_.service)
                openInBrowser(host_.service->config().notePageUrl(notebookGuid, noteGuid));
        });
    box->setStandardButtons(QMessageBox::NoButton);
    box->setDefaultButton(box->addButton(tr("OK"), QMessageBox::AcceptRole));
    box->addButton(tr("Check Evernote now"), QMessageBox::ActionRole)
        ->setObjectName(QStringLiteral("checkEvernote"));
}

QMessageBox *DCEvernoteController::showAlert(const QString &text, const QString &informative,
                                             std::function<void(QMessageBox *)> done) {
    auto *box = new QMessageBox(host_.mainWindow ? host_.mainWindow : view_->window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("evernoteAlert"));
    box->setWindowModality(Qt::WindowModal);
    box->setText(text.isEmpty() ? tr("Attention") : text);
    box->setInformativeText(informative);
    box->setStandardButtons(QMessageBox::Ok);
    DCLog("Alert: %s %s", qUtf8Printable(text), qUtf8Printable(informative));
    if (host_.window && alertsUp_++ == 0) host_.window->lockMode();
    connect(box, &QMessageBox::finished, this, [this, box, done = std::move(done)] {
        if (done) done(box);
        if (host_.window && --alertsUp_ == 0) host_.window->unlockMode();
    });
    alert_ = box;
    box->open();
    return box;
}

void DCEvernoteController::openInBrowser(const QUrl &url) {
    DCLog("Opening %s", qUtf8Printable(url.toString()));
    if (!QDesktopServices::openUrl(url)) showAlert(tr("Attention"), tr("No web browser could be opened."));
}

QMessageBox *DCEvernoteController::currentAlert() const {
    return alert_;
}
