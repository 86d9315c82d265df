#include "evernote/EnmlNoteBuilder.h"

#include <algorithm>
#include <future>
#include <thread>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include "core/DCLog.h"

namespace {

// The whole file, read straight into the string the note carries (photos are megabytes: no copies).
std::string readPhoto(const QString &path, QString *failure) {
    QFile file(path);
    const QString name = QFileInfo(path).fileName();
    if (!file.open(QIODevice::ReadOnly)) {
        *failure = QStringLiteral("The photo \"%1\" cannot be read (%2).").arg(name, file.errorString());
        return {};
    }
    const qint64 size = file.size();
    if (size > EnmlNoteBuilder::kMaxPhotoBytes) {
        *failure = QStringLiteral("The photo \"%1\" is too large to upload.").arg(name);
        return {};
    }
    std::string bytes(size_t(size), '\0');
    const qint64 read = size > 0 ? file.read(bytes.data(), size) : 0;
    // A file that shrank or emptied while queued is as unreadable as one that went.
    if (size == 0 || read != size || !file.atEnd())
        *failure = QStringLiteral("The photo \"%1\" cannot be read.").arg(name);
    return bytes;
}

} // namespace

QString EnmlNoteBuilder::prologue() {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<!DOCTYPE en-note SYSTEM \"http://xml.evernote.com/pub/enml2.dtd\">\n"
                          "<en-note>");
}

QString EnmlNoteBuilder::typeWord(const QString &path) {
    const QString extension = QFileInfo(path).suffix().toLower();
    return extension == QStringLiteral("jpg") ? QStringLiteral("jpeg") : extension;
}

namespace {

struct ReadPhoto {
    std::string bytes;
    QByteArray digest;
    QString failure;
};

// Reading and hashing are most of the work before sending: they run on a few threads at once.
std::vector<ReadPhoto> readAll(const QStringList &paths) {
    std::vector<ReadPhoto> photos(size_t(paths.size()));
    const auto readStride = [&](size_t first, size_t stride) {
        for (size_t i = first; i < photos.size(); i += stride) {
            ReadPhoto &photo = photos[i];
            photo.bytes = readPhoto(paths[qsizetype(i)], &photo.failure);
            if (photo.failure.isEmpty())
                photo.digest = QCryptographicHash::hash(
                    QByteArrayView(photo.bytes.data(), qsizetype(photo.bytes.size())),
                    QCryptographicHash::Md5);
        }
    };
    const size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    std::vector<std::future<void>> helpers;
    for (size_t t = 1; t < std::min(threads, photos.size()); ++t)
        helpers.push_back(std::async(std::launch::async, readStride, t, threads));
    readStride(0, std::min(threads, std::max<size_t>(photos.size(), 1)));
    for (auto &helper : helpers)
        helper.get();
    return photos;
}

} // namespace

EnmlNoteBuilder::Result EnmlNoteBuilder::build(const QString &title, const QString &notebookGuid,
                                               const QStringList &paths) {
    Result result;
    std::vector<ReadPhoto> photos = readAll(paths);
    QString content = prologue();
    std::vector<edam::Resource> resources;
    resources.reserve(size_t(paths.size()));
    for (qsizetype i = 0; i < paths.size(); ++i) {
        ReadPhoto &photo = photos[size_t(i)];
        // A photo that went away while queued fails the whole upload: a note silently missing a
        // photo would be announced as complete and the queue emptied.
        if (!photo.failure.isEmpty()) {
            result.failure = photo.failure;
            return result;
        }
        const QString type = typeWord(paths[i]);
        content += QStringLiteral("<en-media type=\"image/%1\" hash=\"%2\"/>")
                       .arg(type, QString::fromLatin1(photo.digest.toHex()));

        edam::Resource resource;
        resource.__set_mime(QStringLiteral("image/%1").arg(type).toStdString());
        resource.data.__set_bodyHash(photo.digest.toStdString());
        resource.data.__set_size(int32_t(photo.bytes.size()));
        resource.data.body = std::move(photo.bytes); // megabytes: moved, never copied
        resource.data.__isset.body = true;
        resource.__isset.data = true;
        resource.attributes.__set_fileName(QFileInfo(paths[i]).fileName().toStdString());
        resource.__isset.attributes = true;
        resources.push_back(std::move(resource));
    }
    content += QStringLiteral("</en-note>");
    DCLog("%s", qUtf8Printable(content));

    result.note.__set_title(title.toStdString());
    result.note.__set_notebookGuid(notebookGuid.toStdString());
    result.note.__set_content(content.toStdString());
    result.note.resources = std::move(resources);
    result.note.__isset.resources = true;
    return result;
}
