#include "ui/model/EvernoteModeModel.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A queue of real files (empty ones: only their names and presence matter here).
struct QueueRig {
    QTemporaryDir dir;
    EvernoteModeModel model;
    UploadQueueModel &queue = model.queue();

    QUrl file(const QString &name) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return QUrl::fromLocalFile(f.fileName());
    }
    void add(std::initializer_list<const char *> names) {
        for (const char *name : names)
            ASSERT_TRUE(queue.acceptFileDrag(file(QString::fromLatin1(name))));
    }
    QStringList names() const {
        QStringList out;
        for (int row = 0; row < queue.rowCount(); ++row)
            out << queue.itemAt(row)->url().fileName();
        return out;
    }
};

} // namespace

TEST(UploadQueueModel, DropsTakeJpgAndPngInAnyCaseAndNothingElse) {
    QueueRig rig;
    const struct {
        const char *name;
        bool taken;
    } cases[] = {{"a.jpg", true},   {"b.JPG", true},  {"c.png", true}, {"d.Png", true},
                 {"e.jpeg", false}, {"f.gif", false}, {"jpg", false},  {"g.jpg.txt", false}};
    QStringList expected;
    for (const auto &c : cases) {
        EXPECT_EQ(rig.queue.acceptFileDrag(rig.file(QString::fromLatin1(c.name))), c.taken) << c.name;
        if (c.taken) expected << QString::fromLatin1(c.name);
    }
    EXPECT_FALSE(rig.queue.acceptFileDrag(QUrl(QStringLiteral("https://example.org/h.jpg"))));
    EXPECT_EQ(rig.names(), expected); // in the drop's order
}

TEST(UploadQueueModel, TheSelectionStaysOnTheRowOrFallsBackToTheLast) {
    const struct {
        std::vector<int> select;
        int expected; // -1: nothing selected
        QString count;
    } cases[] = {
        {{1}, 1, "3 images attached"}, // the next photo moves up into the row
        {{3}, 2, "3 images attached"}, // the last one went: the new last
        {{0, 1, 2, 3}, -1, "0 images attached"},
    };
    for (const auto &c : cases) {
        QueueRig rig;
        rig.add({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
        for (int row : c.select)
            rig.queue.selectionModel()->select(rig.queue.index(row), QItemSelectionModel::Select);
        rig.queue.removeSelected();
        const QList<int> selected = rig.queue.selectedRows();
        EXPECT_EQ(selected.isEmpty() ? -1 : selected.first(), c.expected);
        EXPECT_EQ(rig.queue.countText(), c.count);
    }
}

TEST(UploadQueueModel, AddingSeveralSelectsTheLastAddingOneLeavesTheSelection) {
    QueueRig rig;
    rig.add({"a.jpg", "b.jpg"});
    EXPECT_TRUE(rig.queue.selectedRows().isEmpty());
    std::vector<std::unique_ptr<FileItem>> items;
    items.push_back(FileItem::initWithURL(rig.file(QStringLiteral("c.jpg"))));
    items.push_back(FileItem::initWithURL(rig.file(QStringLiteral("d.png"))));
    rig.queue.addFileItemsToQueue(std::move(items));
    EXPECT_EQ(rig.queue.selectedRows(), QList<int>{3});
}

TEST(EvernoteModeModel, TheTitleUsesTheTwelveHourClockWithoutMarker) {
    const struct {
        QTime time;
        const char *expected;
    } cases[] = {{{0, 5, 9}, "12:05:09"},
                 {{9, 0, 0}, "09:00:00"},
                 {{12, 30, 0}, "12:30:00"},
                 {{13, 5, 9}, "01:05:09"},
                 {{23, 59, 59}, "11:59:59"}};
    for (const auto &c : cases)
        EXPECT_EQ(EvernoteModeModel::noteTitle(QDateTime(QDate(2026, 3, 4), c.time)),
                  QStringLiteral("Korva note created at 2026-03-04 ") + QLatin1String(c.expected));
}

TEST(EvernoteModeModel, NotebooksChooseTheLastUploadsOneElseTheFirst) {
    EvernoteModeModel model;
    const QList<EvernoteNotebook> books{{"g1", "Work"}, {"g2", "Korva Notebook"}, {"g3", "work"}};
    model.setNotebooks(books, QStringLiteral("g3"));
    EXPECT_EQ(model.selectedNotebook(), 2);
    model.setNotebooks(books, QStringLiteral("gone"));
    EXPECT_EQ(model.selectedNotebook(), 0);
    // A name that could not be made chooses the notebook of exactly that name.
    model.notebookNotCreated(QStringLiteral("work"));
    EXPECT_EQ(model.selectedNotebook(), 2);
    model.notebookCreated({"g4", "New"});
    EXPECT_EQ(model.selectedNotebook(), 3);
    model.setSignedIn(true);
    model.setSignedIn(false);
    EXPECT_TRUE(model.notebooks().isEmpty());
    EXPECT_FALSE(model.chosenNotebook());
}

TEST(EvernoteModeModel, UploadSendsEachPhotoOnceAndLeavesOutVanishedOnes) {
    QueueRig rig;
    rig.add({"a.jpg", "b.png", "a.jpg", "gone.jpg"});
    QFile::remove(rig.dir.filePath(QStringLiteral("gone.jpg")));
    QSignalSpy signIn(&rig.model, &EvernoteModeModel::signInRequested);
    QSignalSpy sent(&rig.model, &EvernoteModeModel::uploadRequested);
    QSignalSpy missing(&rig.model, &EvernoteModeModel::photosMissing);

    rig.model.upload(QStringLiteral("t"));
    EXPECT_EQ(signIn.count(), 1); // signed out: sign-in instead
    EXPECT_EQ(sent.count(), 0);
    EXPECT_EQ(rig.queue.rowCount(), 4);

    rig.model.setSignedIn(true);
    rig.model.upload(QStringLiteral("t"));
    ASSERT_EQ(sent.count(), 1);
    EXPECT_EQ(sent[0][1].toStringList(), (QStringList{rig.dir.filePath(QStringLiteral("a.jpg")),
                                                      rig.dir.filePath(QStringLiteral("b.png"))}));
    ASSERT_EQ(missing.count(), 1);
    EXPECT_EQ(missing[0][0].toStringList(), QStringList{QStringLiteral("gone.jpg")});
    EXPECT_EQ(rig.names(), (QStringList{"a.jpg", "b.png", "a.jpg"}));
    // A second press while sending sends nothing more.
    rig.model.upload(QStringLiteral("t"));
    EXPECT_EQ(sent.count(), 1);
}

TEST(EvernoteModeModel, OnlyTheSentPhotosLeaveAndOnlyAfterSuccess) {
    const struct {
        const char *outcome;
        QStringList left;
    } cases[] = {
        {"failed", {"a.jpg", "b.jpg", "late.jpg"}},
        {"alert", {"late.jpg"}},      // removed when the alert is closed
        {"fullscreen", {"late.jpg"}}, // no alert: removed at once, not sent again next time
    };
    for (const auto &c : cases) {
        QueueRig rig;
        rig.model.setSignedIn(true);
        rig.add({"a.jpg", "b.jpg"});
        QSignalSpy completed(&rig.model, &EvernoteModeModel::uploadCompleted);
        rig.model.upload(QStringLiteral("t"));
        rig.add({"late.jpg"}); // queued while the upload runs
        const QString outcome = QString::fromLatin1(c.outcome);
        if (outcome == QLatin1String("failed")) {
            rig.model.uploadFailed();
        } else {
            rig.model.uploadFinished(QStringLiteral("n"), QStringLiteral("b"),
                                     outcome == QLatin1String("alert"));
            if (outcome == QLatin1String("alert")) {
                ASSERT_EQ(completed.count(), 1);
                EXPECT_EQ(completed[0][0].toInt(), 2);
                EXPECT_EQ(rig.queue.rowCount(), 3); // still there behind the alert
                rig.model.completedAlertEnded();
            }
        }
        EXPECT_EQ(rig.names(), c.left) << c.outcome;
        EXPECT_FALSE(rig.model.isUploading());
    }
}
