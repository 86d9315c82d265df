#include "QueueThumbnails.h"

#include <QCoreApplication>
#include <QImage>
#include <QPointer>
#include <QThreadPool>

QueueThumbnails::QueueThumbnails(ThumbnailCache cache, int pathRole, QObject *parent)
    : QIdentityProxyModel(parent), cache_(std::move(cache)), pathRole_(pathRole) {}

QueueThumbnails::~QueueThumbnails() = default;

QVariant QueueThumbnails::data(const QModelIndex &index, int role) const {
    if (role != Qt::DecorationRole) return QIdentityProxyModel::data(index, role);
    const QString path = QIdentityProxyModel::data(index, pathRole_).toString();
    if (path.isEmpty()) return {};
    if (auto found = pixmaps_.constFind(path); found != pixmaps_.constEnd()) return *found;
    request(path);
    return {};
}

void QueueThumbnails::request(const QString &path) const {
    if (pending_.contains(path)) return;
    pending_.insert(path);
    // The worker keeps its own copy of the cache (a folder name), and the answer goes through the
    // application object, so neither depends on this model still being there.
    QPointer<QueueThumbnails> self(const_cast<QueueThumbnails *>(this));
    QThreadPool::globalInstance()->start([self, path, cache = cache_] {
        const QImage image = cache.thumbnail(path, kWidth);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, image] {
                if (self) self->arrived(path, image);
            },
            Qt::QueuedConnection);
    });
}

void QueueThumbnails::arrived(const QString &path, const QImage &image) {
    pending_.remove(path);
    // A picture that cannot be made stays an empty square rather than being asked for again.
    pixmaps_.insert(path, QPixmap::fromImage(image));
    for (int row = 0; row < rowCount(); ++row)
        if (QIdentityProxyModel::data(index(row, 0), pathRole_).toString() == path)
            Q_EMIT dataChanged(index(row, 0), index(row, 0), {Qt::DecorationRole});
}
