#pragma once

#include <memory>
#include <vector>

#include <QString>
#include <QUrl>

#include "evernote/EdamCallCanceller.h"
#include "evernote/EvernoteConfig.h"
#include "evernote/generated/Edam_types.h"

// The service's two Thrift endpoints for one signed-in account, called on a worker thread (every
// call blocks for the round trip). Each call opens its own connection: a failed call leaves nothing
// half-read behind for the next. Calls throw what Thrift throws: the service's own exceptions, or a
// transport or protocol exception for everything that went wrong on the way.
class EdamSession {
public:
    // Bounds on what a reply may make us hold: the largest field a reply of ours legitimately has is
    // a note's content (at most 5 MiB).
    static constexpr int32_t kMaxStringBytes = 6 * 1024 * 1024;
    static constexpr int32_t kMaxContainerItems = 10000;
    static constexpr uint64_t kMaxReplyBytes = 16 * 1024 * 1024;

    // `canceller`, when given, can cut the calls short from another thread.
    EdamSession(EvernoteConfig config, std::string token, QUrl noteStoreUrl,
                std::shared_ptr<EdamCallCanceller> canceller = nullptr);

    edam::User getUser();
    std::vector<edam::Notebook> listNotebooks();
    edam::Notebook createNotebook(const QString &name);
    edam::Note createNote(const edam::Note &note);

    const std::string &token() const { return token_; }

private:
    EvernoteConfig config_;
    std::string token_;
    QUrl noteStoreUrl_;
    std::shared_ptr<EdamCallCanceller> canceller_;
};

// What went wrong, for the log and for "Error: %1": the code's text for the service's own exceptions.
QString describeEdamFailure(const std::exception &failure);
