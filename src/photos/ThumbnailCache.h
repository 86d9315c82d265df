#pragma once

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>

// Thumbnails of library photos, kept in the freedesktop.org thumbnail cache
// ($XDG_CACHE_HOME/thumbnails/<flavour>/<md5 of the file URI>.png with Thumb::URI and Thumb::MTime),
// which file managers and other viewers share: a thumbnail made by one is used by all, and a stale
// one is recognised by its MTime. Pictures are decoded at the smallest DCT scale that covers the
// thumbnail. Files that cannot be decoded get a failure entry, so they are not tried again until
// they change. Safe to use from several threads.
class ThumbnailCache {
public:
    explicit ThumbnailCache(QString root = defaultRoot());

    static QString defaultRoot(); // $XDG_CACHE_HOME/thumbnails

    // The picture of `path` `width` pixels wide; a null image (with a log line) when it cannot be
    // made. Widths above the largest flavour (1024) are decoded directly and not stored.
    QImage thumbnail(const QString &path, int width) const;

    // Where the thumbnail for `path` at `width` is stored; empty for widths above 1024.
    QString cachePath(const QString &path, int width) const;
    QString failurePath(const QString &path) const;

    static QString flavourFor(int width, int *boxSize = nullptr);
    // The tEXt entries of a PNG in front of its pixels.
    static QMap<QString, QString> pngTexts(const QByteArray &png);

private:
    QImage makeThumbnail(const QString &path, int box, qint64 mtime, const QString &uri,
                         const QString &target) const;
    void markFailed(const QString &path, qint64 mtime, const QString &uri) const;

    const QString root_;
};
