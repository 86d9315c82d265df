// Review mode's rules without widgets: zoom steps, the drag of the large image, the row selected after a
// delete, the info box's store, and deleting to the Trash with undo on real files.
#include <memory>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "photos/PhotoTrash.h"
#include "ui/model/AlbumDeletion.h"
#include "ui/model/DCImagePropertyController.h"
#include "ui/model/PhotoLibraryModel.h"
#include "ui/model/ReviewZoom.h"

TEST(ReviewZoom, StepsStopAtBothEnds) {
    const struct {
        int selected, step, expected;
    } cases[] = {{6, 1, 6}, {1, -1, 1}, {3, 1, 4}, {3, -1, 2}, {0, 1, 1}, {0, -1, 0}, {2, -1, 1}};
    for (const auto &c : cases)
        EXPECT_EQ(ReviewZoom::steppedItem(c.selected, c.step), c.expected) << c.selected << " by " << c.step;
}

// A 3x document (1920 x 1440) in a 640 x 480 area: the picture follows the pointer, edges never enter.
TEST(ReviewZoom, DragFollowsThePointerAndStaysInside) {
    const auto drag = [](QPointF origin, QPointF delta) {
        return ReviewZoom::draggedOrigin({origin, origin, QRectF(0, 0, 1920, 1440), QSizeF(640, 480)}, delta);
    };
    const struct {
        QPointF origin, delta, expected;
    } cases[] = {
        {{500, 400}, {30, -20}, {470, 420}},    // right and up: the shown part moves left and down
        {{10, 10}, {50, 50}, {0, 0}},           // past the top left corner
        {{1270, 950}, {-40, -40}, {1280, 960}}, // past the bottom right corner
        {{0, 0}, {0, 0}, {0, 0}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(drag(c.origin, c.delta), c.expected) << c.origin.x() << "," << c.origin.y();
}

TEST(AlbumDeletion, RowAfterDelete) {
    const struct {
        int smallest, remaining, expected;
    } cases[] = {
        {3, 7, 3},  // 3, 4, 5 of 10 deleted: the item now at 3
        {9, 9, 8},  // the last deleted: the new last
        {4, 2, 1},  // past the end
        {0, 0, -1}, // nothing left: no selection change
    };
    for (const auto &c : cases)
        EXPECT_EQ(AlbumDeletion::rowAfterDelete(c.smallest, c.remaining), c.expected) << c.smallest;
}

TEST(DCImagePropertyController, NeedsKeyAndIdentifier) {
    DCImagePropertyController store;
    store.setValue(1, QString(), QStringLiteral("a"));
    store.setValue(1, QStringLiteral("k"), QString());
    EXPECT_TRUE(store.properties().isEmpty());
    store.setValue(1, QStringLiteral("k"), QStringLiteral("a"));
    store.setValue(2, QStringLiteral("j"), QStringLiteral("a"));
    store.setValue(3, QStringLiteral("k"), QStringLiteral("a"));
    EXPECT_EQ(store.valueForKey(QStringLiteral("k"), QStringLiteral("a")).toInt(), 3);
    EXPECT_EQ(store.valueForKey(QStringLiteral("j"), QStringLiteral("a")).toInt(), 2);
    EXPECT_FALSE(store.valueForKey(QStringLiteral("k"), QStringLiteral("b")).isValid());
}

namespace {

// Ten files in a library folder, with a Trash of their own: the real Trash is never touched.
class TrashFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
        QDir().mkpath(folder());
        for (int i = 0; i < 10; ++i)
            addFile(folder(), QStringLiteral("photo_%1.jpg").arg(i), QByteArray(100 + i, char('a' + i)));
    }
    QString folder() const { return home.filePath(QStringLiteral("library")); }
    void addFile(const QString &dir, const QString &name, const QByteArray &bytes) {
        QFile file(dir + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        library.append(FileItem::initWithURL(QUrl::fromLocalFile(file.fileName())));
    }
    QStringList names() const {
        QStringList list;
        for (int row = 0; row < library.rowCount(); ++row)
            list << library.itemAt(row)->name();
        return list;
    }
    static QByteArray contents(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    AlbumDeletion::UndoRecord deleteRows(int from, int to) {
        library.selectRow(from);
        library.selectionModel()->select(QItemSelection(library.index(from), library.index(to)),
                                         QItemSelectionModel::Select);
        return AlbumDeletion::apply(library, AlbumDeletion::trash(AlbumDeletion::plan(library)));
    }

    QTemporaryDir home;
    PhotoLibraryModel library;
};

} // namespace

TEST_F(TrashFixture, DeletedPhotosGoToTheTrashAndUndoPutsThemBack) {
    const QStringList before = names();
    const AlbumDeletion::UndoRecord record = deleteRows(3, 5);
    ASSERT_EQ(record.entries.size(), 3u);
    EXPECT_EQ(library.rowCount(), 7);
    EXPECT_EQ(library.selectedRow(), 3);
    EXPECT_EQ(library.selectedItem()->name(), QStringLiteral("photo_6.jpg"));
    for (const auto &entry : record.entries) {
        EXPECT_FALSE(QFile::exists(entry.originalPath));
        EXPECT_TRUE(entry.trashPath.startsWith(home.filePath(QStringLiteral("data/Trash/files/"))))
            << qPrintable(entry.trashPath);
        const auto info = PhotoTrash::infoOf(entry.trashPath);
        ASSERT_TRUE(info.has_value()) << qPrintable(entry.trashPath);
        EXPECT_EQ(info->originalPath, entry.originalPath);
        EXPECT_TRUE(info->deletionDate.isValid());
    }
    const QStringList messages = AlbumDeletion::applyRestore(library, record, AlbumDeletion::restore(record));
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join('\n'));
    EXPECT_EQ(names(), before);
    EXPECT_EQ(contents(folder() + QStringLiteral("/photo_4.jpg")), QByteArray(104, 'e'));
    EXPECT_FALSE(QFile::exists(PhotoTrash::infoPath(record.entries[1].trashPath)));
}

// A newer file that took the name meanwhile is never overwritten: both are kept.
TEST_F(TrashFixture, UndoKeepsAFileThatTookTheName) {
    const AlbumDeletion::UndoRecord record = deleteRows(9, 9);
    EXPECT_EQ(library.selectedRow(), 8);
    QFile newer(folder() + QStringLiteral("/photo_9.jpg"));
    ASSERT_TRUE(newer.open(QIODevice::WriteOnly));
    newer.write("newer");
    newer.close();
    const QStringList messages = AlbumDeletion::applyRestore(library, record, AlbumDeletion::restore(record));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(contents(newer.fileName()), QByteArray("newer"));
    EXPECT_EQ(contents(folder() + QStringLiteral("/photo_9 (restored).jpg")), QByteArray(109, 'j'));
    EXPECT_EQ(library.itemAt(9)->name(), QStringLiteral("photo_9 (restored).jpg"));
}

// A failed move stops there; what went before stays deleted.
TEST_F(TrashFixture, AFailedMoveStopsAndKeepsWhatWent) {
    ASSERT_TRUE(QFile::remove(folder() + QStringLiteral("/photo_5.jpg")));
    const AlbumDeletion::UndoRecord record = deleteRows(3, 7);
    EXPECT_EQ(record.entries.size(), 2u);
    EXPECT_EQ(library.rowCount(), 8);
    EXPECT_TRUE(QFile::exists(folder() + QStringLiteral("/photo_6.jpg")));
}

// With no usable Trash the photo stays where it is (never in a "files" folder wherever the program runs).
TEST_F(TrashFixture, NoUsableTrashLeavesThePhoto) {
    qputenv("XDG_DATA_HOME", "/dev/null/data");
    const QString working = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(home.path())); // where such a fallback would put its folders
    const QString photo = folder() + QStringLiteral("/photo_0.jpg");
    QString error;
    EXPECT_FALSE(PhotoTrash::moveToTrash(photo, &error).has_value());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(contents(photo), QByteArray(100, 'a'));
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("files/photo_0.jpg"))));
    QDir::setCurrent(working);
}

// A library on another file system uses that file system's own Trash.
TEST_F(TrashFixture, AnotherFileSystemHasItsOwnTrash) {
    const QString shm = QStringLiteral("/dev/shm");
    if (!QFileInfo(shm).isWritable() || QStorageInfo(shm) == QStorageInfo(home.path()))
        GTEST_SKIP() << "no second writable file system here";
    QTemporaryDir other(shm + QStringLiteral("/korva-trash-XXXXXX"));
    addFile(other.path(), QStringLiteral("away.jpg"), "away");
    QString error;
    const auto inTrash = PhotoTrash::moveToTrash(other.filePath(QStringLiteral("away.jpg")), &error);
    ASSERT_TRUE(inTrash.has_value()) << qPrintable(error);
    EXPECT_TRUE(inTrash->startsWith(shm + QStringLiteral("/.Trash"))) << qPrintable(*inTrash);
    const auto back = PhotoTrash::restore(*inTrash, other.filePath(QStringLiteral("away.jpg")), &error);
    ASSERT_TRUE(back.has_value()) << qPrintable(error);
    EXPECT_EQ(contents(*back), QByteArray("away"));
}
