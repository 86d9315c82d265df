#pragma once

#include <memory>

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include "photos/PhotoImage.h"

class UserDefaults;

// One file of the photo library (a JPEG photo or a movie) as the album and review mode show it.
// Not thread-safe: an item belongs to one thread at a time.
class FileItem {
public:
    enum Type { Photo = 0, Movie = 1 };

    FileItem() = default;

    // "<library folder>/<name>" with the folder from "DCPhotoLibraryLocationKey".
    static std::unique_ptr<FileItem> fileItemWithContentsOfFile(const QString &name);
    static std::unique_ptr<FileItem> fileItemWithContentsOfFile(const QString &name, int type);
    static std::unique_ptr<FileItem> fileItemWithContentsOfFile(const QString &name, int type,
                                                                const UserDefaults &defaults);
    // The form a new snapshot is announced in: {"FileURLKey": file URL}. The name keeps the URL's
    // percent escapes. An empty dictionary gives an empty item.
    static std::unique_ptr<FileItem> fileItemWithDictionary(const QVariantMap &dictionary);
    // Only a file URL is taken; any other gives an empty item.
    static std::unique_ptr<FileItem> initWithURL(const QUrl &url);

    // Size text and creation date from the file; what cannot be read is left as it was.
    void setFileAttribute();

    QString name() const { return name_; }
    QString resolution() const { return resolution_; }
    int type() const { return type_; }
    QString itemSize() const { return itemSize_; }
    QDateTime createDate() const { return createDate_; }
    int serial() const { return serial_; }
    QUrl url() const { return url_; }
    QString path() const { return url_.toLocalFile(); }

    void setName(const QString &name) { name_ = name; }
    void setResolution(const QString &resolution) { resolution_ = resolution; }
    void setType(int type) { type_ = type; }
    void setItemSize(const QString &itemSize) { itemSize_ = itemSize; }
    void setCreateDate(const QDateTime &date) { createDate_ = date; }
    void setSerial(int serial) { serial_ = serial; }
    void setUrl(const QUrl &url) { url_ = url; }

    QString createDateDescription() const;
    QString infoString() const;
    QString description() const;

    // Browser item: identifier "<name>_<serial>", a picture, the title.
    QString imageUID() const;
    static QString imageRepresentationType() { return QStringLiteral("ImageObject"); }
    // For a photo: the picture, with `resolution` set from its header (pixels are decoded only
    // when the picture is drawn). For a movie: a null picture; `resolution` is left alone.
    PhotoImage imageRepresentation();
    QString imageTitle() const;
    PhotoImage image() { return imageRepresentation(); }
    QUrl movie() const { return type_ == Movie ? QUrl::fromLocalFile(path()) : QUrl(); }
    bool autoresize() const { return true; }

private:
    static QString lastPathComponent(const QString &text);
    static QString pathExtension(const QString &component);

    QString name_;
    QString resolution_;
    int type_ = Photo;
    QString itemSize_;
    QDateTime createDate_;
    int serial_ = 0;
    QUrl url_;
};
