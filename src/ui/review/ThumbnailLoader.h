#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include "photos/ThumbnailCache.h"

// Makes thumbnails on worker threads, only for what the browser asks for now: each want() replaces
// the requests still waiting, so what scrolled away is never made. At most two are made at a time (the
// machine's cores are shared with the live picture). Results arrive on the owner's thread.
class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString uid;
        QString path;
    };

    ThumbnailLoader(ThumbnailCache cache, int width, QObject *parent = nullptr);
    ~ThumbnailLoader() override;

    // The requests in the order they should be made (the visible ones first).
    void want(std::vector<Request> requests);
    int width() const { return width_; }

Q_SIGNALS:
    // A null image when the file gives none (it is logged once by the cache).
    void loaded(const QString &uid, const QImage &image);

private:
    void work();

    const ThumbnailCache cache_;
    const int width_;
    std::mutex mutex_;
    std::deque<Request> pending_; // guarded by mutex_
    int workers_ = 0;             // guarded by mutex_
    std::atomic<bool> stopping_{false};
    QThreadPool pool_;
};
