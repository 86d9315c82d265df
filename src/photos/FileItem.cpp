#include "photos/FileItem.h"

#include <QFileInfo>

#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/SnapshotNamer.h"

std::unique_ptr<FileItem> FileItem::fileItemWithContentsOfFile(const QString &name) {
    return fileItemWithContentsOfFile(name, Photo);
}

std::unique_ptr<FileItem> FileItem::fileItemWithContentsOfFile(const QString &name, int type) {
    return fileItemWithContentsOfFile(name, type, UserDefaults::standardUserDefaults());
}

std::unique_ptr<FileItem> FileItem::fileItemWithContentsOfFile(const QString &name, int type,
                                                               const UserDefaults &defaults) {
    auto item = std::make_unique<FileItem>();
    item->name_ = name;
    item->type_ = type;
    const QString folder =
        SnapshotNamer::expandedFolder(defaults.stringForKey(DCDefaults::PhotoLibraryLocation));
    item->url_ = QUrl::fromLocalFile(QStringLiteral("%1/%2").arg(folder, name));
    item->setFileAttribute();
    return item;
}

std::unique_ptr<FileItem> FileItem::fileItemWithDictionary(const QVariantMap &dictionary) {
    auto item = std::make_unique<FileItem>();
    if (dictionary.isEmpty()) return item;
    item->url_ = dictionary.value(DCKey::FileURL).toUrl();
    const QString last = lastPathComponent(QString::fromUtf8(item->url_.toEncoded()));
    const QString extension = pathExtension(last);
    QString suffix = QStringLiteral(".jpg");
    if (extension == QLatin1String("mov")) {
        item->type_ = Movie;
        suffix = QStringLiteral(".mov");
    }
    const QString stem = extension.isEmpty() ? last : last.left(last.size() - extension.size() - 1);
    item->name_ = stem + suffix;
    item->setFileAttribute();
    return item;
}

std::unique_ptr<FileItem> FileItem::initWithURL(const QUrl &url) {
    auto item = std::make_unique<FileItem>();
    if (!url.isLocalFile()) return item;
    item->url_ = url;
    item->name_ = lastPathComponent(QString::fromUtf8(url.toEncoded()));
    const QString extension = pathExtension(item->name_);
    if (extension == QLatin1String("jpg")) item->type_ = Photo;
    if (extension == QLatin1String("mov")) item->type_ = Movie;
    item->setFileAttribute();
    return item;
}

void FileItem::setFileAttribute() {
    const QString filePath = path();
    if (filePath.isEmpty()) return;
    const QFileInfo info(filePath);
    if (!info.exists()) return;
    itemSize_ = QStringLiteral("%1 KB").arg(info.size() / 1024);
    // The moment a photo was taken is in its EXIF tags, which survive copies; the file system's own
    // dates are the fallback.
    if (type_ != Movie && info.isFile()) {
        if (const auto date = PhotoImage::probe(filePath, true).exifDate) {
            createDate_ = *date;
            return;
        }
    }
    const QDateTime born = info.birthTime();
    if (born.isValid())
        createDate_ = born;
    else if (info.lastModified().isValid())
        createDate_ = info.lastModified();
}

QString FileItem::createDateDescription() const {
    return createDate_.isValid() ? createDate_.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"))
                                 : QString();
}

QString FileItem::infoString() const {
    return QStringLiteral("%1  |  %2  |  %3  |  %4")
        .arg(name_, createDateDescription(), resolution_, itemSize_);
}

QString FileItem::description() const {
    return QStringLiteral("%1 %2 %3 %4").arg(name_, resolution_, itemSize_, createDateDescription());
}

QString FileItem::imageUID() const {
    return QStringLiteral("%1_%2").arg(name_).arg(serial_);
}

PhotoImage FileItem::imageRepresentation() {
    if (type_ == Movie) return {};
    PhotoImage image = PhotoImage::fromFile(path());
    if (!image.isNull())
        resolution_ = QStringLiteral("%1x%2").arg(image.size().width()).arg(image.size().height());
    return image;
}

QString FileItem::imageTitle() const {
    return lastPathComponent(name_);
}

QString FileItem::lastPathComponent(const QString &text) {
    QString trimmed = text;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    return slash < 0 || trimmed.size() == 1 ? trimmed : trimmed.mid(slash + 1);
}

QString FileItem::pathExtension(const QString &component) {
    const qsizetype dot = component.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : component.mid(dot + 1);
}
