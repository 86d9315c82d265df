#pragma once

#include <memory>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include "photos/ThumbnailCache.h"
#include "ui/model/AlbumDeletion.h"
#include "ui/model/DCImagePropertyController.h"

class DCDraggableScrollView;
class DCImageBrowserView;
class DCImageView;
class DCPopUpButton;
class FileItem;
class MainWindowModel;
class PhotoLibraryModel;
class QLabel;
class QMenu;
class QMessageBox;
class QPushButton;
class QTimer;
class QToolBar;
class QWidget;

// Review mode: the album view (the large image over a strip of thumbnails, the info line and panel,
// the undo bar), its toolbar controls and the actions on the library's photos: zoom, rotate, delete
// and undo, copy, show in the file manager, and sending photos to the upload queue. File work runs on
// worker threads; the mode buttons are locked while a sheet or a file step is under way.
//
// Main thread only.
class ReviewModeController : public QObject {
    Q_OBJECT
public:
    using FileItems = std::vector<std::shared_ptr<FileItem>>;

    struct Dependencies {
        QWidget *window = nullptr; // the sheets' parent
        PhotoLibraryModel &library;
        MainWindowModel &model;
        ThumbnailCache cache = ThumbnailCache();
    };

    explicit ReviewModeController(Dependencies dependencies, QObject *parent = nullptr);
    ~ReviewModeController() override;

    QWidget *albumView() const { return albumView_; }
    DCImageBrowserView *browserView() const { return browserView_; }
    DCImageView *reviewModeImageView() const { return imageView_; }
    DCDraggableScrollView *reviewModeImageScrollView() const { return scrollView_; }
    DCPopUpButton *photoZoomButton() const { return zoomButton_; }
    DCImagePropertyController &imagePropertyController() { return properties_; }
    // Adds the review controls to `toolbar` (the main window's review-mode toolbar).
    void populateToolbar(QToolBar &toolbar);

    void setReviewModeZoom(int item);
    void zoomIn();
    void zoomOut();
    void rotateReviewingImageRight();
    void rotateReviewingImageleft();
    void deletePhoto();
    void undoDelete();
    bool canUndoDelete() const { return !undo_.isEmpty() && !busy_; }
    void copy();
    void showInFinder();
    void addReviewingItemsToEvernoteQueue();
    void openEvernoteFileSelector();
    // True while a file step (delete, undo, rotate) runs.
    bool isBusy() const { return busy_; }

Q_SIGNALS:
    void uploadQueueAppendRequested(const ReviewModeController::FileItems &items);
    // A file step finished and the album shows its result.
    void fileStepDone();

private:
    void buildAlbumView();
    void connectLibrary();
    void showSelection();
    void showProperties(const QString &uid, const QString &path);
    void rotateImageAtPath(const QString &path, int withDegree);
    void confirmDelete(int answer);
    void trashDone(const AlbumDeletion::Outcome &outcome);
    void showUndoBar(int count);
    QMessageBox *sheet(const QString &text, const QString &informative);
    void setBusy(bool busy);
    QString libraryFolder() const;

    Dependencies deps_;
    QWidget *albumView_ = nullptr;
    DCDraggableScrollView *scrollView_ = nullptr;
    DCImageView *imageView_ = nullptr;
    DCImageBrowserView *browserView_ = nullptr;
    QLabel *infoLine_ = nullptr;
    QLabel *infoPanel_ = nullptr;
    QWidget *undoBar_ = nullptr;
    QTimer *undoBarTimer_ = nullptr;
    QLabel *undoText_ = nullptr;
    DCPopUpButton *zoomButton_ = nullptr;
    QMenu *contextualMenu_ = nullptr;
    DCImagePropertyController properties_;
    AlbumDeletion::UndoRecord undo_;
    bool busy_ = false;
    QThreadPool fileWork_;
};
