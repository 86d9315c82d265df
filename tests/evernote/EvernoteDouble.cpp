#include "EvernoteDouble.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <sys/socket.h>

#include <QCryptographicHash>

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "evernote/OAuthRequest.h"
#include "evernote_double/generated/NoteStore.h"
#include "evernote_double/generated/UserStore.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TMemoryBuffer;

namespace {

constexpr const char *kTemporaryToken = "temp-token-1";
constexpr const char *kTemporarySecret = "temp-secret-1";
constexpr const char *kVerifier = "verifier-1";
constexpr const char *kNoteStorePath = "/shard/s1/notestore";
constexpr auto kLongestStall = std::chrono::seconds(60);

struct Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool stallsReleased = false;
    EvernoteDouble::Fault fault = EvernoteDouble::Fault::None;
    std::string faultMethod;
    int faultCode = 0;
    std::string faultParameter;
    bool omitNoteStoreUrl = false;
    std::vector<edam_newer::Notebook> notebooks;
    std::vector<edam_newer::Note> notes;
    std::map<std::string, int> calls;
    int oauthRequests = 0;
    uint64_t sinkBytes = 0;
    int guidCounter = 0;

    // Under the lock.
    bool faultFor(const std::string &method, EvernoteDouble::Fault wanted) const {
        return fault == wanted && (faultMethod.empty() || faultMethod == method);
    }
    std::string nextGuid() {
        char text[40];
        std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", ++guidCounter);
        return text;
    }
};

edam_newer::Restrictions someRestrictions() {
    edam_newer::Restrictions restrictions;
    restrictions.__set_noReadNotes(false);
    restrictions.__set_reasons({"newer", "fields"});
    return restrictions;
}

// The service's calls, answered as a newer service would.
class Handlers : public edam_newer::UserStoreIf, public edam_newer::NoteStoreIf {
public:
    explicit Handlers(Shared &shared) : shared_(shared) {}

    void getUser(edam_newer::User &user, const std::string &token) override {
        begin("getUser", token);
        user.__set_id(1);
        user.__set_username("teacher");
        user.__set_privilege(1);
        user.__set_photoUrl("http://127.0.0.1/photo.png");
        user.__set_photoLastUpdated(1700000000000);
        user.__set_accountLimits(someRestrictions());
    }

    void listNotebooks(std::vector<edam_newer::Notebook> &notebooks, const std::string &token) override {
        begin("listNotebooks", token);
        std::lock_guard lock(shared_.mutex);
        notebooks = shared_.notebooks;
        if (shared_.faultFor("listNotebooks", EvernoteDouble::Fault::HugeString)) {
            edam_newer::Notebook huge;
            huge.__set_guid(shared_.nextGuid());
            huge.__set_name(std::string(10 * 1024 * 1024, 'n'));
            notebooks.push_back(huge);
        }
    }

    void createNotebook(edam_newer::Notebook &created, const std::string &token,
                        const edam_newer::Notebook &notebook) override {
        begin("createNotebook", token);
        std::lock_guard lock(shared_.mutex);
        for (const auto &existing : shared_.notebooks) {
            if (QString::fromStdString(existing.name)
                    .compare(QString::fromStdString(notebook.name), Qt::CaseInsensitive) == 0)
                throw userException(edam_newer::EDAMErrorCode::DATA_CONFLICT, "Notebook.name");
        }
        created = decorated(notebook.name);
        shared_.notebooks.push_back(created);
    }

    void createNote(edam_newer::Note &created, const std::string &token,
                    const edam_newer::Note &note) override {
        begin("createNote", token);
        std::lock_guard lock(shared_.mutex);
        bool known = false;
        for (const auto &notebook : shared_.notebooks)
            known = known || notebook.guid == note.notebookGuid;
        if (!known) {
            edam_newer::EDAMNotFoundException notFound;
            notFound.__set_identifier("Note.notebookGuid");
            throw notFound;
        }
        created.__set_guid(shared_.nextGuid());
        created.__set_title(note.title);
        created.__set_notebookGuid(note.notebookGuid);
        const QByteArray content = QByteArray::fromStdString(note.content);
        created.__set_contentHash(QCryptographicHash::hash(content, QCryptographicHash::Md5).toStdString());
        created.__set_contentLength(int32_t(content.size()));
        created.__set_created(1700000000000);
        std::vector<edam_newer::Resource> resources;
        for (const auto &sent : note.resources) {
            edam_newer::Resource resource;
            resource.__set_guid(shared_.nextGuid());
            resource.__set_mime(sent.mime);
            edam_newer::Data data;
            data.__set_bodyHash(sent.data.bodyHash);
            data.__set_size(sent.data.size);
            resource.__set_data(data);
            resources.push_back(resource);
        }
        created.__set_resources(resources);
        created.__set_sharedNotes({someRestrictions()});
        created.__set_limits(someRestrictions());
        // The processor's decoded arguments end with this call: the note (megabytes of photos) is
        // taken over rather than copied.
        shared_.notes.push_back(std::move(const_cast<edam_newer::Note &>(note)));
    }

private:
    static edam_newer::EDAMUserException userException(edam_newer::EDAMErrorCode::type code,
                                                       const std::string &parameter) {
        edam_newer::EDAMUserException refusal;
        refusal.errorCode = code;
        refusal.__set_parameter(parameter);
        return refusal;
    }

    edam_newer::Notebook decorated(const std::string &name) {
        edam_newer::Notebook notebook;
        notebook.__set_guid(shared_.nextGuid());
        notebook.__set_name(name);
        notebook.__set_defaultNotebook(false);
        notebook.__set_stack("Lessons");
        notebook.__set_sharedNotebookIds({1, 2});
        notebook.__set_businessNotebook(someRestrictions());
        notebook.__set_restrictions(someRestrictions());
        notebook.__set_recipientSettings({{"reminders", "off"}});
        return notebook;
    }

    void begin(const std::string &method, const std::string &token) {
        std::lock_guard lock(shared_.mutex);
        ++shared_.calls[method];
        if (shared_.faultFor(method, EvernoteDouble::Fault::UserException))
            throw userException(edam_newer::EDAMErrorCode::type(shared_.faultCode), shared_.faultParameter);
        if (token != EvernoteDouble::kAccessToken)
            throw userException(edam_newer::EDAMErrorCode::INVALID_AUTH, "authenticationToken");
    }

    Shared &shared_;
};

std::string methodOf(const std::string &body) {
    try {
        auto buffer = std::make_shared<TMemoryBuffer>(
            reinterpret_cast<uint8_t *>(const_cast<char *>(body.data())), uint32_t(body.size()));
        TBinaryProtocol protocol(buffer);
        std::string name;
        apache::thrift::protocol::TMessageType type;
        int32_t sequence = 0;
        protocol.readMessageBegin(name, type, sequence);
        return name;
    } catch (const std::exception &) {
        return {};
    }
}

std::string process(apache::thrift::TProcessor &processor, const std::string &body) {
    auto in = std::make_shared<TMemoryBuffer>(reinterpret_cast<uint8_t *>(const_cast<char *>(body.data())),
                                              uint32_t(body.size()), TMemoryBuffer::OBSERVE);
    auto out = std::make_shared<TMemoryBuffer>();
    processor.process(std::make_shared<TBinaryProtocol>(in), std::make_shared<TBinaryProtocol>(out), nullptr);
    return out->getBufferAsString();
}

std::string rawReply(const std::string &status, const std::string &type, const std::string &body,
                     size_t declaredLength) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(declaredLength) + "\r\nConnection: close\r\n\r\n" + body;
}

// "OAuth k=\"v\",k=\"v\"" into its decoded pairs.
OAuthRequest::Parameters authorizationParameters(const std::string &header) {
    OAuthRequest::Parameters parameters;
    QString text = QString::fromStdString(header);
    if (!text.startsWith(QStringLiteral("OAuth "))) return parameters;
    for (const QString &field : text.mid(6).split(u',')) {
        const qsizetype equals = field.indexOf(u'=');
        if (equals < 0) continue;
        QString value = field.mid(equals + 1);
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        parameters.append({OAuthRequest::percentDecode(field.left(equals)).value_or(QString()),
                           OAuthRequest::percentDecode(value).value_or(QString())});
    }
    return parameters;
}

} // namespace

class EvernoteDouble::Impl {
public:
    Impl(const QString &certificateFile, const QString &keyFile)
        : tls_(!certificateFile.isEmpty()), tlsContext_(asio::ssl::context::tls_server),
          acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)),
          handlers_(std::make_shared<Handlers>(shared_)), userStore_(handlers_), noteStore_(handlers_) {
        if (tls_) {
            tlsContext_.use_certificate_chain_file(certificateFile.toStdString());
            tlsContext_.use_private_key_file(keyFile.toStdString(), asio::ssl::context::pem);
        }
        port_ = acceptor_.local_endpoint().port();
        acceptThread_ = std::thread([this] { acceptLoop(); });
    }

    ~Impl() {
        {
            std::lock_guard lock(shared_.mutex);
            shared_.stopping = true;
            for (int fd : openSockets_)
                ::shutdown(fd, SHUT_RDWR);
        }
        shared_.wake.notify_all();
        // A connection of our own wakes the blocked accept.
        beast::error_code ignored;
        tcp::socket waker(io_);
        waker.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port_), ignored);
        acceptThread_.join();
        for (auto &thread : connections_)
            thread.join();
    }

    void acceptLoop() {
        for (;;) {
            tcp::socket socket(io_);
            beast::error_code error;
            acceptor_.accept(socket, error);
            std::lock_guard lock(shared_.mutex);
            if (shared_.stopping) return;
            if (error) continue;
            openSockets_.insert(socket.native_handle());
            connections_.emplace_back(
                [this, socket = std::move(socket)]() mutable { serve(std::move(socket)); });
        }
    }

    void serve(tcp::socket socket) {
        const int fd = socket.native_handle();
        if (tls_) {
            asio::ssl::stream<tcp::socket> stream(std::move(socket), tlsContext_);
            beast::error_code error;
            stream.handshake(asio::ssl::stream_base::server, error);
            if (!error) serveRequests(stream);
        } else {
            serveRequests(socket);
        }
        std::lock_guard lock(shared_.mutex);
        openSockets_.erase(fd);
    }

    template <class Stream> void serveRequests(Stream &stream) {
        beast::flat_buffer buffer;
        for (;;) {
            http::request_parser<http::string_body> parser;
            parser.body_limit(256 * 1024 * 1024);
            beast::error_code error;
            http::read(stream, buffer, parser, error);
            if (error) return;
            const auto request = parser.release();
            if (!respond(stream, request) || !request.keep_alive()) return;
        }
    }

    template <class Stream> static void send(Stream &stream, const std::string &bytes) {
        beast::error_code ignored;
        asio::write(stream, asio::buffer(bytes), ignored);
    }

    // False: close the connection.
    template <class Stream> bool respond(Stream &stream, const http::request<http::string_body> &request) {
        const std::string target(request.target());
        const std::string path = target.substr(0, target.find('?'));
        if (request.method() == http::verb::post && path == "/sink") {
            std::lock_guard lock(shared_.mutex);
            shared_.sinkBytes += request.body().size();
            send(stream, rawReply("200 OK", "text/plain", "", 0));
            return false;
        }
        if (request.method() == http::verb::post && (path == "/edam/user" || path == kNoteStorePath))
            return respondThrift(stream,
                                 path == "/edam/user" ? static_cast<apache::thrift::TProcessor &>(userStore_)
                                                      : noteStore_,
                                 request.body());
        if (request.method() == http::verb::get && path == "/oauth") {
            const auto [status, body] = oauth(request);
            send(stream, rawReply(status, "text/plain", body, body.size()));
            return false;
        }
        if (request.method() == http::verb::get && path == "/OAuth.action") {
            send(stream, "HTTP/1.1 302 Found\r\nLocation: " + callbackUrl(true).toString().toStdString() +
                             "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return false;
        }
        send(stream, rawReply("404 Not Found", "text/plain", "", 0));
        return false;
    }

    template <class Stream>
    bool respondThrift(Stream &stream, apache::thrift::TProcessor &processor, const std::string &body) {
        const std::string method = methodOf(body);
        Fault fault = Fault::None;
        {
            std::lock_guard lock(shared_.mutex);
            if (shared_.faultMethod.empty() || shared_.faultMethod == method) fault = shared_.fault;
        }
        switch (fault) {
        case Fault::Garbage:
            send(stream, std::string("\x16\x03\x01 this is no reply at all\r\n\r\n"));
            return false;
        case Fault::Http500: {
            const std::string page = "<html><body><h1>500 Internal Server Error</h1></body></html>";
            send(stream, rawReply("500 Internal Server Error", "text/html", page, page.size()));
            return false;
        }
        case Fault::Stall: {
            std::unique_lock lock(shared_.mutex);
            shared_.wake.wait_for(lock, kLongestStall,
                                  [this] { return shared_.stopping || shared_.stallsReleased; });
            return false;
        }
        default:
            break;
        }
        const std::string reply = process(processor, body);
        if (fault == Fault::CloseMidReply) {
            send(stream,
                 rawReply("200 OK", "application/x-thrift", reply.substr(0, reply.size() / 2), reply.size()));
            return false;
        }
        if (fault == Fault::TruncatedReply) {
            const std::string half = reply.substr(0, reply.size() / 2);
            send(stream, rawReply("200 OK", "application/x-thrift", half, half.size()));
            return false;
        }
        http::response<http::string_body> response(http::status::ok, 11);
        response.set(http::field::content_type, "application/x-thrift");
        response.body() = reply;
        response.prepare_payload();
        beast::error_code error;
        http::write(stream, response, error);
        return !error;
    }

    std::pair<std::string, std::string> oauth(const http::request<http::string_body> &request) {
        const QString target = QString::fromStdString(std::string(request.target()));
        const qsizetype question = target.indexOf(u'?');
        const QString query = question < 0 ? QString() : target.mid(question + 1);
        OAuthRequest::Parameters all =
            authorizationParameters(std::string(request[http::field::authorization]));
        QString signature;
        QMap<QString, QString> protocol;
        for (auto it = all.begin(); it != all.end();) {
            protocol.insert(it->first, it->second);
            if (it->first == QStringLiteral("oauth_signature")) {
                signature = it->second;
                it = all.erase(it);
            } else {
                ++it;
            }
        }
        const auto extra = OAuthRequest::parametersFromQueryString(query);
        for (auto it = extra.begin(); it != extra.end(); ++it)
            all.append({it.key(), it.value()});

        std::lock_guard lock(shared_.mutex);
        ++shared_.oauthRequests;
        const bool exchange = extra.contains(QStringLiteral("oauth_verifier"));
        const OAuthRequest::Signing signing{QStringLiteral("GET"),
                                            tls_ ? QStringLiteral("https") : QStringLiteral("http"),
                                            QStringLiteral("127.0.0.1:%1").arg(port_),
                                            QStringLiteral("/oauth"),
                                            all,
                                            QString::fromLatin1(kConsumerSecret),
                                            exchange ? QString::fromLatin1(kTemporarySecret) : QString()};
        if (protocol.value(QStringLiteral("oauth_consumer_key")) != QLatin1String(kConsumerKey) ||
            signature != OAuthRequest::signature(signing))
            return {"401 Unauthorized", "oauth_problem=signature_invalid"};
        if (!exchange) {
            if (!extra.contains(QStringLiteral("oauth_callback")))
                return {"400 Bad Request", "oauth_problem=callback"};
            return {"200 OK", std::string("oauth_token=") + kTemporaryToken + "&oauth_token_secret=" +
                                  kTemporarySecret + "&oauth_callback_confirmed=true"};
        }
        if (protocol.value(QStringLiteral("oauth_token")) != QLatin1String(kTemporaryToken) ||
            extra.value(QStringLiteral("oauth_verifier")) != QLatin1String(kVerifier))
            return {"401 Unauthorized", "oauth_problem=token_rejected"};
        OAuthRequest::Parameters reply{{QStringLiteral("oauth_token"), QString::fromLatin1(kAccessToken)},
                                       {QStringLiteral("oauth_token_secret"), QString()},
                                       {QStringLiteral("edam_shard"), QStringLiteral("s1")},
                                       {QStringLiteral("edam_userId"), QStringLiteral("1")},
                                       {QStringLiteral("edam_expires"), QStringLiteral("1900000000000")}};
        if (!shared_.omitNoteStoreUrl)
            reply.append({QStringLiteral("edam_noteStoreUrl"), noteStoreUrl().toString()});
        return {"200 OK", OAuthRequest::queryStringFromParameters(reply).toStdString()};
    }

    QString origin() const {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(tls_ ? QStringLiteral("https") : QStringLiteral("http"))
            .arg(port_);
    }
    QUrl noteStoreUrl() const { return QUrl(origin() + QLatin1String(kNoteStorePath)); }
    QUrl callbackUrl(bool approved) const {
        QString text = QStringLiteral("en-orb://response?oauth_token=%1").arg(QLatin1String(kTemporaryToken));
        if (approved) text += QStringLiteral("&oauth_verifier=%1").arg(QLatin1String(kVerifier));
        return QUrl(text);
    }

    Shared shared_;
    const bool tls_;
    asio::io_context io_;
    asio::ssl::context tlsContext_;
    tcp::acceptor acceptor_;
    quint16 port_ = 0;
    std::shared_ptr<Handlers> handlers_;
    edam_newer::UserStoreProcessor userStore_;
    edam_newer::NoteStoreProcessor noteStore_;
    std::set<int> openSockets_;
    std::vector<std::thread> connections_;
    std::thread acceptThread_;
};

EvernoteDouble::EvernoteDouble(const QString &certificateFile, const QString &keyFile)
    : impl_(std::make_unique<Impl>(certificateFile, keyFile)) {
    addNotebook("11111111-1111-4111-8111-111111111111", "First Notebook");
}

EvernoteDouble::~EvernoteDouble() = default;

quint16 EvernoteDouble::port() const {
    return impl_->port_;
}

EvernoteConfig EvernoteDouble::config() const {
    EvernoteConfig config;
    config.scheme = impl_->tls_ ? QStringLiteral("https") : QStringLiteral("http");
    config.host = QStringLiteral("127.0.0.1:%1").arg(impl_->port_);
    config.consumerKey = QString::fromLatin1(kConsumerKey);
    config.consumerSecret = QString::fromLatin1(kConsumerSecret);
    return config;
}

QUrl EvernoteDouble::noteStoreUrl() const {
    return impl_->noteStoreUrl();
}
QUrl EvernoteDouble::callbackUrl(bool approved) const {
    return impl_->callbackUrl(approved);
}

void EvernoteDouble::setOmitNoteStoreUrl(bool omit) {
    std::lock_guard lock(impl_->shared_.mutex);
    impl_->shared_.omitNoteStoreUrl = omit;
}

void EvernoteDouble::addNotebook(const std::string &guid, const std::string &name) {
    edam_newer::Notebook notebook;
    notebook.__set_guid(guid);
    notebook.__set_name(name);
    notebook.__set_stack("Lessons");
    notebook.__set_businessNotebook(someRestrictions());
    std::lock_guard lock(impl_->shared_.mutex);
    impl_->shared_.notebooks.push_back(notebook);
}

void EvernoteDouble::setFault(Fault fault, const std::string &method, int code,
                              const std::string &parameter) {
    std::lock_guard lock(impl_->shared_.mutex);
    impl_->shared_.fault = fault;
    impl_->shared_.faultMethod = method;
    impl_->shared_.faultCode = code;
    impl_->shared_.faultParameter = parameter;
}

void EvernoteDouble::releaseStalls() {
    {
        std::lock_guard lock(impl_->shared_.mutex);
        impl_->shared_.stallsReleased = true;
    }
    impl_->shared_.wake.notify_all();
}

std::vector<edam_newer::Note> EvernoteDouble::receivedNotes() const {
    std::lock_guard lock(impl_->shared_.mutex);
    return impl_->shared_.notes;
}

int EvernoteDouble::thriftCalls(const std::string &method) const {
    std::lock_guard lock(impl_->shared_.mutex);
    const auto it = impl_->shared_.calls.find(method);
    return it == impl_->shared_.calls.end() ? 0 : it->second;
}

int EvernoteDouble::oauthRequests() const {
    std::lock_guard lock(impl_->shared_.mutex);
    return impl_->shared_.oauthRequests;
}

uint64_t EvernoteDouble::sinkBytes() const {
    std::lock_guard lock(impl_->shared_.mutex);
    return impl_->shared_.sinkBytes;
}
