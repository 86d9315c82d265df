#include "photos/FileItem.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include "PhotoTestSupport.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/PhotoLibrary.h"
#include "support/TestSupport.h"

namespace {

class FileItemTest : public ::testing::Test {
protected:
    FileItemTest() : defaults_(home_.filePath(QStringLiteral("defaults.json"))) {
        defaults_.setObject(library_.path(), DCDefaults::PhotoLibraryLocation);
    }
    QString path(const QString &name) const { return library_.filePath(name); }
    QStringList listedNames() const {
        QStringList names;
        for (const auto &entry : PhotoLibrary::entriesInFolder(library_.path()))
            names << entry.name;
        return names;
    }
    const FileItem *find(const std::vector<std::unique_ptr<FileItem>> &items, const QString &name) const {
        for (const auto &item : items)
            if (item->name() == name) return item.get();
        return nullptr;
    }

    QTemporaryDir home_;
    QTemporaryDir library_;
    UserDefaults defaults_;
    const QDateTime taken_{QDate(2013, 4, 9), QTime(10, 11, 12)};
};

} // namespace

TEST_F(FileItemTest, BlankIsEscapedInTheAnnouncedFormOnly) {
    ASSERT_TRUE(writeTestPhoto(path("Lesson 3_0001.jpg"), 64, 48, taken_));
    const QVariantMap announced{{DCKey::FileURL, QUrl::fromLocalFile(path("Lesson 3_0001.jpg"))}};
    const auto fromAnnouncement = FileItem::fileItemWithDictionary(announced);
    EXPECT_EQ(fromAnnouncement->name(), QStringLiteral("Lesson%203_0001.jpg"));
    EXPECT_EQ(fromAnnouncement->path(), path("Lesson 3_0001.jpg"));
    EXPECT_EQ(fromAnnouncement->itemSize(),
              QStringLiteral("%1 KB").arg(QFile(path("Lesson 3_0001.jpg")).size() / 1024));

    const auto fromListing =
        FileItem::fileItemWithContentsOfFile(QStringLiteral("Lesson 3_0001.jpg"), 0, defaults_);
    EXPECT_EQ(fromListing->name(), QStringLiteral("Lesson 3_0001.jpg"));
    EXPECT_EQ(fromListing->url(), QUrl::fromLocalFile(path("Lesson 3_0001.jpg")));
}

TEST_F(FileItemTest, ListingKeepsExactLowerCaseJpgAndMovSortedIgnoringCase) {
    for (const char *name : {"b.jpg", "A.JPG", "a.jpg", "C.jpg", "clip.mov", "CLIP.MOV", "d.png", "e.Jpg",
                             "f.jpg.txt", ".f.jpg.Xy12ab", "jpg"})
        writeFileBytes(path(QString::fromLatin1(name)), "x");
    QDir(library_.path()).mkdir(QStringLiteral("folder.jpg"));
    EXPECT_EQ(listedNames(), (QStringList{"a.jpg", "b.jpg", "C.jpg", "clip.mov"}));
    EXPECT_EQ(PhotoLibrary::entriesInFolder(library_.path()).back().type, FileItem::Movie);

    // The announced form types an upper-case extension as a photo with a ".jpg" name.
    const auto item =
        FileItem::fileItemWithDictionary({{DCKey::FileURL, QUrl::fromLocalFile(path("A.JPG"))}});
    EXPECT_EQ(item->type(), FileItem::Photo);
    EXPECT_EQ(item->name(), QStringLiteral("A.jpg"));
    const auto movie =
        FileItem::fileItemWithDictionary({{DCKey::FileURL, QUrl::fromLocalFile(path("clip.mov"))}});
    EXPECT_EQ(movie->type(), FileItem::Movie);
    EXPECT_EQ(movie->name(), QStringLiteral("clip.mov"));
}

TEST_F(FileItemTest, TextsBeforeAndAfterTheFirstLoad) {
    ASSERT_TRUE(writeTestPhoto(path("2013-04-09_0001.jpg"), 640, 480, taken_));
    auto item = FileItem::fileItemWithContentsOfFile(QStringLiteral("2013-04-09_0001.jpg"), 0, defaults_);
    const QString size = item->itemSize();
    EXPECT_EQ(item->createDateDescription(), QStringLiteral("2013-04-09"));
    EXPECT_EQ(item->infoString(), QStringLiteral("2013-04-09_0001.jpg  |  2013-04-09  |    |  ") + size);

    const PhotoImage image = item->imageRepresentation();
    EXPECT_EQ(image.size(), QSize(640, 480));
    EXPECT_EQ(item->resolution(), QStringLiteral("640x480"));
    EXPECT_EQ(item->description(), QStringLiteral("2013-04-09_0001.jpg 640x480 %1 2013-04-09").arg(size));
    EXPECT_EQ(image.image().size(), QSize(640, 480)); // decoded only now

    EXPECT_EQ(item->imageUID(), QStringLiteral("2013-04-09_0001.jpg_0"));
    item->setSerial(item->serial() + 1);
    EXPECT_EQ(item->imageUID(), QStringLiteral("2013-04-09_0001.jpg_1"));
    EXPECT_EQ(item->imageTitle(), QStringLiteral("2013-04-09_0001.jpg"));
}

TEST_F(FileItemTest, SizeTextRoundsDownToKilobytes) {
    writeFileBytes(path("zero.jpg"), QByteArray());
    writeFileBytes(path("big.jpg"), QByteArray(1500000, 'x'));
    auto zero = FileItem::fileItemWithContentsOfFile(QStringLiteral("zero.jpg"), 0, defaults_);
    EXPECT_EQ(zero->itemSize(), QStringLiteral("0 KB"));
    zero->imageRepresentation();
    EXPECT_EQ(zero->resolution(), QString());
    EXPECT_EQ(FileItem::fileItemWithContentsOfFile(QStringLiteral("big.jpg"), 0, defaults_)->itemSize(),
              QStringLiteral("1464 KB"));
    // A file that is gone leaves the texts as they were.
    auto gone = FileItem::fileItemWithContentsOfFile(QStringLiteral("gone.jpg"), 0, defaults_);
    EXPECT_EQ(gone->itemSize(), QString());
    EXPECT_FALSE(gone->createDate().isValid());
}

TEST_F(FileItemTest, UrlFormTakesOnlyFileUrls) {
    EXPECT_TRUE(FileItem::initWithURL(QUrl(QStringLiteral("https://example.org/a.jpg")))->name().isEmpty());
    EXPECT_TRUE(FileItem::fileItemWithDictionary({})->url().isEmpty());
    writeFileBytes(path("scan.png"), "x");
    const auto png = FileItem::initWithURL(QUrl::fromLocalFile(path("scan.png")));
    EXPECT_EQ(png->name(), QStringLiteral("scan.png"));
    EXPECT_EQ(png->type(), FileItem::Photo);
    EXPECT_EQ(png->itemSize(), QStringLiteral("0 KB"));
    EXPECT_EQ(FileItem::initWithURL(QUrl::fromLocalFile(path("m.mov")))->type(), FileItem::Movie);
}

TEST_F(FileItemTest, ListingShowsWhatBadFilesAllowAndNeverBlocks) {
    ASSERT_TRUE(writeTestPhoto(path("good.jpg"), 320, 240, taken_));
    const QByteArray good = readFileBytes(path("good.jpg"));
    writeFileBytes(path("text.jpg"), "this is no picture at all");
    QImage png(50, 40, QImage::Format_RGB32);
    png.fill(Qt::green);
    png.save(path("png.jpg"), "PNG");
    writeFileBytes(path("truncated.jpg"), good.left(good.size() / 2));
    writeFileBytes(path("headless.jpg"), good.left(40));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.jpg")).constData(), 0644), 0);
    QFile::link(path("nowhere"), path("dangling.jpg"));

    LogCapture log;
    const auto items = PhotoLibrary::itemsInLibrary(defaults_);
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(find(items, "good.jpg")->resolution(), QStringLiteral("320x240"));
    EXPECT_EQ(find(items, "good.jpg")->createDateDescription(), QStringLiteral("2013-04-09"));
    EXPECT_EQ(find(items, "png.jpg")->resolution(), QStringLiteral("50x40")); // a picture, whatever its name
    EXPECT_EQ(find(items, "truncated.jpg")->resolution(), QStringLiteral("320x240")); // the header survived
    EXPECT_EQ(find(items, "text.jpg")->resolution(), QString());
    EXPECT_EQ(find(items, "text.jpg")->itemSize(), QStringLiteral("0 KB"));
    EXPECT_EQ(find(items, "headless.jpg")->resolution(), QString());
    EXPECT_EQ(find(items, "fifo.jpg")->resolution(), QString());
    EXPECT_EQ(find(items, "dangling.jpg")->itemSize(), QString());
    EXPECT_TRUE(log.contains(QStringLiteral("Cannot read the picture size of ") + path("text.jpg")));

    defaults_.setObject(library_.filePath(QStringLiteral("missing")), DCDefaults::PhotoLibraryLocation);
    EXPECT_TRUE(PhotoLibrary::itemsInLibrary(defaults_).empty());
    EXPECT_TRUE(log.contains(QStringLiteral("does not exist")));
}
