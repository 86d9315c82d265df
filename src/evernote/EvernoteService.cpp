#include "evernote/EvernoteService.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>

#include "core/DCLog.h"
#include "core/MainThread.h"
#include "core/OperationQueue.h"
#include "core/UserDefaults.h"
#include "evernote/EdamErrors.h"
#include "evernote/EdamSession.h"
#include "evernote/EnmlNoteBuilder.h"
#include "evernote/EvernoteTokenStore.h"
#include "evernote/NotebookLookup.h"
#include "evernote/OAuthRequest.h"
#include "evernote/generated/Edam_types.h"

namespace {

const QString kNoteStoreUrlKey = QStringLiteral("noteStoreUrl");
const QString kEdamUserIdKey = QStringLiteral("edamUserId");
const QString kAuthTokenKey = QStringLiteral("authToken");
const QString kDefaultNotebookGuidKey = QStringLiteral("defaultNotebookGuid");

// An OAuth reply is a short form-encoded line.
constexpr qint64 kMaxOAuthReplyBytes = 64 * 1024;
constexpr int kOAuthTimeoutMs = 10000;
constexpr int kDeclinedSignOutDelayMs = 1000;

QString fromStd(const std::string &text) {
    return QString::fromStdString(text);
}

// The token is as good as the password for the account's notes: the log shows only its start.
QString redacted(const QString &token) {
    return token.left(8) + QStringLiteral("...");
}

} // namespace

class EvernoteService::Private {
public:
    Private(UserDefaults &defaults, QString tokenFilePath)
        : defaults(defaults), tokenStore(std::move(tokenFilePath)) {}

    UserDefaults &defaults;
    EvernoteTokenStore tokenStore;
    QNetworkAccessManager network;
    QPointer<QNetworkReply> pendingReply;

    QString token;
    QString noteStoreUrl;
    QString edamUserId;
    QString temporaryToken;
    QString tokenSecret;
    // Bumped at sign-out: what the old account's calls bring back afterwards is dropped.
    quint64 generation = 0;

    std::shared_ptr<EdamCallCanceller> canceller = std::make_shared<EdamCallCanceller>();
    // Last, so it is finished and joined before the rest goes.
    OperationQueue queue{"evernote"};
};

using Completion = std::function<void()>;

EvernoteService::EvernoteService(EvernoteConfig config, UserDefaults &defaults, QString tokenFilePath,
                                 QObject *parent)
    : QObject(parent), config_(std::move(config)),
      d_(std::make_unique<Private>(defaults, std::move(tokenFilePath))) {}

EvernoteService::~EvernoteService() {
    if (d_->pendingReply) d_->pendingReply->abort();
    // What is queued still runs (the token file and the defaults are written), but no call waits for
    // the service any more.
    d_->canceller->cancelAll();
}

void EvernoteService::setState(State state) {
    if (state_ == state) return;
    state_ = state;
    Q_EMIT stateChanged(state);
}

// Runs `work` on the queue; the completion it returns runs on the main thread, unless the service has
// gone or the account has changed meanwhile.
static void runInBackground(EvernoteService *service, quint64 generation, const quint64 *currentGeneration,
                            OperationQueue &queue, std::function<Completion()> work) {
    QPointer<EvernoteService> self(service);
    queue.addOperation([self, generation, currentGeneration, work = std::move(work)] {
        Completion completion = work();
        if (!completion) return;
        MainThread::run([self, generation, currentGeneration, completion = std::move(completion)] {
            if (self && *currentGeneration == generation) completion();
        });
    });
}

QString EvernoteService::defaultNotebookGuid() const {
    return d_->defaults.stringForKey(kDefaultNotebookGuidKey);
}

// ---- sign-in --------------------------------------------------------------------------------------

void EvernoteService::restoreSignIn() {
    const EvernoteTokenStore store = d_->tokenStore;
    UserDefaults &defaults = d_->defaults;
    runInBackground(this, d_->generation, &d_->generation, d_->queue,
                    [this, store, &defaults]() -> Completion {
                        const QString token = store.load();
                        if (token.isEmpty()) return {};
                        const QString url = defaults.stringForKey(kNoteStoreUrlKey);
                        const QString userId = defaults.stringForKey(kEdamUserIdKey);
                        return [this, token, url, userId] {
                            if (state_ != State::SignedOut) return;
                            adoptAccount(token, url, userId);
                        };
                    });
}

void EvernoteService::beginSignIn() {
    if (!hasConsumerKey()) {
        DCLog("Cannot sign in: this build has no Evernote consumer key");
        Q_EMIT signInFailed(QStringLiteral("Evernote is not available"),
                            EvernoteConfig::missingConsumerKeyMessage());
        return;
    }
    if (isSignedIn()) return;
    abortPendingRequest();
    const QString callback = callbackScheme() + QStringLiteral("://response");
    DCLog("oauthCallback: %s", qUtf8Printable(callback));
    const auto request =
        OAuthRequest::signedGet(config_.scheme, config_.host, QStringLiteral("/oauth"),
                                {{QStringLiteral("oauth_callback"), callback}},
                                {config_.consumerKey, config_.consumerSecret, QString(), QString()});
    setState(State::RequestingToken);
    fetch(request.url, request.authorization);
}

bool EvernoteService::handleCallbackUrl(const QUrl &url) {
    if (url.scheme() != callbackScheme()) return false;
    DCLog("Sign-in callback: %s", qUtf8Printable(url.toString(QUrl::RemoveQuery)));
    if (state_ != State::AwaitingAuthorization) {
        // Any program can open an en-orb address: only the answer to our own request counts.
        DCLog("Ignoring the sign-in callback: no sign-in is waiting for one");
        return true;
    }
    const auto parameters = OAuthRequest::parametersFromQueryString(url.query(QUrl::FullyEncoded));
    const QString token = parameters.value(QStringLiteral("oauth_token"));
    if (!parameters.contains(QStringLiteral("oauth_verifier"))) {
        DCLog("Authorization declined");
        const QString declined = d_->temporaryToken;
        QTimer::singleShot(kDeclinedSignOutDelayMs, this, [this, declined] {
            if (state_ == State::AwaitingAuthorization && d_->temporaryToken == declined) signOut();
        });
        return true;
    }
    if (token.isEmpty() || token != d_->temporaryToken) {
        DCLog("Ignoring the sign-in callback: its token is not the one this sign-in was given");
        clearTemporaryCredentials();
        setState(State::SignedOut);
        Q_EMIT signInFailed(
            QString(),
            EdamErrors::errorText(QStringLiteral(
                "The answer from Evernote does not belong to this sign-in. Please sign in again.")));
        return true;
    }
    const auto request = OAuthRequest::signedGet(
        config_.scheme, config_.host, QStringLiteral("/oauth"),
        {{QStringLiteral("oauth_verifier"), parameters.value(QStringLiteral("oauth_verifier"))}},
        {config_.consumerKey, config_.consumerSecret, token, d_->tokenSecret});
    setState(State::Exchanging);
    fetch(request.url, request.authorization);
    return true;
}

void EvernoteService::cancelSignIn() {
    if (isSignedIn()) return;
    abortPendingRequest();
    clearTemporaryCredentials();
    setState(State::SignedOut);
}

void EvernoteService::signOut() {
    abortPendingRequest();
    clearTemporaryCredentials();
    ++d_->generation;
    d_->token.clear();
    d_->noteStoreUrl.clear();
    d_->edamUserId.clear();
    setUploading(false);
    const EvernoteTokenStore store = d_->tokenStore;
    UserDefaults &defaults = d_->defaults;
    d_->queue.addOperation([store, &defaults] {
        store.remove();
        for (const QString &key : {kAuthTokenKey, kNoteStoreUrlKey, kEdamUserIdKey})
            defaults.removeObjectForKey(key);
        defaults.synchronize();
    });
    setState(State::SignedOut);
    Q_EMIT signedOut();
}

void EvernoteService::abortPendingRequest() {
    if (QNetworkReply *reply = d_->pendingReply) {
        d_->pendingReply = nullptr;
        reply->abort();
    }
}

void EvernoteService::clearTemporaryCredentials() {
    d_->temporaryToken.clear();
    d_->tokenSecret.clear();
}

void EvernoteService::fetch(const QUrl &url, const QByteArray &authorization) {
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", authorization);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(kOAuthTimeoutMs);
    if (!config_.caCertificatesFile.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setCaCertificates(QSslCertificate::fromPath(config_.caCertificatesFile));
        request.setSslConfiguration(ssl);
    }
    QNetworkReply *reply = d_->network.get(request);
    d_->pendingReply = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxOAuthReplyBytes) {
            reply->setProperty("tooLarge", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (d_->pendingReply != reply) return; // aborted on purpose
        d_->pendingReply = nullptr;
        onOAuthReply(reply);
    });
}

void EvernoteService::onOAuthReply(QNetworkReply *reply) {
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (reply->property("tooLarge").toBool() ||
        (reply->error() != QNetworkReply::NoError && !status.isValid())) {
        const QString error = reply->property("tooLarge").toBool() ? QStringLiteral("The reply is too large.")
                                                                   : reply->errorString();
        DCLog("Error: %s", qUtf8Printable(error));
        clearTemporaryCredentials();
        setState(State::SignedOut);
        Q_EMIT signInFailed(error, QString());
        return;
    }
    const QString text = QString::fromUtf8(reply->read(kMaxOAuthReplyBytes));
    if (status.toInt() != 200) {
        DCLog("Received error HTTP response code: %d", status.toInt());
        DCLog("%s", qUtf8Printable(text.left(1000)));
        clearTemporaryCredentials();
        setState(State::SignedOut);
        return;
    }
    const auto parameters = OAuthRequest::parametersFromQueryString(text.trimmed());
    if (parameters.contains(QStringLiteral("oauth_callback_confirmed")))
        onTemporaryCredentials(parameters);
    else
        onTokenCredentials(parameters);
}

void EvernoteService::onTemporaryCredentials(const QMap<QString, QString> &parameters) {
    d_->temporaryToken = parameters.value(QStringLiteral("oauth_token"));
    d_->tokenSecret = parameters.value(QStringLiteral("oauth_token_secret"));
    if (d_->temporaryToken.isEmpty()) {
        DCLog("The temporary-credential reply has no oauth_token");
        setState(State::SignedOut);
        Q_EMIT signInFailed(QString(),
                            EdamErrors::errorText(QStringLiteral("Evernote did not start the sign-in.")));
        return;
    }
    QUrl url = config_.serviceUrl(QStringLiteral("/OAuth.action"));
    url.setQuery(
        OAuthRequest::queryStringFromParameters({{QStringLiteral("oauth_token"), d_->temporaryToken}}),
        QUrl::StrictMode);
    DCLog("openBrowserWithURL:%s", qUtf8Printable(url.toString()));
    setState(State::AwaitingAuthorization);
    Q_EMIT authorizationPageReady(url);
}

void EvernoteService::onTokenCredentials(const QMap<QString, QString> &parameters) {
    clearTemporaryCredentials();
    const QString token = parameters.value(QStringLiteral("oauth_token"));
    const QString url = parameters.value(QStringLiteral("edam_noteStoreUrl"));
    const QString userId = parameters.value(QStringLiteral("edam_userId"));
    DCLog("login completed, authToken:%s, noteStoreURL:%s, edamUserId:%s", qUtf8Printable(redacted(token)),
          qUtf8Printable(url), qUtf8Printable(userId));
    if (token.isEmpty()) {
        setState(State::SignedOut);
        Q_EMIT signInFailed(QString(),
                            EdamErrors::errorText(QStringLiteral("Evernote sent no access token.")));
        return;
    }
    const EvernoteTokenStore store = d_->tokenStore;
    UserDefaults &defaults = d_->defaults;
    d_->queue.addOperation([store, &defaults, token, url, userId] {
        store.save(token);
        defaults.removeObjectForKey(kAuthTokenKey);
        defaults.setObject(url, kNoteStoreUrlKey);
        defaults.setObject(userId, kEdamUserIdKey);
        defaults.synchronize();
    });
    adoptAccount(token, url, userId);
}

// Signed in with `token`: the user store checks it, then the notebooks load. Only the service's own
// refusal of the token signs out; a network failure keeps it for the next try.
void EvernoteService::adoptAccount(const QString &token, const QString &noteStoreUrl, const QString &userId) {
    d_->token = token;
    d_->noteStoreUrl = noteStoreUrl;
    d_->edamUserId = userId;
    setState(State::SignedIn);
    Q_EMIT signedIn();
    EdamSession session = makeSession();
    runInBackground(this, d_->generation, &d_->generation, d_->queue,
                    [this, session]() mutable -> Completion {
                        try {
                            const edam::User user = session.getUser();
                            DCLog("Signed in as user %d", user.id);
                        } catch (const edam::EDAMUserException &refused) {
                            DCLog("The service refused the stored token: %s",
                                  qUtf8Printable(describeEdamFailure(refused)));
                            return [this] { signOut(); };
                        } catch (const std::exception &failure) {
                            DCLog("Cannot reach the user store, keeping the token: %s",
                                  qUtf8Printable(describeEdamFailure(failure)));
                        }
                        return notebooksListedCompletion(session);
                    });
}

EdamSession EvernoteService::makeSession() const {
    return EdamSession(config_, d_->token.toStdString(), QUrl(d_->noteStoreUrl, QUrl::StrictMode),
                       d_->canceller);
}

// ---- notebooks --------------------------------------------------------------------------------------

std::function<void()> EvernoteService::notebooksListedCompletion(EdamSession &session) {
    QList<EvernoteNotebook> notebooks;
    try {
        for (const auto &notebook : session.listNotebooks())
            notebooks.append({fromStd(notebook.guid), fromStd(notebook.name)});
        DCLog("List notebooks successfully");
    } catch (const edam::EDAMUserException &error) {
        DCLog("Error list notebooks: error code %i, %s", int(error.errorCode), error.what());
    } catch (const std::exception &error) {
        DCLog("Error list notebooks: %s", qUtf8Printable(describeEdamFailure(error)));
    }
    const QString wanted = d_->defaults.stringForKey(kDefaultNotebookGuidKey);
    QString defaultGuid;
    if (!wanted.isEmpty()) {
        DCLog("defaultNotebookGuid: %s", qUtf8Printable(wanted));
        for (const auto &notebook : notebooks) {
            if (notebook.guid == wanted) {
                defaultGuid = wanted;
                break;
            }
        }
    }
    return [this, notebooks, defaultGuid] { Q_EMIT notebooksListed(notebooks, defaultGuid); };
}

void EvernoteService::listNotebooks() {
    if (!isSignedIn()) return;
    EdamSession session = makeSession();
    runInBackground(this, d_->generation, &d_->generation, d_->queue,
                    [this, session]() mutable { return notebooksListedCompletion(session); });
}

void EvernoteService::createNotebook(const QString &name) {
    if (!isSignedIn()) return;
    EdamSession session = makeSession();
    runInBackground(
        this, d_->generation, &d_->generation, d_->queue, [this, session, name]() mutable -> Completion {
            DCLog("Create notebook with name: %s", qUtf8Printable(name));
            try {
                const edam::Notebook created = session.createNotebook(name);
                const EvernoteNotebook notebook{fromStd(created.guid), fromStd(created.name)};
                return [this, notebook] { Q_EMIT notebookCreated(notebook); };
            } catch (const edam::EDAMUserException &refused) {
                const QString text =
                    EdamErrors::userExceptionText(refused.errorCode, fromStd(refused.parameter));
                return [this, name, text] {
                    Q_EMIT requestFailed(QString(), text);
                    Q_EMIT notebookNotCreated(name);
                };
            } catch (const std::exception &failure) {
                DCLog("Cannot create the notebook: %s", qUtf8Printable(describeEdamFailure(failure)));
                return [this, name] { Q_EMIT notebookNotCreated(name); };
            }
        });
}

// ---- upload -----------------------------------------------------------------------------------------

void EvernoteService::setUploading(bool uploading) {
    if (uploading_ == uploading) return;
    uploading_ = uploading;
    Q_EMIT uploadingChanged(uploading);
}

void EvernoteService::uploadNote(const QString &title, const QStringList &paths,
                                 std::optional<EvernoteNotebook> chosen) {
    DCLog("Note title: %s", qUtf8Printable(title));
    if (!isSignedIn()) {
        beginSignIn();
        return;
    }
    if (uploading_) {
        DCLog("An upload is already running");
        return;
    }
    const QString guid = chosen ? chosen->guid : QString();
    const QString name = chosen ? chosen->name : QString::fromLatin1(kCustomNotebookName);
    setUploading(true);
    EdamSession session = makeSession();
    UserDefaults &defaults = d_->defaults;
    runInBackground(
        this, d_->generation, &d_->generation, d_->queue,
        [this, session, title, paths, guid, name, &defaults]() mutable -> Completion {
            const auto fail = [this](const QString &message) -> Completion {
                DCLog("Upload items uploadFailed: %s", qUtf8Printable(message));
                return [this, message] {
                    setUploading(false);
                    Q_EMIT uploadFailed(QString(), message);
                };
            };
            std::vector<edam::Notebook> notebooks;
            try {
                notebooks = session.listNotebooks();
            } catch (const edam::EDAMUserException &refused) {
                DCLog("Error: %s", refused.what());
                return fail(EdamErrors::userExceptionText(refused.errorCode, fromStd(refused.parameter)));
            } catch (const std::exception &failure) {
                return fail(EdamErrors::errorText(describeEdamFailure(failure)));
            }
            const auto notebook = findNotebook(notebooks, guid, name);
            if (!notebook) return fail(EdamErrors::errorText(QStringLiteral("Notebook doesn't exist.")));
            DCLog("The notebook guid is %s", notebook->guid.c_str());
            DCLog("Start to upload items.");

            const auto built = EnmlNoteBuilder::build(title, fromStd(notebook->guid), paths);
            if (!built.failure.isEmpty()) return fail(EdamErrors::errorText(built.failure));
            edam::Note note;
            try {
                note = session.createNote(built.note);
            } catch (const edam::EDAMUserException &refused) {
                DCLog("Error: %s", refused.what());
                const QString text = EdamErrors::errorText(describeEdamFailure(refused));
                Completion failed = fail(EdamErrors::errorText(QStringLiteral("Unable to create note.")));
                return [this, text, failed] {
                    Q_EMIT requestFailed(QString(), text);
                    failed();
                };
            } catch (const std::exception &failure) {
                return fail(EdamErrors::errorText(describeEdamFailure(failure)));
            }
            if (note.guid.empty())
                return fail(EdamErrors::errorText(QStringLiteral("Unable to create note.")));

            defaults.setObject(fromStd(notebook->guid), kDefaultNotebookGuidKey);
            defaults.synchronize();
            DCLog("Upload items uploadFinished");
            const QString noteGuid = fromStd(note.guid);
            const QString notebookGuid = fromStd(notebook->guid);
            return [this, noteGuid, notebookGuid] {
                setUploading(false);
                Q_EMIT noteUploaded(noteGuid, notebookGuid);
            };
        });
}
