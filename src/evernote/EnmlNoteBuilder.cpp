#include "evernote/EnmlNoteBuilder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include "core/DCLog.h"

namespace {

QByteArray readPhoto(const QString &path, QString *failure) {
    QFile file(path);
    const QString name = QFileInfo(path).fileName();
    if (!file.open(QIODevice::ReadOnly)) {
        *failure = QStringLiteral("The photo \"%1\" cannot be read (%2).").arg(name, file.errorString());
        return {};
    }
    if (file.size() > EnmlNoteBuilder::kMaxPhotoBytes) {
        *failure = QStringLiteral("The photo \"%1\" is too large to upload.").arg(name);
        return {};
    }
    QByteArray bytes = file.read(EnmlNoteBuilder::kMaxPhotoBytes + 1);
    if (bytes.isEmpty() || bytes.size() > EnmlNoteBuilder::kMaxPhotoBytes)
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

EnmlNoteBuilder::Result EnmlNoteBuilder::build(const QString &title, const QString &notebookGuid,
                                               const QStringList &paths) {
    Result result;
    QString content = prologue();
    std::vector<edam::Resource> resources;
    for (const QString &path : paths) {
        // A photo that went away while queued fails the whole upload: a note silently missing a
        // photo would be announced as complete and the queue emptied.
        const QByteArray bytes = readPhoto(path, &result.failure);
        if (!result.failure.isEmpty()) return result;
        const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
        const QString type = typeWord(path);

        edam::Data data;
        data.__set_bodyHash(digest.toStdString());
        data.__set_size(int32_t(bytes.size()));
        data.__set_body(bytes.toStdString());
        edam::ResourceAttributes attributes;
        attributes.__set_fileName(QFileInfo(path).fileName().toStdString());
        edam::Resource resource;
        resource.__set_mime(QStringLiteral("image/%1").arg(type).toStdString());
        resource.__set_data(data);
        resource.__set_attributes(attributes);
        resources.push_back(std::move(resource));

        content += QStringLiteral("<en-media type=\"image/%1\" hash=\"%2\"/>")
                       .arg(type, QString::fromLatin1(digest.toHex()));
    }
    content += QStringLiteral("</en-note>");
    DCLog("%s", qUtf8Printable(content));

    result.note.__set_title(title.toStdString());
    result.note.__set_notebookGuid(notebookGuid.toStdString());
    result.note.__set_content(content.toStdString());
    result.note.__set_resources(std::move(resources));
    return result;
}
