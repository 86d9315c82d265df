#include "ui/review/ThumbnailLoader.h"

#include <QMetaObject>
#include <QPointer>

namespace {
constexpr int kMaxWorkers = 2;
}

ThumbnailLoader::ThumbnailLoader(ThumbnailCache cache, int width, QObject *parent)
    : QObject(parent), cache_(std::move(cache)), width_(width) {
    pool_.setMaxThreadCount(kMaxWorkers);
}

ThumbnailLoader::~ThumbnailLoader() {
    stopping_ = true;
    {
        std::lock_guard lock(mutex_);
        pending_.clear();
    }
    pool_.waitForDone();
}

void ThumbnailLoader::want(std::vector<Request> requests) {
    std::lock_guard lock(mutex_);
    pending_.assign(std::make_move_iterator(requests.begin()), std::make_move_iterator(requests.end()));
    while (workers_ < kMaxWorkers && workers_ < static_cast<int>(pending_.size())) {
        ++workers_;
        pool_.start([this] { work(); });
    }
}

// A worker: takes requests until none is left.
void ThumbnailLoader::work() {
    for (;;) {
        Request request;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty() || stopping_) {
                --workers_;
                return;
            }
            request = std::move(pending_.front());
            pending_.pop_front();
        }
        const QImage image = cache_.thumbnail(request.path, width_);
        // Queued with `this` as context: dropped if the loader is gone by then.
        QMetaObject::invokeMethod(
            this, [this, uid = request.uid, image] { Q_EMIT loaded(uid, image); }, Qt::QueuedConnection);
    }
}
