#pragma once

#include <QWidget>

#include "photos/ThumbnailCache.h"

class DCButtonView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedLayout;
class QToolButton;
class DCImageBrowserView;

// The Evernote mode's view: where photos come from (the files, the camera), the queue of photos with
// their count, the note's title and notebook, and the account and send buttons. It only holds the
// widgets; what they do is DCEvernoteController's. A build without an Evernote key shows a page that
// says so instead.
class DCEvernoteView : public QWidget {
    Q_OBJECT
public:
    explicit DCEvernoteView(QWidget *parent = nullptr);

    // Instead of everything else: the build cannot talk to Evernote, and why.
    void showUnavailable(const QString &message);
    bool isUnavailable() const;

    QPushButton *leftButton() const { return leftButton_; } // photos from files
    DCButtonView *snapshotButton() const { return snapshotButton_; }
    DCImageBrowserView *imageBrowserView() const { return browser_; }
    QLabel *descriptionTextField() const { return description_; }
    QLineEdit *noteTitleTextField() const { return noteTitle_; }
    QComboBox *notebookSelector() const { return notebookSelector_; }
    QToolButton *gotoNotebookButton() const { return gotoNotebook_; }
    QToolButton *createNotebookButton() const { return createNotebook_; }
    QPushButton *gotoEvernoteButton() const { return gotoEvernote_; }
    QPushButton *loginButton() const { return loginButton_; }
    QPushButton *uploadButton() const { return uploadButton_; }
    QLabel *unavailableText() const { return unavailable_; }

private:
    QWidget *buildSourceArea();
    QWidget *buildNoteAttributeArea();
    QWidget *buildSendArea();

    QStackedLayout *pages_ = nullptr;
    QWidget *main_ = nullptr;
    QPushButton *leftButton_ = nullptr;
    DCButtonView *snapshotButton_ = nullptr;
    // What the queue's browser draws its thumbnails from; before the browser, which keeps a reference.
    ThumbnailCache thumbnailCache_;
    DCImageBrowserView *browser_ = nullptr;
    QLabel *description_ = nullptr;
    QLineEdit *noteTitle_ = nullptr;
    QComboBox *notebookSelector_ = nullptr;
    QToolButton *gotoNotebook_ = nullptr;
    QToolButton *createNotebook_ = nullptr;
    QPushButton *gotoEvernote_ = nullptr;
    QPushButton *loginButton_ = nullptr;
    QPushButton *uploadButton_ = nullptr;
    QLabel *unavailable_ = nullptr;
};
