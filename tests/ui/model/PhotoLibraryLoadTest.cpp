#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "ui/model/PhotoLibraryModel.h"

namespace {

// More photos than the first batch holds, so a load hands its rows over more than once.
constexpr int kPhotos = 150;

QString photoName(int i) {
    return QStringLiteral("p%1.jpg").arg(i, 3, 10, QChar('0'));
}

// `count` small photos named p000.jpg..., hard links of one file (a copy where links fail).
QString makeLibrary(const QTemporaryDir &dir, const QString &name, int count) {
    const QString folder = dir.filePath(name);
    QDir().mkpath(folder);
    const QString source = dir.filePath(name + QStringLiteral(".source.jpg"));
    QImage image(16, 12, QImage::Format_RGB32);
    image.fill(Qt::gray);
    EXPECT_TRUE(image.save(source, "JPG"));
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QLatin1Char('/') + photoName(i);
        if (::link(QFile::encodeName(source).constData(), QFile::encodeName(path).constData()) != 0)
            QFile::copy(source, path);
    }
    return folder;
}

QStringList names(const PhotoLibraryModel &library) {
    QStringList list;
    for (int row = 0; row < library.rowCount(); ++row)
        list << library.itemAt(row)->name();
    return list;
}

bool waitLoaded(const PhotoLibraryModel &library) {
    return waitUntil([&] { return !library.isLoading(); }, std::chrono::seconds(10 * kSlowdown));
}

} // namespace

// Whenever the new photo's announcement arrives during the load, the library ends with the folder in
// album order and the new photo once, last: the row callers select and queue.
TEST(PhotoLibraryLoad, APhotoAppendedDuringTheLoadIsListedOnceAndLast) {
    struct Case {
        const char *name;
        bool inFolder;        // the listing finds it too
        bool afterFirstBatch; // appended once rows have arrived, else before any
    };
    const Case cases[] = {
        {"zz_new.jpg", true, false}, {"a_first.jpg", true, true}, {"elsewhere.jpg", false, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString folder = makeLibrary(dir, QStringLiteral("library"), kPhotos);
        const QString path = (c.inFolder ? folder : dir.path()) + QLatin1Char('/') + QLatin1String(c.name);
        ASSERT_TRUE(QFile::copy(folder + QStringLiteral("/p000.jpg"), path));
        PhotoLibraryModel library;
        QSignalSpy loaded(&library, &PhotoLibraryModel::loaded);
        library.loadFolderInBackground(folder);
        if (c.afterFirstBatch) {
            auto once = std::make_shared<QMetaObject::Connection>();
            *once = QObject::connect(&library, &QAbstractItemModel::rowsInserted, [&, once] {
                QObject::disconnect(*once);
                ASSERT_TRUE(library.isLoading());
                library.append(FileItem::initWithURL(QUrl::fromLocalFile(path)));
            });
        } else {
            library.append(FileItem::initWithURL(QUrl::fromLocalFile(path)));
        }
        ASSERT_TRUE(waitLoaded(library));
        QStringList expected;
        for (int i = 0; i < kPhotos; ++i)
            expected << photoName(i);
        expected << QLatin1String(c.name);
        EXPECT_EQ(names(library), expected);
        EXPECT_EQ(library.itemAt(library.rowCount() - 1)->path(), path);
        EXPECT_EQ(loaded.count(), 1);
    }
}

// The folder changed again before the first load ended, by a background or a direct load: only the
// last folder's photos are there, whatever the first load had read.
TEST(PhotoLibraryLoad, TheLatestLoadWinsAndAStaleOneIsDropped) {
    QTemporaryDir dir;
    const QString first = makeLibrary(dir, QStringLiteral("first"), kPhotos);
    const QString second = makeLibrary(dir, QStringLiteral("second"), 3);
    const QStringList expected{photoName(0), photoName(1), photoName(2)};
    for (const bool direct : {false, true}) {
        PhotoLibraryModel library;
        QSignalSpy loaded(&library, &PhotoLibraryModel::loaded);
        library.loadFolderInBackground(first);
        // Time for the first load's rows to be read and queued, unhandled, to the main thread.
        QThread::msleep(100);
        QObject::connect(&library, &QAbstractItemModel::rowsInserted, [&] {
            if (library.rowCount() > 3) ADD_FAILURE() << "rows of the first folder arrived";
        });
        if (direct) {
            library.loadFolder(second);
            EXPECT_FALSE(library.isLoading());
            EXPECT_EQ(names(library), expected);
            // The first load's queued rows, if any, would come now.
            library.loadFolderInBackground(second);
        } else {
            library.loadFolderInBackground(second);
        }
        ASSERT_TRUE(waitLoaded(library));
        EXPECT_EQ(names(library), expected) << direct;
        EXPECT_EQ(loaded.count(), 1);
    }
    // A model that goes while its load runs waits for the worker and takes its rows with it.
    auto library = std::make_unique<PhotoLibraryModel>();
    library->loadFolderInBackground(first);
    library.reset();
}

// A library folder that is missing, or that goes while it is read, gives what could be read.
TEST(PhotoLibraryLoad, AMissingOrVanishingFolderGivesWhatCouldBeRead) {
    QTemporaryDir dir;
    PhotoLibraryModel library;
    library.loadFolderInBackground(dir.filePath(QStringLiteral("missing")));
    ASSERT_TRUE(waitLoaded(library));
    EXPECT_EQ(library.rowCount(), 0);

    const QString folder = makeLibrary(dir, QStringLiteral("library"), kPhotos);
    QObject::connect(&library, &QAbstractItemModel::rowsInserted, [&] { QDir(folder).removeRecursively(); });
    library.loadFolderInBackground(folder);
    ASSERT_TRUE(waitLoaded(library));
    EXPECT_GT(library.rowCount(), 0);
    EXPECT_LE(library.rowCount(), kPhotos);
}
