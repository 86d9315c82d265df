#include "DCEvernoteView.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/controls/DCButtonView.h"
#include "ui/controls/DCCustomBackgroundColorScroller.h"
#include "ui/controls/Icons.h"
#include "ui/review/DCImageBrowserView.h"

namespace {

// The queue's cells: smaller than the album's, so that a class's worth of photos shows at once.
const QSize kThumbnailCell(96, 72);

QWidget *area(QWidget *parent, const char *name) {
    auto *widget = new QWidget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

DCEvernoteView::DCEvernoteView(QWidget *parent) : QWidget(parent) {
    pages_ = new QStackedLayout(this);
    main_ = new QWidget(this);
    auto *column = new QVBoxLayout(main_);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(10);
    column->addWidget(buildSourceArea());

    QWidget *browserArea = area(main_, "imageBrowserAreaView");
    auto *browserColumn = new QVBoxLayout(browserArea);
    browserColumn->setContentsMargins(0, 0, 0, 0);
    browser_ = new DCImageBrowserView(thumbnailCache_, kThumbnailCell, browserArea);
    browser_->setWrapping(true);
    browser_->setObjectName(QStringLiteral("imageBrowserView"));
    browser_->setCanDragFilesIn(true);
    auto *scroller = new DCCustomBackgroundColorScroller(Qt::Vertical, browser_);
    scroller->setColor(QColor::fromRgbF(0.6f, 0.6f, 0.6f, 1.0f));
    browser_->setVerticalScrollBar(scroller);
    browserColumn->addWidget(browser_, 1);
    // The count sits on a strip of its own colour under the thumbnails.
    auto *photoInfoArea = area(browserArea, "photoInfoArea");
    photoInfoArea->setAutoFillBackground(true);
    QPalette strip = photoInfoArea->palette();
    strip.setColor(QPalette::Window, QColor::fromRgbF(0.4f, 0.4039f, 0.4039f, 1.0f));
    photoInfoArea->setPalette(strip);
    auto *stripRow = new QHBoxLayout(photoInfoArea);
    stripRow->setContentsMargins(8, 3, 8, 3);
    description_ = new QLabel(photoInfoArea);
    description_->setObjectName(QStringLiteral("descriptionTextField"));
    stripRow->addWidget(description_);
    browserColumn->addWidget(photoInfoArea);
    column->addWidget(browserArea, 1);

    column->addWidget(buildNoteAttributeArea());
    column->addWidget(buildSendArea());
    pages_->addWidget(main_);

    unavailable_ = new QLabel(this);
    unavailable_->setObjectName(QStringLiteral("unavailableText"));
    unavailable_->setWordWrap(true);
    unavailable_->setAlignment(Qt::AlignCenter);
    unavailable_->setMargin(40);
    unavailable_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pages_->addWidget(unavailable_);
}

QWidget *DCEvernoteView::buildSourceArea() {
    QWidget *sourceArea = area(main_, "imageSourceAreaView");
    auto *row = new QHBoxLayout(sourceArea);
    row->setContentsMargins(0, 0, 0, 0);
    leftButton_ = new QPushButton(tr("Add Photos…"), sourceArea);
    leftButton_->setObjectName(QStringLiteral("leftButton"));
    leftButton_->setFlat(true);
    leftButton_->setToolTip(tr("Add JPEG or PNG files to the note"));
    row->addWidget(leftButton_);
    row->addStretch(1);
    snapshotButton_ = new DCButtonView(sourceArea);
    snapshotButton_->setObjectName(QStringLiteral("rightButton"));
    snapshotButton_->setExitImage(QStringLiteral("Snapshot-Down"));
    snapshotButton_->setEnterImage(QStringLiteral("Snapshot-Up"));
    snapshotButton_->setImageScale(0.6);
    snapshotButton_->setAccessibleName(tr("Take a Photo"));
    snapshotButton_->setToolTip(tr("Take a photo for the note"));
    row->addWidget(snapshotButton_);
    return sourceArea;
}

QWidget *DCEvernoteView::buildNoteAttributeArea() {
    QWidget *attributes = area(main_, "noteAttributeAreaView");
    auto *form = new QFormLayout(attributes);
    form->setContentsMargins(0, 0, 0, 0);
    noteTitle_ = new QLineEdit(attributes);
    noteTitle_->setObjectName(QStringLiteral("noteTitleTextField"));
    form->addRow(tr("Title:"), noteTitle_);

    auto *notebookRow = new QHBoxLayout;
    notebookSelector_ = new QComboBox(attributes);
    notebookSelector_->setObjectName(QStringLiteral("notebookSelector"));
    notebookSelector_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    notebookSelector_->setMinimumContentsLength(16);
    notebookRow->addWidget(notebookSelector_, 1);
    gotoNotebook_ = new QToolButton(attributes);
    gotoNotebook_->setObjectName(QStringLiteral("gotoNotebookButton"));
    gotoNotebook_->setText(tr("Open"));
    gotoNotebook_->setToolTip(tr("Click to go to Notebook"));
    notebookRow->addWidget(gotoNotebook_);
    createNotebook_ = new QToolButton(attributes);
    createNotebook_->setObjectName(QStringLiteral("createNotebookButton"));
    createNotebook_->setText(tr("New…"));
    createNotebook_->setToolTip(tr("Click to create Notebook"));
    notebookRow->addWidget(createNotebook_);
    form->addRow(tr("Notebook:"), notebookRow);
    return attributes;
}

QWidget *DCEvernoteView::buildSendArea() {
    QWidget *sendArea = area(main_, "sendAreaView");
    auto *row = new QHBoxLayout(sendArea);
    row->setContentsMargins(0, 0, 0, 0);
    gotoEvernote_ = new QPushButton(tr("Evernote"), sendArea);
    gotoEvernote_->setObjectName(QStringLiteral("gotoEvernoteButton"));
    gotoEvernote_->setFlat(true);
    gotoEvernote_->setToolTip(tr("Click to go to Evernote"));
    gotoEvernote_->setCursor(Qt::PointingHandCursor);
    row->addWidget(gotoEvernote_);
    loginButton_ = new QPushButton(tr("Login"), sendArea);
    loginButton_->setObjectName(QStringLiteral("loginButton"));
    loginButton_->setCursor(Qt::PointingHandCursor);
    row->addWidget(loginButton_);
    row->addStretch(1);
    uploadButton_ = new QPushButton(tr("Upload"), sendArea);
    uploadButton_->setObjectName(QStringLiteral("uploadButton"));
    uploadButton_->setIcon(Icons::icon(QStringLiteral("sent")));
    uploadButton_->setDefault(true);
    row->addWidget(uploadButton_);
    return sendArea;
}

void DCEvernoteView::showUnavailable(const QString &message) {
    unavailable_->setText(message);
    pages_->setCurrentWidget(unavailable_);
}

bool DCEvernoteView::isUnavailable() const {
    return pages_->currentWidget() == unavailable_;
}
