#include "evernote/EvernoteService.h"

#include <sys/stat.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include "EvernoteDouble.h"
#include "core/UserDefaults.h"
#include "evernote/EnmlNoteBuilder.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

// Readable failure messages.
void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using Fault = EvernoteDouble::Fault;

// Sign-in goes through Qt's network access, which runs HTTP on a thread of its own and hands requests
// and replies over with Qt's own implicitly shared buffers and events. ThreadSanitizer cannot see any
// of that in Debian's uninstrumented Qt, and its reports there carry none of our frames to tell them
// apart. The address and thread sanitizer-free runs keep these tests; the note builder's threads keep
// their own tests under ThreadSanitizer.
#if defined(__SANITIZE_THREAD__)
constexpr bool kUnderThreadSanitizer = true;
#else
constexpr bool kUnderThreadSanitizer = false;
#endif
#define KL_SKIP_UNDER_THREAD_SANITIZER()                                                                     \
    if (kUnderThreadSanitizer) GTEST_SKIP() << "Qt's network thread is invisible to ThreadSanitizer"

// Everything the service tells the window, in order.
struct Recorder {
    QStringList events;
    QList<EvernoteNotebook> notebooks;
    QString defaultGuid, noteGuid, notebookGuid, failure;
    QUrl authorizationPage;

    explicit Recorder(EvernoteService &service) {
        QObject::connect(&service, &EvernoteService::authorizationPageReady, [this](const QUrl &url) {
            authorizationPage = url;
            events << "page";
        });
        QObject::connect(&service, &EvernoteService::signedIn, [this] { events << "signedIn"; });
        QObject::connect(&service, &EvernoteService::signedOut, [this] { events << "signedOut"; });
        QObject::connect(&service, &EvernoteService::signInFailed,
                         [this](const QString &title, const QString &text) {
                             failure = title + text;
                             events << "signInFailed";
                         });
        QObject::connect(&service, &EvernoteService::notebooksListed,
                         [this](const auto &list, const QString &guid) {
                             notebooks = list;
                             defaultGuid = guid;
                             events << "notebooks";
                         });
        QObject::connect(&service, &EvernoteService::notebookCreated,
                         [this](const EvernoteNotebook &notebook) { events << "created:" + notebook.name; });
        QObject::connect(&service, &EvernoteService::notebookNotCreated,
                         [this](const QString &name) { events << "notCreated:" + name; });
        QObject::connect(&service, &EvernoteService::noteUploaded,
                         [this](const QString &note, const QString &book) {
                             noteGuid = note;
                             notebookGuid = book;
                             events << "uploaded";
                         });
        QObject::connect(&service, &EvernoteService::uploadFailed,
                         [this](const QString &, const QString &text) { events << "uploadFailed:" + text; });
        QObject::connect(&service, &EvernoteService::requestFailed,
                         [this](const QString &, const QString &text) { events << "requestFailed:" + text; });
    }
    bool saw(const QString &prefix) const {
        return std::any_of(events.begin(), events.end(),
                           [&](const QString &e) { return e.startsWith(prefix); });
    }
    QString last(const QString &prefix) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->startsWith(prefix)) return it->mid(prefix.size());
        return {};
    }
};

class EvernoteServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        KL_SKIP_UNDER_THREAD_SANITIZER();
        makeService(double_.config());
    }

    void makeService(EvernoteConfig config, int timeoutMs = 1500) {
        recorder_.reset();
        service_.reset();
        config.timeoutMs = timeoutMs;
        service_ = std::make_unique<EvernoteService>(config, defaults_, tokenPath());
        recorder_ = std::make_unique<Recorder>(*service_);
    }

    QString tokenPath() const { return dir_.filePath("evernote-token"); }
    QString photo(const QString &name, const QByteArray &bytes) {
        QFile file(dir_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    void signIn() {
        service_->beginSignIn();
        ASSERT_TRUE(waitUntil([&] { return recorder_->saw("page"); }));
        ASSERT_TRUE(service_->handleCallbackUrl(double_.callbackUrl(true)));
        ASSERT_TRUE(waitUntil([&] { return recorder_->saw("notebooks"); }));
    }

    // Uploads and waits for the outcome: "" on success, else the failure's text.
    QString upload(const QStringList &paths, std::optional<EvernoteNotebook> chosen = std::nullopt) {
        recorder_->events.clear();
        service_->uploadNote("Lesson", paths, chosen);
        waitUntil([&] { return recorder_->saw("uploaded") || recorder_->saw("uploadFailed:"); },
                  std::chrono::seconds(10));
        EXPECT_FALSE(service_->isUploading());
        return recorder_->saw("uploaded") ? QString() : recorder_->last("uploadFailed:");
    }

    QTemporaryDir dir_;
    UserDefaults defaults_{dir_.filePath("defaults.json")};
    EvernoteDouble double_;
    std::unique_ptr<EvernoteService> service_;
    std::unique_ptr<Recorder> recorder_;
};

QByteArray md5(const QByteArray &bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

TEST_F(EvernoteServiceTest, SignInListAndUploadThreePhotosAsOneNote) {
    signIn();
    EXPECT_EQ(QUrlQuery(recorder_->authorizationPage).toString(QUrl::FullyEncoded),
              "oauth_token=temp-token-1");
    ASSERT_EQ(recorder_->notebooks.size(), 1);
    EXPECT_EQ(recorder_->notebooks[0].name, "First Notebook");

    // The token lives in its own owner-only file; the defaults keep the rest.
    struct stat info {};
    ASSERT_TRUE(waitUntil([&] { return ::stat(QFile::encodeName(tokenPath()).constData(), &info) == 0; }));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    QFile token(tokenPath());
    ASSERT_TRUE(token.open(QIODevice::ReadOnly));
    EXPECT_EQ(token.readAll(), EvernoteDouble::kAccessToken);
    EXPECT_EQ(defaults_.stringForKey("noteStoreUrl"), double_.noteStoreUrl().toString());
    EXPECT_EQ(defaults_.stringForKey("edamUserId"), "1");
    EXPECT_FALSE(defaults_.hasKey("authToken"));

    // The first photo is large enough to be sent from where it lies, between buffered pieces.
    QByteArray large(300 * 1024, '\0');
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = char(i % 251);
    const QList<QByteArray> bytes{large, QByteArray(2000, 'b'), QByteArray("\x89PNG tiny")};
    const QStringList paths{photo("p1.jpg", bytes[0]), photo("p2.JPG", bytes[1]), photo("p3.png", bytes[2])};
    ASSERT_EQ(upload(paths, recorder_->notebooks[0]), "");
    const auto notes = double_.receivedNotes();
    ASSERT_EQ(notes.size(), 1u);
    QString content = EnmlNoteBuilder::prologue();
    for (int i = 0; i < 3; ++i) {
        const auto &resource = notes[0].resources.at(size_t(i));
        EXPECT_EQ(resource.data.bodyHash, md5(bytes[i]).toStdString());
        EXPECT_EQ(resource.data.body, bytes[i].toStdString());
        EXPECT_EQ(resource.attributes.fileName, QFileInfo(paths[i]).fileName().toStdString());
        content += QStringLiteral("<en-media type=\"image/%1\" hash=\"%2\"/>")
                       .arg(i < 2 ? "jpeg" : "png", QString::fromLatin1(md5(bytes[i]).toHex()));
    }
    EXPECT_EQ(QString::fromStdString(notes[0].content), content + "</en-note>");
    EXPECT_EQ(notes[0].notebookGuid, recorder_->notebooks[0].guid.toStdString());
    EXPECT_EQ(recorder_->notebookGuid, recorder_->notebooks[0].guid);
    EXPECT_FALSE(recorder_->noteGuid.isEmpty());

    // The notebook of the last upload is the next list's default.
    service_->listNotebooks();
    ASSERT_TRUE(waitUntil([&] { return recorder_->saw("notebooks"); }));
    EXPECT_EQ(recorder_->defaultGuid, recorder_->notebooks[0].guid);

    service_->signOut();
    EXPECT_FALSE(service_->isSignedIn());
    ASSERT_TRUE(waitUntil([&] { return !QFile::exists(tokenPath()); }));
    EXPECT_FALSE(defaults_.hasKey("noteStoreUrl"));
}

TEST_F(EvernoteServiceTest, WithoutAChosenNotebookTheDefaultNameIsMatchedIgnoringCase) {
    double_.addNotebook("22222222-2222-4222-8222-222222222222", "KORVA notebook");
    signIn();
    EXPECT_EQ(upload({photo("a.jpg", "jpeg")}), "");
    EXPECT_EQ(recorder_->notebookGuid, "22222222-2222-4222-8222-222222222222");
    EXPECT_EQ(upload({photo("b.jpg", "jpeg")}, EvernoteNotebook{"gone", "physics"}),
              "Error: Notebook doesn't exist.");
}

TEST_F(EvernoteServiceTest, FailedCallsGiveClearTextsAndLeaveTheServiceUsable) {
    signIn();
    const QString path = photo("a.jpg", QByteArray(1000, 'x'));
    const struct {
        Fault fault;
        const char *method;
        int code;
        const char *expected; // the failure text, or its start when it ends in "*"
        const char *alert;    // a separate alert before it, if any
    } cases[] = {
        {Fault::Garbage, "listNotebooks", 0, "Error: *", ""},
        {Fault::Http500, "listNotebooks", 0, "Error: *", ""},
        {Fault::CloseMidReply, "listNotebooks", 0, "Error: *", ""},
        {Fault::TruncatedReply, "listNotebooks", 0, "Error: *", ""},
        {Fault::HugeString, "listNotebooks", 0, "Error: *", ""},
        {Fault::Stall, "listNotebooks", 0, "Error: *", ""},
        {Fault::UserException, "listNotebooks", 9, "Error: Auth expired", ""},
        {Fault::UserException, "listNotebooks", 10, "Notebook conflict", ""},
        {Fault::UserException, "createNote", 11, "Error: Unable to create note.", "Error: ENML validation"},
        {Fault::UserException, "createNote", 19, "Error: Unable to create note.", "Error: error code 19"},
    };
    for (const auto &c : cases) {
        double_.setFault(c.fault, c.method, c.code, "Notebook");
        const QString text = upload({path}, recorder_->notebooks.value(0));
        const QString expected = c.expected;
        if (expected.endsWith('*'))
            EXPECT_TRUE(text.startsWith(expected.chopped(1)) && text.size() > 8) << text.toStdString();
        else
            EXPECT_EQ(text, expected);
        EXPECT_EQ(recorder_->last("requestFailed:"), c.alert) << c.expected;
        double_.setFault(Fault::None);
    }
    double_.releaseStalls();
    EXPECT_TRUE(double_.receivedNotes().empty());
    EXPECT_EQ(upload({path}, recorder_->notebooks.value(0)), "");
    EXPECT_EQ(double_.receivedNotes().size(), 1u);
}

TEST_F(EvernoteServiceTest, QuittingDuringAStalledCallDoesNotWaitForTheServer) {
    makeService(double_.config(), 60000);
    signIn();
    double_.setFault(Fault::Stall, "listNotebooks");
    service_->uploadNote("Lesson", {photo("a.jpg", "a")}, recorder_->notebooks.value(0));
    waitUntil([] { return false; }, std::chrono::milliseconds(300)); // the call reaches the server
    QElapsedTimer quitting;
    quitting.start();
    service_.reset();
    EXPECT_LT(quitting.elapsed(), 10000); // far below the call's own 60 s timeout
    double_.releaseStalls();
}

TEST_F(EvernoteServiceTest, APhotoGoneFromTheQueueFailsTheUploadAndNothingIsSent) {
    signIn();
    const QString kept = photo("kept.jpg", "kept");
    const QString gone = photo("gone.jpg", "gone");
    QFile::remove(gone);
    const auto chosen = recorder_->notebooks.value(0);
    EXPECT_TRUE(upload({kept, gone}, chosen).startsWith("Error: The photo \"gone.jpg\" cannot be read"));
    EXPECT_TRUE(double_.receivedNotes().empty());
    EXPECT_EQ(upload({kept}, chosen), "");
    EXPECT_EQ(double_.receivedNotes().size(), 1u);
}

TEST_F(EvernoteServiceTest, CallbacksActOnlyForTheSignInWaitingForThem) {
    EXPECT_FALSE(service_->handleCallbackUrl(QUrl("https://service.example/OAuth.action")));
    EXPECT_TRUE(service_->handleCallbackUrl(double_.callbackUrl(true))); // ours, but nothing is waiting
    EXPECT_EQ(double_.oauthRequests(), 0);

    const QUrl forged[] = {QUrl("en-orb://response?oauth_token=forged&oauth_verifier=v"),
                           QUrl("en-orb://response?oauth_verifier=v")};
    for (const QUrl &url : forged) {
        recorder_->events.clear();
        const int before = double_.oauthRequests();
        service_->beginSignIn();
        ASSERT_TRUE(waitUntil([&] { return recorder_->saw("page"); }));
        EXPECT_TRUE(service_->handleCallbackUrl(url));
        EXPECT_TRUE(recorder_->saw("signInFailed"));
        EXPECT_TRUE(recorder_->failure.startsWith("Error: "));
        EXPECT_EQ(service_->state(), EvernoteService::State::SignedOut);
        EXPECT_EQ(double_.oauthRequests(), before + 1); // no exchange was attempted
    }

    recorder_->events.clear();
    service_->beginSignIn();
    ASSERT_TRUE(waitUntil([&] { return recorder_->saw("page"); }));
    EXPECT_TRUE(service_->handleCallbackUrl(double_.callbackUrl(false)));
    EXPECT_TRUE(waitUntil([&] { return recorder_->saw("signedOut"); }));
}

TEST_F(EvernoteServiceTest, ReplyWithoutNoteStoreUrlKeepsTheTokenAndFailsUploadsClearly) {
    double_.setOmitNoteStoreUrl(true);
    signIn();
    EXPECT_TRUE(service_->isSignedIn());
    EXPECT_TRUE(recorder_->notebooks.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(tokenPath()); }));
    EXPECT_TRUE(upload({photo("a.jpg", "a")}).startsWith("Error: no usable service address"));
}

TEST_F(EvernoteServiceTest, AStoredTokenIsDroppedOnlyWhenTheServiceRefusesIt) {
    const struct {
        const char *token;
        bool reachable, signedInAfter;
    } cases[] = {
        {EvernoteDouble::kAccessToken, true, true}, {"S=stale", true, false}, {"S=any", false, true}};
    for (const auto &c : cases) {
        QFile file(tokenPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.token);
        file.close();
        defaults_.setObject(double_.noteStoreUrl().toString(), "noteStoreUrl");
        EvernoteConfig config = double_.config();
        if (!c.reachable) config.host = "127.0.0.1:1";
        makeService(config);
        service_->restoreSignIn();
        ASSERT_TRUE(waitUntil([&] { return recorder_->saw("notebooks") || recorder_->saw("signedOut"); }));
        EXPECT_EQ(service_->isSignedIn(), c.signedInAfter) << c.token;
        waitUntil([&] { return QFile::exists(tokenPath()) == c.signedInAfter; });
        EXPECT_EQ(QFile::exists(tokenPath()), c.signedInAfter) << c.token;
    }
}

TEST_F(EvernoteServiceTest, CreatingANotebookThatExistsReportsTheConflict) {
    signIn();
    service_->createNotebook("Physics");
    ASSERT_TRUE(waitUntil([&] { return recorder_->saw("created:"); }));
    service_->createNotebook("PHYSICS");
    ASSERT_TRUE(waitUntil([&] { return recorder_->saw("notCreated:"); }));
    EXPECT_EQ(recorder_->last("requestFailed:"), "Notebook.name conflict");
    EXPECT_EQ(recorder_->last("notCreated:"), "PHYSICS");
}

TEST_F(EvernoteServiceTest, ABuildWithoutAKeySaysSoInsteadOfSigningIn) {
    EvernoteConfig config = double_.config();
    config.consumerKey.clear();
    makeService(config);
    service_->beginSignIn();
    EXPECT_TRUE(recorder_->failure.contains("-DKL_EVERNOTE_CONSUMER_KEY"));
    EXPECT_EQ(double_.oauthRequests(), 0);
}

// A self-signed certificate for `subjectAltName`, made by openssl for this run.
bool makeCertificate(const QString &dir, const QString &subjectAltName) {
    ChildProcess openssl;
    return openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                                     "/CN=korva-test", "-addext", "subjectAltName=" + subjectAltName,
                                     "-keyout", dir + "/key.pem", "-out", dir + "/cert.pem"}) &&
           openssl.waitForExit(std::chrono::seconds(30)) && openssl.exitCode() == 0;
}

TEST(EvernoteServiceTls, ACertificateForAnotherNameIsRefused) {
    KL_SKIP_UNDER_THREAD_SANITIZER();
    for (const bool matching : {false, true}) {
        QTemporaryDir dir;
        ASSERT_TRUE(makeCertificate(dir.path(), matching ? "IP:127.0.0.1" : "DNS:other.example"));
        EvernoteDouble server(dir.filePath("cert.pem"), dir.filePath("key.pem"));
        EvernoteConfig config = server.config();
        config.caCertificatesFile = dir.filePath("cert.pem"); // trusted: only the name can fail
        UserDefaults defaults(dir.filePath("defaults.json"));
        EvernoteService service(config, defaults, dir.filePath("token"));
        Recorder recorder(service);

        service.beginSignIn();
        ASSERT_TRUE(waitUntil([&] { return recorder.saw("page") || recorder.saw("signInFailed"); }));
        EXPECT_EQ(recorder.saw("page"), matching);

        // The Thrift side checks the name as well.
        QFile token(dir.filePath("token"));
        ASSERT_TRUE(token.open(QIODevice::WriteOnly));
        token.write(EvernoteDouble::kAccessToken);
        token.close();
        defaults.setObject(server.noteStoreUrl().toString(), "noteStoreUrl");
        EvernoteService restored(config, defaults, dir.filePath("token"));
        Recorder restoredRecorder(restored);
        restored.restoreSignIn();
        ASSERT_TRUE(waitUntil([&] { return restoredRecorder.saw("notebooks"); }));
        EXPECT_EQ(restoredRecorder.notebooks.size(), matching ? 1 : 0);
        EXPECT_EQ(server.thriftCalls("listNotebooks"), matching ? 1 : 0);
    }
}

} // namespace
