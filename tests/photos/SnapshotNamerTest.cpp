#include "photos/SnapshotNamer.h"

#include <thread>
#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "PhotoTestSupport.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"
#include "photos/JpegCodec.h"

namespace {

class SnapshotNamerTest : public ::testing::Test {
protected:
    SnapshotNamerTest() : defaults_(home_.filePath(QStringLiteral("defaults.json"))) {}

    std::unique_ptr<SnapshotNamer> namer() {
        auto n = std::make_unique<SnapshotNamer>(defaults_, [this] { return now_; });
        n->setBaseDir(library_.path());
        return n;
    }
    QString fileName(const QString &path) const { return QFileInfo(path).fileName(); }
    void touch(const QString &name) { writeFileBytes(library_.filePath(name), "x"); }
    qint64 counter() const { return defaults_.integerForKey(DCDefaults::CapturedNumber); }

    QTemporaryDir home_;
    QTemporaryDir library_;
    UserDefaults defaults_;
    QDateTime now_{QDate(2013, 4, 9), QTime(10, 0)};
};

} // namespace

TEST_F(SnapshotNamerTest, NumberingStartsAgainAfterMidnightAlsoAcrossARestart) {
    auto n = namer();
    defaults_.setInteger(57, DCDefaults::CapturedNumber);
    defaults_.setInteger(now_.date().dayOfYear() - 1, DCDefaults::PrivousDate);
    EXPECT_EQ(fileName(n->nextPath()), QStringLiteral("2013-04-09_0057.jpg")); // same day: keeps counting

    now_ = QDateTime(QDate(2013, 4, 10), QTime(0, 0, 1));
    EXPECT_EQ(fileName(n->nextPath()), QStringLiteral("2013-04-10_0001.jpg"));
    EXPECT_EQ(fileName(n->nextPath()), QStringLiteral("2013-04-10_0002.jpg"));

    // The program was not running at midnight: the stored day tells.
    defaults_.setInteger(40, DCDefaults::CapturedNumber);
    now_ = QDateTime(QDate(2013, 4, 11), QTime(8, 0));
    EXPECT_EQ(fileName(namer()->nextPath()), QStringLiteral("2013-04-11_0001.jpg"));
}

TEST_F(SnapshotNamerTest, NumbersAboveFourDigitsKeepAllDigits) {
    auto n = namer();
    n->calculatePrefix();
    touch(QStringLiteral("2013-04-09_0001.jpg"));
    EXPECT_EQ(fileName(n->nextPath()), QStringLiteral("2013-04-09_0002.jpg"));
    EXPECT_EQ(fileName(n->nextPath()), QStringLiteral("2013-04-09_0003.jpg")); // reserved, not yet written
    defaults_.setInteger(12345, DCDefaults::CapturedNumber);
    EXPECT_EQ(fileName(n->nextPath()), QStringLiteral("2013-04-09_12345.jpg"));
    defaults_.setInteger(-3,
                         DCDefaults::CapturedNumber); // edited settings: back to 1, past the existing 0001
    EXPECT_EQ(fileName(n->nextPath()), QStringLiteral("2013-04-09_0002.jpg"));
}

TEST_F(SnapshotNamerTest, CustomPrefixNeverLeavesTheLibraryFolder) {
    auto n = namer();
    n->setShouldUseCustPrefix(true);
    for (const QString &prefix :
         {QStringLiteral("../../escape"), QStringLiteral(".."), QStringLiteral("a/b\\c"),
          QStringLiteral("/abs"), QStringLiteral("line\nbreak")}) {
        n->setCustPrefix(prefix);
        const QString path = n->nextPath();
        EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(library_.path()).absoluteFilePath())
            << qPrintable(prefix);
        EXPECT_FALSE(fileName(path).contains(QLatin1String(".."))) << qPrintable(path);
    }
    n->setCustPrefix(QStringLiteral(".."));
    EXPECT_TRUE(fileName(n->nextPath()).startsWith(QLatin1String("___")));
}

TEST_F(SnapshotNamerTest, TildeMeansTheHomeFolder) {
    EXPECT_EQ(SnapshotNamer::expandedFolder(QStringLiteral("~/Pictures/Korva Lectern")),
              QDir::homePath() + QStringLiteral("/Pictures/Korva Lectern"));
    EXPECT_EQ(SnapshotNamer::expandedFolder(QStringLiteral("/srv/~x")), QStringLiteral("/srv/~x"));
}

TEST_F(SnapshotNamerTest, SimultaneousSnapshotsGetDistinctCompleteFiles) {
    auto n = namer();
    constexpr int kThreads = 6;
    std::vector<QString> paths(kThreads);
    std::vector<int> written(kThreads); // not vector<bool>: its bits share words
    const I420Picture picture(testPattern(160, 120));
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            paths[static_cast<size_t>(i)] = n->nextPath();
            written[static_cast<size_t>(i)] = PhotoWriter::writePhoto(
                picture.picture(), {QStringLiteral("Orb"), now_}, paths[static_cast<size_t>(i)]);
        });
    }
    for (auto &t : threads)
        t.join();
    QSet<QString> distinct(paths.begin(), paths.end());
    EXPECT_EQ(distinct.size(), kThreads);
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_TRUE(written[static_cast<size_t>(i)]);
        EXPECT_EQ(JpegCodec::decode(readFileBytes(paths[static_cast<size_t>(i)])).size(), QSize(160, 120));
    }
    EXPECT_EQ(counter(), kThreads + 1);
}
