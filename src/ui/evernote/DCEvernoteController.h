#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QPointer>

#include "ui/model/EvernoteModeModel.h"
#include "ui/model/MainThreadObservers.h"

class DCEvernoteView;
class EvernoteService;
class EvernoteSignInSheet;
class FileItem;
class MainWindowModel;
class NotebookCreator;
class QMessageBox;

// The Evernote mode of the main window: mirrors EvernoteModeModel in DCEvernoteView, connects it with
// the account service, and shows the sign-in sheet, the notebook creator and the alerts (as sheets on
// the main window, the mode buttons locked while one is up). Without a service, or with one that has no
// consumer key, the view says that this build cannot upload and nothing else happens.
//
// Main thread only.
class DCEvernoteController : public QObject {
    Q_OBJECT
public:
    struct Host {
        QWidget *mainWindow = nullptr;
        MainWindowModel *window = nullptr;
        EvernoteService *service = nullptr;       // null: no uploads in this program
        std::function<bool()> cameraPresent;      // null: never
        std::function<void()> openSnapshotWindow; // the view's snapshot button
        std::function<void()> openFileSelector;   // the view's "Add Photos…" button
    };
    DCEvernoteController(Host host, QWidget *viewParent, QObject *parent = nullptr);
    ~DCEvernoteController() override;

    DCEvernoteView *view() const { return view_; }
    EvernoteModeModel &model() { return model_; }
    UploadQueueModel &queue() { return model_.queue(); }
    EvernoteSignInSheet *signInSheet() const { return signIn_.get(); }
    NotebookCreator *notebookCreator() const { return creator_; }
    // The alert on the main window, while one is up.
    QMessageBox *currentAlert() const;
    bool isAvailable() const;

    // The main window enters Evernote mode: a fresh title.
    void viewWillAppear();
    void addFileItemToQueue(std::unique_ptr<FileItem> item);
    void addFileItemsToQueue(std::vector<std::unique_ptr<FileItem>> items);
    bool acceptFileDrag(const QUrl &url);
    // The file selector for JPEG and PNG photos, as a sheet.
    void upload();
    // Asks before removing the selected photos from the queue.
    void deleteSelected();
    void selectAll();
    void login();
    void gotoSelectedNotebook();
    void openEvernoteWebSite();
    void openNotebookCreater();
    // The camera came or went: the snapshot button follows.
    void updateSnapshotButton();
    // The sign-in sheet kind (tests use the desktop browser's).
    void useSignInSheet(std::unique_ptr<EvernoteSignInSheet> sheet);

private:
    void connectView();
    void connectService();
    void mirrorNotebooks();
    void mirrorSignIn();
    void uploadCompleted(int count, const QString &notebookGuid, const QString &noteGuid);
    // A window-modal alert; `done` sees it answered. The mode buttons stay locked while any is up.
    QMessageBox *showAlert(const QString &text, const QString &informative,
                           std::function<void(QMessageBox *)> done = {});
    void openInBrowser(const QUrl &url);

    Host host_;
    EvernoteModeModel model_;
    DCEvernoteView *view_;
    NotebookCreator *creator_ = nullptr;
    std::unique_ptr<EvernoteSignInSheet> signIn_;
    QPointer<QMessageBox> alert_;
    int alertsUp_ = 0;
    // Last: its handlers use the rest.
    MainThreadObservers observers_{this};
};
