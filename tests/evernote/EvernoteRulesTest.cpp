#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "evernote/EdamErrors.h"
#include "evernote/EnmlNoteBuilder.h"
#include "evernote/EvernoteConfig.h"
#include "evernote/NotebookLookup.h"

namespace {

TEST(EdamErrors, TextsForCodesInsideAndOutsideTheKnownRange) {
    const struct {
        int code;
        const char *parameter, *text, *alert;
    } cases[] = {
        {1, "", "Unknown", "Error: Unknown"},
        {8, "authenticationToken", "Invalid auth", "Error: Invalid auth"},
        {10, "Notebook.name", "Data conflict", "Notebook.name conflict"},
        {17, "", "Unsupported operation", "Error: Unsupported operation"},
        {0, "", "", "Error: error code 0"},
        {19, "", "", "Error: error code 19"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(EdamErrors::errorStringFromCode(c.code), c.text) << c.code;
        EXPECT_EQ(EdamErrors::userExceptionText(c.code, c.parameter), c.alert) << c.code;
    }
}

edam::Notebook notebook(const char *guid, const char *name) {
    edam::Notebook result;
    result.__set_guid(guid);
    result.__set_name(name);
    return result;
}

TEST(NotebookLookup, GuidFirstThenNameIgnoringCase) {
    const std::vector<edam::Notebook> notebooks{notebook("g1", "Korva Notebook"), notebook("g2", "Physics"),
                                                notebook("g3", "korva notebook")};
    const struct {
        const char *guid, *name, *found;
    } cases[] = {
        {"g3", "Korva Notebook", "g3"}, // a guid match beats an earlier name match
        {"", "KORVA NOTEBOOK", "g1"},   // the first name match, ignoring case
        {"gone", "physics", "g2"},      // a vanished guid falls back to the name
        {"gone", "Chemistry", ""},      {"", "", ""},
    };
    for (const auto &c : cases) {
        const auto found = findNotebook(notebooks, c.guid, c.name);
        EXPECT_EQ(found ? found->guid : std::string(), c.found) << c.guid << " " << c.name;
    }
}

TEST(EnmlNoteBuilder, TwoPhotosGiveExactContentAndResources) {
    QTemporaryDir dir;
    const QByteArray jpeg("\xff\xd8 jpeg bytes \xff\xd9", 16), png("\x89PNG\r\n png bytes");
    const QString a = dir.filePath("a.jpg"), b = dir.filePath("b.png");
    for (const auto &[path, bytes] : {std::pair{a, jpeg}, std::pair{b, png}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const auto md5 = [](const QByteArray &bytes) {
        return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
    };

    const auto built = EnmlNoteBuilder::build("Lesson", "nb-guid", {a, b});
    ASSERT_TRUE(built.failure.isEmpty());
    EXPECT_EQ(QString::fromStdString(built.note.content),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE en-note SYSTEM \"http://xml.evernote.com/pub/enml2.dtd\">\n"
              "<en-note><en-media type=\"image/jpeg\" hash=\"" +
                  md5(jpeg).toHex() + "\"/><en-media type=\"image/png\" hash=\"" + md5(png).toHex() +
                  "\"/></en-note>");
    EXPECT_EQ(built.note.title, "Lesson");
    EXPECT_EQ(built.note.notebookGuid, "nb-guid");
    ASSERT_EQ(built.note.resources.size(), 2u);
    const auto &first = built.note.resources[0];
    EXPECT_EQ(first.mime, "image/jpeg");
    EXPECT_EQ(first.data.bodyHash, md5(jpeg).toStdString());
    EXPECT_EQ(first.data.size, jpeg.size());
    EXPECT_EQ(first.data.body, jpeg.toStdString());
    EXPECT_EQ(first.attributes.fileName, "a.jpg");
    EXPECT_EQ(built.note.resources[1].mime, "image/png");

    EXPECT_EQ(EnmlNoteBuilder::typeWord("/x/Photo.JPG"), "jpeg");
    EXPECT_EQ(EnmlNoteBuilder::typeWord("/x/photo.jpeg"), "jpeg");

    const auto missing = EnmlNoteBuilder::build("Lesson", "nb-guid", {a, dir.filePath("gone.jpg")});
    EXPECT_TRUE(missing.failure.contains("\"gone.jpg\"")) << missing.failure.toStdString();
}

TEST(EvernoteConfig, TheTestOverrideTakesPlainHttpOnlyOnLoopback) {
    qunsetenv(EvernoteConfig::kServiceOverrideVariable);
    const EvernoteConfig built = EvernoteConfig::fromBuild();
    const struct {
        const char *value, *scheme, *host; // none: the build's own
    } cases[] = {
        {"http://127.0.0.1:8080", "http", "127.0.0.1:8080"},
        {"https://service.example", "https", "service.example"},
        {"http://service.example:8080", nullptr, nullptr},
        {"ftp://127.0.0.1", nullptr, nullptr},
    };
    for (const auto &c : cases) {
        qputenv(EvernoteConfig::kServiceOverrideVariable, c.value);
        const EvernoteConfig config = EvernoteConfig::fromBuild();
        EXPECT_EQ(config.scheme, c.scheme ? QString(c.scheme) : built.scheme) << c.value;
        EXPECT_EQ(config.host, c.host ? QString(c.host) : built.host) << c.value;
    }
    qunsetenv(EvernoteConfig::kServiceOverrideVariable);
}

} // namespace
