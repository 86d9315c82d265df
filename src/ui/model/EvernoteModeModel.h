#pragma once

#include <optional>

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>

#include "evernote/EvernoteNotebook.h"
#include "ui/model/UploadQueueModel.h"

// The Evernote mode's rules between the window and the account service: the queue, the notebooks with
// the one chosen, the note's title and what an upload sends, keeps and tells. The window shows what the
// signals say; the account service (connected by the window) does the talking. Main thread only.
class EvernoteModeModel : public QObject {
    Q_OBJECT
public:
    explicit EvernoteModeModel(QObject *parent = nullptr);

    UploadQueueModel &queue() { return queue_; }

    // "Korva note created at yyyy-MM-dd hh:mm:ss" on the 12-hour clock (01-12) without AM or PM.
    static QString noteTitle(const QDateTime &when);

    QList<EvernoteNotebook> notebooks() const { return notebooks_; }
    // -1 when none is chosen.
    int selectedNotebook() const { return selected_; }
    std::optional<EvernoteNotebook> chosenNotebook() const;
    void setSelectedNotebook(int index);
    // The account's notebooks; the one of the last upload (`defaultGuid`) is chosen, else the first.
    void setNotebooks(const QList<EvernoteNotebook> &notebooks, const QString &defaultGuid);
    // A notebook the user made is appended and chosen.
    void notebookCreated(const EvernoteNotebook &notebook);
    // Making one failed (its name is taken, say): the notebook of exactly that name, if any, is chosen.
    void notebookNotCreated(const QString &name);

    bool isSignedIn() const { return signedIn_; }
    void setSignedIn(bool signedIn);
    bool isUploading() const { return uploading_; }
    void setUploading(bool uploading);
    // The snapshot button works with a camera and while nothing is being sent.
    bool isSnapshotEnabled(bool cameraPresent) const { return cameraPresent && !uploading_; }

    // The upload button: signs in first when signed out; else sends the queue's photos under `title`.
    void upload(const QString &title);
    // The note is made. The photos it took leave the queue once the user has seen the alert (or at once
    // when no alert is shown, as in full screen); photos queued meanwhile stay.
    void uploadFinished(const QString &noteGuid, const QString &notebookGuid, bool alertShown);
    void completedAlertEnded();
    // A failed upload keeps every photo queued for another try.
    void uploadFailed();

    // "%1 files has already been send to Evernote".
    static QString completedText(int count);

Q_SIGNALS:
    void signInRequested();
    void uploadRequested(const QString &title, const QStringList &paths,
                         const std::optional<EvernoteNotebook> &notebook);
    // Queued photos whose files are gone; they were left out (and the upload, when none was left).
    void photosMissing(const QStringList &names, bool nothingLeft);
    // The completion alert: `count` photos went into the note.
    void uploadCompleted(int count, const QString &notebookGuid, const QString &noteGuid);
    void notebooksChanged();
    void selectedNotebookChanged(int index);
    void uploadingChanged(bool uploading);
    void signedInChanged(bool signedIn);

private:
    UploadQueueModel queue_;
    QList<EvernoteNotebook> notebooks_;
    int selected_ = -1;
    bool signedIn_ = false;
    bool uploading_ = false;
    // The queue entries of the upload under way, or of the one whose alert is up.
    std::vector<std::uint64_t> sent_;
};
