#pragma once

#include <QHash>
#include <QIdentityProxyModel>
#include <QPixmap>
#include <QSet>

#include "photos/ThumbnailCache.h"

// Gives the queue's rows their thumbnails. Pictures are made on Qt's thread pool (decoding never runs
// on the main thread); a row shows nothing until its picture is there.
class QueueThumbnails : public QIdentityProxyModel {
    Q_OBJECT
public:
    QueueThumbnails(ThumbnailCache cache, int pathRole, QObject *parent = nullptr);
    ~QueueThumbnails() override;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    static constexpr int kWidth = 96;

private:
    void request(const QString &path) const;
    void arrived(const QString &path, const QImage &image);

    const ThumbnailCache cache_;
    const int pathRole_;
    mutable QHash<QString, QPixmap> pixmaps_;
    mutable QSet<QString> pending_;
};
