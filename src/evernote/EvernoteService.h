#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "evernote/EvernoteConfig.h"
#include "evernote/EvernoteNotebook.h"

class EdamSession;
class QNetworkReply;
class UserDefaults;

// The account side of the Evernote mode: OAuth sign-in, the notebooks and the upload of photos as one
// note. Lives on the main thread and never blocks it: the OAuth requests are asynchronous and every
// EDAM call runs on the service's own operation queue. Results arrive as signals on the main thread.
//
// The texts in the failure signals are the ones the user is shown; `title` is the alert's message and
// `message` its informative text (an empty title leaves the alert's message to the window).
class EvernoteService : public QObject {
    Q_OBJECT
public:
    enum class State {
        SignedOut,
        RequestingToken,       // first OAuth step under way
        AwaitingAuthorization, // the authorization page is to be shown
        Exchanging,            // the verifier is being exchanged for the access token
        SignedIn,
    };
    Q_ENUM(State)

    // `tokenFilePath` empty: $XDG_CONFIG_HOME/korva-lectern/evernote-token.
    EvernoteService(EvernoteConfig config, UserDefaults &defaults, QString tokenFilePath = {},
                    QObject *parent = nullptr);
    ~EvernoteService() override;

    const EvernoteConfig &config() const { return config_; }
    bool hasConsumerKey() const { return config_.hasConsumerKey(); }
    State state() const { return state_; }
    bool isSignedIn() const { return state_ == State::SignedIn; }
    bool isUploading() const { return uploading_; }
    // The callback scheme the service sends the browser to at the end of authorization.
    static QString callbackScheme() { return QStringLiteral("en-orb"); }

    // Signs in with the stored token, if there is one, and loads the notebooks. Call once at start.
    void restoreSignIn();
    // First OAuth step; ends in authorizationPageReady, or signInFailed. Without a consumer key it
    // fails at once with missingConsumerKeyMessage().
    void beginSignIn();
    // True when `url` is our callback (scheme "en-orb"): it is then handled (second step, or sign-out
    // a second later when the user declined) and must not be loaded in the web view.
    bool handleCallbackUrl(const QUrl &url);
    // Leaves a sign-in under way; its temporary credentials are dropped.
    void cancelSignIn();
    // Forgets the token, the note store and the notebooks; the token file is removed. The window also
    // loads config().logoutPageUrl() in its web view.
    void signOut();

    void listNotebooks();
    void createNotebook(const QString &name);
    // One note titled `title` holding every photo of `paths`, in order, in `chosen` (matched by guid,
    // then by name ignoring case) or, with none chosen, in the notebook named kCustomNotebookName.
    void uploadNote(const QString &title, const QStringList &paths, std::optional<EvernoteNotebook> chosen);

    // The guid of the notebook of the last successful upload ("defaultNotebookGuid"), or empty.
    QString defaultNotebookGuid() const;

Q_SIGNALS:
    void stateChanged(EvernoteService::State state);
    void authorizationPageReady(const QUrl &url);
    void signedIn();
    void signInFailed(const QString &title, const QString &message);
    void signedOut();

    // `defaultGuid`: the notebook to pre-select, or empty.
    void notebooksListed(const QList<EvernoteNotebook> &notebooks, const QString &defaultGuid);
    void notebookCreated(const EvernoteNotebook &notebook);
    // No notebook was made (the alert, if any, came as requestFailed): the window selects the
    // existing notebook of that name, if there is one.
    void notebookNotCreated(const QString &name);

    void uploadingChanged(bool uploading);
    void noteUploaded(const QString &noteGuid, const QString &notebookGuid);
    void uploadFailed(const QString &title, const QString &message);
    // An alert not tied to the end of an operation (a refused notebook, a note the service refused).
    void requestFailed(const QString &title, const QString &message);

private:
    class Private;
    void setState(State state);
    void setUploading(bool uploading);
    void abortPendingRequest();
    void clearTemporaryCredentials();
    void fetch(const QUrl &url, const QByteArray &authorization);
    void onOAuthReply(QNetworkReply *reply);
    void onTemporaryCredentials(const QMap<QString, QString> &parameters);
    void onTokenCredentials(const QMap<QString, QString> &parameters);
    void adoptAccount(const QString &token, const QString &noteStoreUrl, const QString &userId);
    EdamSession makeSession() const;
    // Lists the notebooks (on the queue) and answers what to tell the window (on the main thread).
    std::function<void()> notebooksListedCompletion(EdamSession &session);

    EvernoteConfig config_;
    State state_ = State::SignedOut;
    bool uploading_ = false;
    std::unique_ptr<Private> d_;
};
