#include "ui/review/ReviewModeController.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "core/DCLog.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/FileItem.h"
#include "photos/PhotoProperties.h"
#include "photos/PhotoRotator.h"
#include "photos/SnapshotNamer.h"
#include "ui/controls/DCPopUpButton.h"
#include "ui/controls/Icons.h"
#include "ui/model/MainWindowModel.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/model/ReviewZoom.h"
#include "ui/review/DCDraggableScrollView.h"
#include "ui/review/DCImageBrowserView.h"
#include "ui/review/DCImageView.h"
#include "ui/review/PhotoMimeData.h"

namespace {

const QSize kThumbnailCell(144, 108);
constexpr int kStripHeight = 147;
constexpr int kUndoBarMs = 10000;

// Runs `work` on `pool` and hands its result to `done` on the main thread, unless `context` is gone.
template <typename Work, typename Done>
void runThenOnMain(QObject *context, QThreadPool *pool, Work work, Done done) {
    using Result = decltype(work());
    auto *watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, context, [watcher, done] {
        done(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(pool, std::move(work)));
}

} // namespace

ReviewModeController::ReviewModeController(Dependencies dependencies, QObject *parent)
    : QObject(parent), deps_(std::move(dependencies)) {
    // One file step at a time, in the order asked: a rotation never races a delete of the same photo.
    fileWork_.setMaxThreadCount(1);
    buildAlbumView();
    connectLibrary();
    MainWindowModel &model = deps_.model;
    connect(&model, &MainWindowModel::deletePhotoRequested, this, &ReviewModeController::deletePhoto);
    connect(&model, &MainWindowModel::copyPhotoRequested, this, &ReviewModeController::copy);
    connect(&model, &MainWindowModel::photoZoomStepRequested, this,
            [this](int step) { step > 0 ? zoomIn() : zoomOut(); });
    connect(&model, &MainWindowModel::reviewModeEntered, this, [this] {
        if (zoomButton_->indexOfSelectedItem() < 1) setReviewModeZoom(1);
        browserView_->setFocus();
    });
}

// A file step under way finishes (a photo is never left half moved); its result goes nowhere.
ReviewModeController::~ReviewModeController() {
    fileWork_.waitForDone();
}

void ReviewModeController::buildAlbumView() {
    albumView_ = new QWidget;
    albumView_->setObjectName(QStringLiteral("albumView"));
    auto *column = new QVBoxLayout(albumView_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *top = new QHBoxLayout;
    top->setSpacing(0);
    scrollView_ = new DCDraggableScrollView(albumView_);
    imageView_ = new DCImageView;
    imageView_->setBackgroundColor(QColor(24, 24, 24));
    scrollView_->setDocumentView(imageView_);
    top->addWidget(scrollView_, 1);
    infoPanel_ = new QLabel(albumView_);
    infoPanel_->setObjectName(QStringLiteral("infoPanel"));
    infoPanel_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    infoPanel_->setContentsMargins(10, 10, 10, 10);
    infoPanel_->setMinimumWidth(200);
    infoPanel_->setTextFormat(Qt::RichText);
    infoPanel_->hide();
    top->addWidget(infoPanel_);
    column->addLayout(top, 1);

    undoBar_ = new QWidget(albumView_);
    auto *undoRow = new QHBoxLayout(undoBar_);
    undoRow->setContentsMargins(8, 2, 8, 2);
    undoText_ = new QLabel(undoBar_);
    auto *undoButton = new QPushButton(tr("Undo"), undoBar_);
    undoButton->setObjectName(QStringLiteral("undoDelete"));
    connect(undoButton, &QPushButton::clicked, this, &ReviewModeController::undoDelete);
    undoRow->addWidget(undoText_, 1);
    undoRow->addWidget(undoButton);
    undoBar_->hide();
    column->addWidget(undoBar_);
    undoBarTimer_ = new QTimer(undoBar_);
    undoBarTimer_->setSingleShot(true);
    connect(undoBarTimer_, &QTimer::timeout, undoBar_, &QWidget::hide);

    infoLine_ = new QLabel(albumView_);
    infoLine_->setObjectName(QStringLiteral("infoLine"));
    infoLine_->setAlignment(Qt::AlignCenter);
    column->addWidget(infoLine_);

    browserView_ = new DCImageBrowserView(deps_.cache, kThumbnailCell, albumView_);
    browserView_->setObjectName(QStringLiteral("browserView"));
    browserView_->setWrapping(false);
    browserView_->setFixedHeight(kStripHeight);
    browserView_->setModel(&deps_.library);
    browserView_->setSelectionModel(deps_.library.selectionModel());
    column->addWidget(browserView_);

    auto *undo = new QAction(tr("Undo"), albumView_);
    undo->setShortcut(QKeySequence::Undo);
    undo->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(undo, &QAction::triggered, this, &ReviewModeController::undoDelete);
    albumView_->addAction(undo);

    contextualMenu_ = new QMenu(albumView_);
    contextualMenu_->addAction(tr("Rotate Right"), this, &ReviewModeController::rotateReviewingImageRight);
    contextualMenu_->addAction(tr("Rotate Left"), this, &ReviewModeController::rotateReviewingImageleft);
    contextualMenu_->addAction(tr("Copy"), this, &ReviewModeController::copy);
    contextualMenu_->addAction(tr("Show in File Manager"), this, &ReviewModeController::showInFinder);
    contextualMenu_->addAction(tr("Add to Upload Queue"), this,
                               &ReviewModeController::addReviewingItemsToEvernoteQueue);
    contextualMenu_->addSeparator();
    contextualMenu_->addAction(tr("Delete"), this, &ReviewModeController::deletePhoto);
    connect(browserView_, &DCImageBrowserView::contextMenuRequested, contextualMenu_,
            [this](int, const QPoint &at) { contextualMenu_->popup(at); });
    connect(browserView_, &DCImageBrowserView::deleteRequested, this, &ReviewModeController::deletePhoto);
    connect(browserView_, &DCImageBrowserView::selectPreviousRequested, &deps_.library,
            &PhotoLibraryModel::selectPrevious);
    connect(browserView_, &DCImageBrowserView::selectNextRequested, &deps_.library,
            &PhotoLibraryModel::selectNext);
}

void ReviewModeController::connectLibrary() {
    PhotoLibraryModel &library = deps_.library;
    connect(library.selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ReviewModeController::showSelection);
    connect(&library, &QAbstractItemModel::modelReset, this, &ReviewModeController::showSelection);
    connect(&library, &QAbstractItemModel::dataChanged, this, &ReviewModeController::showSelection);
    connect(&library, &PhotoLibraryModel::scrollToRowRequested, browserView_,
            [this](int row) { browserView_->scrollTo(deps_.library.index(row)); });
}

void ReviewModeController::populateToolbar(QToolBar &toolbar) {
    zoomButton_ = new DCPopUpButton(&toolbar);
    zoomButton_->setObjectName(QStringLiteral("photoZoomButton"));
    zoomButton_->setTitle(tr("Zoom"));
    for (int item = 1; item <= ReviewZoom::kMaxItem; ++item)
        zoomButton_->addItem(tr("%1x").arg(item));
    connect(zoomButton_, &DCPopUpButton::itemChosen, this, &ReviewModeController::setReviewModeZoom);
    toolbar.addWidget(zoomButton_);
    toolbar.addSeparator();
    const auto add = [&toolbar](const QString &name, const QString &text, const QString &tip, auto slot,
                                auto *receiver) {
        QAction *action = toolbar.addAction(text, receiver, slot);
        action->setObjectName(name);
        action->setToolTip(tip);
        return action;
    };
    add(QStringLiteral("rotateLeft"), tr("Rotate Left"), tr("Turn the photo to the left"),
        &ReviewModeController::rotateReviewingImageleft, this);
    add(QStringLiteral("rotateRight"), tr("Rotate Right"), tr("Turn the photo to the right"),
        &ReviewModeController::rotateReviewingImageRight, this);
    add(QStringLiteral("deletePhoto"), tr("Delete"), tr("Move the photo to the Trash (Delete)"),
        &ReviewModeController::deletePhoto, this);
    add(QStringLiteral("copyPhoto"), tr("Copy"), tr("Copy the photo (C)"), &ReviewModeController::copy, this);
    add(QStringLiteral("showInFinder"), tr("Show"), tr("Show the photo in the file manager"),
        &ReviewModeController::showInFinder, this);
    add(QStringLiteral("addToUploadQueue"), tr("Evernote"), tr("Send the photos to the upload queue"),
        &ReviewModeController::addReviewingItemsToEvernoteQueue, this);
    QAction *info = add(QStringLiteral("info"), tr("Info"), tr("Show the photo's properties"),
                        &ReviewModeController::showSelection, this);
    info->setCheckable(true);
    connect(info, &QAction::toggled, infoPanel_, &QWidget::setVisible);
}

// --- What is shown ---

void ReviewModeController::showSelection() {
    const FileItem *item = deps_.library.selectedItem();
    if (!item) {
        infoLine_->clear();
        infoPanel_->clear();
        imageView_->setImageURL({});
        return;
    }
    infoLine_->setText(item->infoString());
    if (item->type() == FileItem::Movie) {
        imageView_->setImageURL({});
        imageView_->setImage(browserView_->thumbnailFor(item->imageUID()).toImage());
    } else {
        imageView_->setImageURL(item->url());
    }
    const QString uid = item->imageUID();
    properties_.setValue(item->name(), QStringLiteral("Name"), uid);
    properties_.setValue(item->resolution(), QStringLiteral("Resolution"), uid);
    properties_.setValue(item->itemSize(), QStringLiteral("Size"), uid);
    properties_.setValue(item->createDateDescription(), QStringLiteral("Date"), uid);
    showProperties(uid, item->path());
}

// The camera's fields are read from the file's head on a worker, once per identifier.
void ReviewModeController::showProperties(const QString &uid, const QString &path) {
    const auto render = [this, uid] {
        if (!deps_.library.selectedItem() || deps_.library.selectedItem()->imageUID() != uid) return;
        QString rows;
        const auto table = properties_.properties().value(uid);
        for (auto it = table.cbegin(); it != table.cend(); ++it)
            if (it.key() != QStringLiteral("_camera") && !it.value().toString().isEmpty())
                rows += QStringLiteral("<tr><td><b>%1</b></td><td>&nbsp;%2</td></tr>")
                            .arg(it.key().toHtmlEscaped(), it.value().toString().toHtmlEscaped());
        infoPanel_->setText(QStringLiteral("<table>%1</table>").arg(rows));
    };
    render();
    if (properties_.valueForKey(QStringLiteral("_camera"), uid).isValid()) return;
    properties_.setValue(true, QStringLiteral("_camera"), uid);
    runThenOnMain(
        this, &fileWork_, [path] { return PhotoProperties::cameraFields(path); },
        [this, uid, render](const std::vector<PhotoProperties::Field> &fields) {
            for (const auto &[label, value] : fields)
                properties_.setValue(value, label, uid);
            render();
        });
}

// --- Zoom ---

void ReviewModeController::setReviewModeZoom(int item) {
    zoomButton_->selectItemAtIndex(item);
    zoomButton_->setTitle(QStringLiteral("%1: %2").arg(tr("Zoom"), zoomButton_->titleOfSelectedItem()));
    zoomButton_->setMutexState();
    scrollView_->setZoomFactor(ReviewZoom::factorOfItem(item));
}

void ReviewModeController::zoomIn() {
    const int selected = zoomButton_->indexOfSelectedItem();
    const int next = ReviewZoom::steppedItem(selected, 1);
    if (next != selected) setReviewModeZoom(next);
}

void ReviewModeController::zoomOut() {
    const int selected = zoomButton_->indexOfSelectedItem();
    const int next = ReviewZoom::steppedItem(selected, -1);
    if (next != selected) setReviewModeZoom(next);
}

// --- Rotating ---

void ReviewModeController::rotateReviewingImageRight() {
    rotateImageAtPath(imageView_->imageURL().toLocalFile(), -90);
}

void ReviewModeController::rotateReviewingImageleft() {
    rotateImageAtPath(imageView_->imageURL().toLocalFile(), 90);
}

void ReviewModeController::rotateImageAtPath(const QString &path, int withDegree) {
    if (path.isEmpty() || busy_) return;
    setBusy(true);
    const ThumbnailCache cache = deps_.cache;
    runThenOnMain(
        this, &fileWork_,
        [path, withDegree, cache] {
            QString error;
            const bool turned = PhotoRotator::rotateImageAtPath(path, withDegree, &error);
            // The cache tells versions apart by the second of their change; two turns within one second
            // would otherwise show the first turn's thumbnail.
            if (turned)
                for (const int width : {128, 256, 512, 1024})
                    QFile::remove(cache.cachePath(path, width));
            return turned;
        },
        [this, path](bool turned) {
            setBusy(false);
            if (turned) {
                const int row = deps_.library.selectedRow();
                deps_.library.resetPath(path);
                if (row >= 0) deps_.library.selectRow(row);
                imageView_->reload();
            }
            Q_EMIT fileStepDone();
        });
}

// --- Deleting and undo ---

QMessageBox *ReviewModeController::sheet(const QString &text, const QString &informative) {
    auto *box = new QMessageBox(deps_.window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setText(text);
    box->setInformativeText(informative);
    box->setIconPixmap(Icons::icon(QStringLiteral("AppIcon")).pixmap(64));
    // The keyboard goes back to the album (Ctrl+Z, the arrows) however the desktop hands focus on.
    connect(box, &QMessageBox::finished, deps_.window, [window = deps_.window] { window->activateWindow(); });
    return box;
}

void ReviewModeController::deletePhoto() {
    if (busy_) return;
    MainWindowModel &model = deps_.model;
    if (deps_.library.selectedRows().empty()) {
        model.lockMode();
        QMessageBox *box = sheet(tr("Delete Error"), tr("There is no file in your library directory!"));
        box->setObjectName(QStringLiteral("deleteErrorSheet"));
        box->setStandardButtons(QMessageBox::Ok);
        connect(box, &QMessageBox::finished, &model, &MainWindowModel::unlockMode);
        box->open();
        return;
    }
    QApplication::beep();
    model.lockMode();
    QMessageBox *box = sheet(tr("Delete Current Photo"), tr("Are you sure you want to delete the photo(s)?"));
    box->setObjectName(QStringLiteral("deleteSheet"));
    box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Ok);
    connect(box, &QMessageBox::finished, this, &ReviewModeController::confirmDelete);
    box->open();
}

void ReviewModeController::confirmDelete(int answer) {
    if (answer != QMessageBox::Ok) {
        deps_.model.unlockMode();
        return;
    }
    setBusy(true);
    runThenOnMain(
        this, &fileWork_,
        [targets = AlbumDeletion::plan(deps_.library)] { return AlbumDeletion::trash(targets); },
        [this](const AlbumDeletion::Outcome &outcome) { trashDone(outcome); });
}

void ReviewModeController::trashDone(const AlbumDeletion::Outcome &outcome) {
    undo_ = AlbumDeletion::apply(deps_.library, outcome);
    setBusy(false);
    deps_.model.unlockMode();
    if (!undo_.isEmpty()) showUndoBar(static_cast<int>(undo_.entries.size()));
    if (!outcome.failedPath.isEmpty()) {
        auto *panel = new QMessageBox(
            QMessageBox::Warning,
            tr("“%1” could not be moved to the Trash.").arg(QFileInfo(outcome.failedPath).fileName()),
            outcome.error, QMessageBox::Ok, deps_.window);
        panel->setObjectName(QStringLiteral("deleteFailedPanel"));
        panel->setAttribute(Qt::WA_DeleteOnClose);
        panel->setWindowModality(Qt::WindowModal);
        panel->open();
    }
    Q_EMIT fileStepDone();
}

void ReviewModeController::showUndoBar(int count) {
    undoText_->setText(count == 1 ? tr("The photo was moved to the Trash.")
                                  : tr("%1 photos were moved to the Trash.").arg(count));
    undoBar_->show();
    // One timer, started again by each delete: a newer delete's bar keeps its full time.
    undoBarTimer_->start(kUndoBarMs);
}

void ReviewModeController::undoDelete() {
    if (!canUndoDelete()) return;
    undoBar_->hide();
    setBusy(true);
    AlbumDeletion::UndoRecord record = std::move(undo_);
    undo_ = {};
    runThenOnMain(
        this, &fileWork_, [record] { return AlbumDeletion::restore(record); },
        [this, record](const std::vector<AlbumDeletion::Restored> &restored) {
            const QStringList messages = AlbumDeletion::applyRestore(deps_.library, record, restored);
            setBusy(false);
            if (!messages.isEmpty()) {
                QMessageBox *box = sheet(tr("Undo"), messages.join(QLatin1Char('\n')));
                box->setObjectName(QStringLiteral("undoMessage"));
                box->setStandardButtons(QMessageBox::Ok);
                box->open();
            }
            Q_EMIT fileStepDone();
        });
}

void ReviewModeController::setBusy(bool busy) {
    busy_ = busy;
}

// --- Copy, show, upload queue ---

void ReviewModeController::copy() {
    const FileItem *item = deps_.library.selectedItem();
    if (!item || deps_.model.currentView() != MainWindowModel::View::Album) return;
    QGuiApplication::clipboard()->setMimeData(new PhotoMimeData(item->path()));
}

void ReviewModeController::showInFinder() {
    const FileItem *item = deps_.library.selectedItem();
    if (!item) return;
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(item->path()).absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    // URIs as the interface defines them: a space or a non-ASCII letter in the name goes percent-encoded.
    call << QStringList{item->url().toString(QUrl::FullyEncoded)} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, folder] {
        if (watcher->isError()) {
            DCLog("No file manager answered (%s); opening the folder",
                  qUtf8Printable(watcher->error().message()));
            QDesktopServices::openUrl(folder);
        }
        watcher->deleteLater();
    });
}

void ReviewModeController::addReviewingItemsToEvernoteQueue() {
    FileItems items;
    for (const int row : deps_.library.selectedRows())
        if (const FileItem *item = deps_.library.itemAt(row))
            items.push_back(std::make_shared<FileItem>(*item));
    if (items.empty()) return;
    Q_EMIT uploadQueueAppendRequested(items);
    deps_.model.changeMode(MainWindowModel::ModeButton::Evernote);
}

QString ReviewModeController::libraryFolder() const {
    return SnapshotNamer::expandedFolder(
        UserDefaults::standardUserDefaults().stringForKey(DCDefaults::PhotoLibraryLocation));
}

void ReviewModeController::openEvernoteFileSelector() {
    deps_.model.lockMode();
    auto *panel = new QFileDialog(deps_.window, tr("Add Photos"), libraryFolder());
    panel->setObjectName(QStringLiteral("uploadQueueOpenPanel"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setFileMode(QFileDialog::ExistingFiles);
    panel->setOption(QFileDialog::DontUseNativeDialog); // a sheet of our window on every desktop
    panel->setNameFilter(tr("Photos (*.jpg *.png)"));
    connect(panel, &QFileDialog::finished, &deps_.model, &MainWindowModel::unlockMode);
    connect(panel, &QFileDialog::filesSelected, this, [this](const QStringList &paths) {
        FileItems items;
        for (const QString &path : paths) {
            std::shared_ptr<FileItem> item = FileItem::initWithURL(QUrl::fromLocalFile(path));
            if (item->path().isEmpty()) continue;
            item->imageRepresentation();
            items.push_back(std::move(item));
        }
        if (!items.empty()) Q_EMIT uploadQueueAppendRequested(items);
    });
    panel->open();
}
