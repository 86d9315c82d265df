#include "ui/model/EvernoteModeModel.h"

#include "core/DCLog.h"

EvernoteModeModel::EvernoteModeModel(QObject *parent) : QObject(parent) {}

QString EvernoteModeModel::noteTitle(const QDateTime &when) {
    // Qt's "hh" is the 24-hour clock unless an AM/PM marker is in the format: the hour is made here.
    const int hour = when.time().hour() % 12 == 0 ? 12 : when.time().hour() % 12;
    const QString stamp =
        when.toString(QStringLiteral("yyyy-MM-dd %1:mm:ss")).arg(hour, 2, 10, QLatin1Char('0'));
    return tr("Korva note created at %1").arg(stamp);
}

std::optional<EvernoteNotebook> EvernoteModeModel::chosenNotebook() const {
    if (selected_ < 0 || selected_ >= notebooks_.size()) return std::nullopt;
    return notebooks_[selected_];
}

void EvernoteModeModel::setSelectedNotebook(int index) {
    if (index < -1 || index >= notebooks_.size()) index = -1;
    if (index == selected_) return;
    selected_ = index;
    Q_EMIT selectedNotebookChanged(index);
}

void EvernoteModeModel::setNotebooks(const QList<EvernoteNotebook> &notebooks, const QString &defaultGuid) {
    notebooks_ = notebooks;
    selected_ = -1;
    Q_EMIT notebooksChanged();
    int chosen = notebooks_.isEmpty() ? -1 : 0;
    for (int i = 0; i < notebooks_.size() && !defaultGuid.isEmpty(); ++i)
        if (notebooks_[i].guid == defaultGuid) {
            chosen = i;
            break;
        }
    setSelectedNotebook(chosen);
}

void EvernoteModeModel::notebookCreated(const EvernoteNotebook &notebook) {
    notebooks_ << notebook;
    Q_EMIT notebooksChanged();
    selected_ = -1;
    setSelectedNotebook(static_cast<int>(notebooks_.size()) - 1);
}

void EvernoteModeModel::notebookNotCreated(const QString &name) {
    for (int i = 0; i < notebooks_.size(); ++i)
        if (notebooks_[i].name == name) return setSelectedNotebook(i);
}

void EvernoteModeModel::setSignedIn(bool signedIn) {
    if (signedIn == signedIn_) return;
    signedIn_ = signedIn;
    if (!signedIn) setNotebooks({}, {});
    Q_EMIT signedInChanged(signedIn);
}

void EvernoteModeModel::setUploading(bool uploading) {
    if (uploading == uploading_) return;
    uploading_ = uploading;
    Q_EMIT uploadingChanged(uploading);
}

void EvernoteModeModel::upload(const QString &title) {
    DCLog("Note title: %s", qUtf8Printable(title));
    if (!signedIn_) {
        Q_EMIT signInRequested();
        return;
    }
    // One note at a time: a second press while sending would send the same photos again.
    if (uploading_ || !sent_.empty()) return;
    UploadQueueModel::Batch batch = queue_.takeBatch();
    if (!batch.missing.isEmpty()) Q_EMIT photosMissing(batch.missing, batch.paths.isEmpty());
    if (batch.paths.isEmpty()) return;
    sent_ = std::move(batch.ids);
    setUploading(true);
    Q_EMIT uploadRequested(title, batch.paths, chosenNotebook());
}

void EvernoteModeModel::uploadFinished(const QString &noteGuid, const QString &notebookGuid,
                                       bool alertShown) {
    setUploading(false);
    DCLog("Upload items uploadFinished");
    if (!alertShown) return completedAlertEnded();
    Q_EMIT uploadCompleted(static_cast<int>(sent_.size()), notebookGuid, noteGuid);
}

void EvernoteModeModel::completedAlertEnded() {
    queue_.removeEntries(sent_);
    sent_.clear();
}

void EvernoteModeModel::uploadFailed() {
    setUploading(false);
    DCLog("Upload items uploadFailed");
    sent_.clear();
}

QString EvernoteModeModel::completedText(int count) {
    return tr("%1 files has already been send to Evernote").arg(count);
}
