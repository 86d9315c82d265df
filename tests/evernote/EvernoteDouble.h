#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QUrl>

#include "evernote/EvernoteConfig.h"
#include "evernote_double/generated/EdamNewer_types.h"

// A stand-in for the note service on loopback: the two OAuth steps, the authorization page's redirect,
// the user store and a note store (Thrift's own processors behind a small HTTP server), a byte sink
// for transfer baselines, and faults on demand. It answers as a newer service would, with fields and
// error codes the program does not declare.
class EvernoteDouble {
public:
    // How the next Thrift call of a chosen method goes wrong.
    enum class Fault {
        None,
        Garbage,        // bytes that are not HTTP
        Http500,        // an HTML error page
        Stall,          // the request is read and never answered (until the double stops)
        CloseMidReply,  // headers promise the whole reply, half of it comes, the connection closes
        TruncatedReply, // a complete HTTP reply whose Thrift message is cut short
        HugeString,     // a notebook name of 10 MB
        UserException,  // the service refuses with `code` and `parameter`
    };

    static constexpr const char *kConsumerKey = "double-key";
    static constexpr const char *kConsumerSecret = "double-secret";
    static constexpr const char *kAccessToken = "S=s1:U=1:E=150:C=14:P=1:A=korva:V=2:H=0123456789abcdef";

    // `certificateFile` and `keyFile` (PEM): serve TLS with them; empty: plain HTTP.
    explicit EvernoteDouble(const QString &certificateFile = {}, const QString &keyFile = {});
    ~EvernoteDouble();
    EvernoteDouble(const EvernoteDouble &) = delete;
    EvernoteDouble &operator=(const EvernoteDouble &) = delete;

    quint16 port() const;
    // The service's address and the double's credentials, for the program's configuration.
    EvernoteConfig config() const;
    QUrl noteStoreUrl() const;

    // Where the authorization page sends the browser: approved (with a verifier) or declined.
    QUrl callbackUrl(bool approved) const;
    void setOmitNoteStoreUrl(bool omit);

    void addNotebook(const std::string &guid, const std::string &name);
    // `method` "getUser", "listNotebooks", "createNotebook", "createNote" or "" for any; applies to
    // every later call until cleared.
    void setFault(Fault fault, const std::string &method = {}, int code = 0,
                  const std::string &parameter = {});
    void releaseStalls();

    std::vector<edam_newer::Note> receivedNotes() const;
    int thriftCalls(const std::string &method) const;
    int oauthRequests() const;
    uint64_t sinkBytes() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};
