#include "evernote/EdamSession.h"

#include <openssl/x509.h>
#include <thrift/TOutput.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TSSLSocket.h>
#include <thrift/transport/TSocket.h>
#include <thrift/transport/TVirtualTransport.h>

#include "core/DCLog.h"
#include "evernote/EdamErrors.h"
#include "evernote/GatheringHttpClient.h"
#include "evernote/generated/NoteStore.h"
#include "evernote/generated/UserStore.h"

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TSocket;
using apache::thrift::transport::TTransport;
using apache::thrift::transport::TTransportException;

namespace {

// Counts what one reply brings in and refuses more than the bound: the HTTP layer beneath the
// protocol grows its buffer for whatever a peer sends (an endless header line, a huge body).
class BoundedReadTransport : public apache::thrift::transport::TVirtualTransport<BoundedReadTransport> {
public:
    BoundedReadTransport(std::shared_ptr<TTransport> inner, uint64_t limit)
        : inner_(std::move(inner)), limit_(limit) {}

    bool isOpen() const override { return inner_->isOpen(); }
    bool peek() override { return inner_->peek(); }
    void open() override { inner_->open(); }
    void close() override { inner_->close(); }
    uint32_t read(uint8_t *buf, uint32_t len) {
        const uint32_t n = inner_->read(buf, len);
        received_ += n;
        if (received_ > limit_)
            throw TTransportException(TTransportException::CORRUPTED_DATA, "reply too large");
        return n;
    }
    void write(const uint8_t *buf, uint32_t len) {
        received_ = 0; // a new request: the next reply is counted afresh
        inner_->write(buf, len);
    }
    void flush() override { inner_->flush(); }

private:
    std::shared_ptr<TTransport> inner_;
    const uint64_t limit_;
    uint64_t received_ = 0;
};

// Thrift's own messages go to our log rather than to standard error.
void logThrift(const char *message) {
    DCLog("Thrift: %s", message);
}

std::shared_ptr<apache::thrift::transport::TSSLSocketFactory> tlsFactory(const EvernoteConfig &config) {
    using namespace apache::thrift::transport;
    // OpenSSL initialises itself; Thrift's own set-up and clean-up would race with Qt's use of it.
    TSSLSocketFactory::setManualOpenSSLInitialization(true);
    auto factory = std::make_shared<TSSLSocketFactory>(SSLTLS);
    factory->authenticate(true);
    if (config.caCertificatesFile.isEmpty())
        factory->loadTrustedCertificates(X509_get_default_cert_file(), X509_get_default_cert_dir());
    else
        factory->loadTrustedCertificates(config.caCertificatesFile.toLocal8Bit().constData());
    // Checks the certificate's names against the host we asked for.
    factory->access(std::make_shared<DefaultClientAccessManager>());
    return factory;
}

// One call's connection, registered with the canceller while it is open.
class OpenCall {
public:
    OpenCall(const EvernoteConfig &config, const QUrl &url, std::shared_ptr<EdamCallCanceller> canceller);
    ~OpenCall() {
        if (canceller_ && fd_ >= 0) canceller_->remove(fd_);
    }
    OpenCall(const OpenCall &) = delete;
    OpenCall &operator=(const OpenCall &) = delete;

    std::shared_ptr<TBinaryProtocol> protocol;

private:
    std::shared_ptr<EdamCallCanceller> canceller_;
    int fd_ = -1;
};

OpenCall::OpenCall(const EvernoteConfig &config, const QUrl &url,
                   std::shared_ptr<EdamCallCanceller> canceller)
    : canceller_(std::move(canceller)) {
    static const bool logging = (apache::thrift::GlobalOutput.setOutputFunction(logThrift), true);
    (void)logging;
    const bool https = url.scheme() == QStringLiteral("https");
    if (!url.isValid() || url.host().isEmpty() || (!https && url.scheme() != QStringLiteral("http")))
        throw TTransportException(TTransportException::NOT_OPEN,
                                  "no usable service address: \"" + url.toString().toStdString() + "\"");
    const std::string host = url.host().toStdString();
    const int port = url.port(https ? 443 : 80);
    std::shared_ptr<TSocket> socket;
    if (https)
        socket = tlsFactory(config)->createSocket(host, port);
    else
        socket = std::make_shared<TSocket>(host, port);
    socket->setConnTimeout(config.timeoutMs);
    socket->setRecvTimeout(config.timeoutMs);
    socket->setSendTimeout(config.timeoutMs);

    auto bounded = std::make_shared<BoundedReadTransport>(socket, EdamSession::kMaxReplyBytes);
    const std::string hostHeader = url.port() > 0 ? host + ":" + std::to_string(port) : host;
    QString path = url.path(QUrl::FullyEncoded);
    if (url.hasQuery()) path += u'?' + url.query(QUrl::FullyEncoded);
    auto http = std::make_shared<GatheringHttpClient>(bounded, hostHeader, path.toStdString());
    const auto cancelled = [] { return TTransportException(TTransportException::INTERRUPTED, "cancelled"); };
    if (canceller_ && canceller_->isCancelled()) throw cancelled();
    http->open();
    if (canceller_) {
        if (!canceller_->add(socket->getSocketFD())) throw cancelled();
        fd_ = socket->getSocketFD();
    }
    protocol = std::make_shared<TBinaryProtocol>(http, EdamSession::kMaxStringBytes,
                                                 EdamSession::kMaxContainerItems, false, true);
}

} // namespace

EdamSession::EdamSession(EvernoteConfig config, std::string token, QUrl noteStoreUrl,
                         std::shared_ptr<EdamCallCanceller> canceller)
    : config_(std::move(config)), token_(std::move(token)), noteStoreUrl_(std::move(noteStoreUrl)),
      canceller_(std::move(canceller)) {}

edam::User EdamSession::getUser() {
    OpenCall call(config_, config_.serviceUrl(QStringLiteral("/edam/user")), canceller_);
    edam::UserStoreClient client(call.protocol);
    edam::User user;
    client.getUser(user, token_);
    return user;
}

std::vector<edam::Notebook> EdamSession::listNotebooks() {
    OpenCall call(config_, noteStoreUrl_, canceller_);
    edam::NoteStoreClient client(call.protocol);
    std::vector<edam::Notebook> notebooks;
    client.listNotebooks(notebooks, token_);
    return notebooks;
}

edam::Notebook EdamSession::createNotebook(const QString &name) {
    OpenCall call(config_, noteStoreUrl_, canceller_);
    edam::NoteStoreClient client(call.protocol);
    edam::Notebook notebook;
    notebook.__set_name(name.toStdString());
    edam::Notebook created;
    client.createNotebook(created, token_, notebook);
    return created;
}

edam::Note EdamSession::createNote(const edam::Note &note) {
    OpenCall call(config_, noteStoreUrl_, canceller_);
    edam::NoteStoreClient client(call.protocol);
    edam::Note created;
    client.createNote(created, token_, note);
    return created;
}

QString describeEdamFailure(const std::exception &failure) {
    const auto codeText = [](int code) {
        const QString text = EdamErrors::errorStringFromCode(code);
        return text.isEmpty() ? QStringLiteral("error code %1").arg(code) : text;
    };
    if (const auto *user = dynamic_cast<const edam::EDAMUserException *>(&failure))
        return codeText(user->errorCode);
    if (const auto *system = dynamic_cast<const edam::EDAMSystemException *>(&failure)) {
        QString text = codeText(system->errorCode);
        if (!system->message.empty())
            text += QStringLiteral(" (%1)").arg(QString::fromStdString(system->message));
        return text;
    }
    if (const auto *notFound = dynamic_cast<const edam::EDAMNotFoundException *>(&failure))
        return QStringLiteral("Not found: %1").arg(QString::fromStdString(notFound->identifier));
    return QString::fromUtf8(failure.what());
}
