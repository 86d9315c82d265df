#include "core/UserDefaults.h"

#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/DCVocabulary.h"
#include "core/FirstRunDefaults.h"
#include "core/LogFolder.h"
#include "support/TestSupport.h"

namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList asideCopies(const QTemporaryDir &dir) {
    return QDir(dir.path()).entryList({QStringLiteral("defaults.json.corrupt-*")}, QDir::Files);
}

} // namespace

TEST(UserDefaults, ValuesSurviveARestartIncludingAStoredNo) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/defaults.json"));
    {
        UserDefaults d(path);
        d.setBool(false, DCDefaults::SnapshotSoundEffectSwitch);
        d.setInteger(42, DCDefaults::CapturedNumber);
        d.setObject(QVariantMap{{QStringLiteral("Orb"), QVariantMap{{QStringLiteral("hue"), -5}}}},
                    DCDefaults::Devices);
        ASSERT_TRUE(d.synchronize());
    }
    UserDefaults again(path);
    EXPECT_TRUE(again.hasKey(DCDefaults::SnapshotSoundEffectSwitch));
    EXPECT_FALSE(again.boolForKey(DCDefaults::SnapshotSoundEffectSwitch));
    EXPECT_EQ(again.integerForKey(DCDefaults::CapturedNumber), 42);
    EXPECT_EQ(again.dictionaryForKey(DCDefaults::Devices)
                  .value(QStringLiteral("Orb"))
                  .toMap()
                  .value(QStringLiteral("hue"))
                  .toInt(),
              -5);
}

TEST(UserDefaults, CorruptOrTruncatedFileIsKeptAsideNeverOverwritten) {
    const QByteArray broken[] = {"{\"KeepCameraSetKey\": 1, \"DCDev", "not json at all", "[1, 2, 3]",
                                 QByteArray("\x00\xff\xfe", 3)};
    for (const QByteArray &bytes : broken) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("defaults.json"));
        writeFile(path, bytes);
        LogCapture log;
        UserDefaults d(path);
        EXPECT_TRUE(log.contains(QStringLiteral("unusable"))) << bytes.constData();
        EXPECT_EQ(d.integerForKey(DCDefaults::KeepCameraSet), 0);
        const QStringList aside = asideCopies(dir);
        ASSERT_EQ(aside.size(), 1);
        QFile kept(dir.filePath(aside.first()));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes);

        d.setInteger(1, DCDefaults::KeepCameraSet);
        EXPECT_TRUE(d.synchronize());
        EXPECT_EQ(UserDefaults(path).integerForKey(DCDefaults::KeepCameraSet), 1);
        EXPECT_EQ(asideCopies(dir).size(), 1);
    }
}

TEST(UserDefaults, AbsentKeysAndValuesOfTheWrongTypeReadSafely) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("defaults.json"));
    writeFile(path, R"({"DCCapturedNumber": "7", "FocusSoundEffectSwitchKey": "YES", "DCDevices": 3,
                        "DCPhotoLibraryLocationKey": {"a": 1}})");
    UserDefaults d(path);
    EXPECT_EQ(d.integerForKey(DCDefaults::CapturedNumber), 7);
    EXPECT_TRUE(d.boolForKey(DCDefaults::FocusSoundEffectSwitch));
    EXPECT_TRUE(d.dictionaryForKey(DCDefaults::Devices).isEmpty());
    EXPECT_TRUE(d.stringForKey(DCDefaults::PhotoLibraryLocation).isEmpty());
    const QString missing = QStringLiteral("missing");
    EXPECT_FALSE(d.hasKey(missing) || d.boolForKey(missing) || d.integerForKey(missing) != 0);
    EXPECT_TRUE(d.stringForKey(missing).isEmpty() && d.dictionaryForKey(missing).isEmpty());
}

TEST(UserDefaults, ConcurrentWritersAndSynchronizeLoseNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("defaults.json"));
    UserDefaults d(path);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&d, t] {
            for (int i = 0; i < 50; ++i) {
                d.setInteger(i, QStringLiteral("key-%1-%2").arg(t).arg(i));
                if (i % 10 == 0) d.synchronize();
            }
        });
    }
    for (auto &t : threads)
        t.join();
    ASSERT_TRUE(d.synchronize());
    UserDefaults again(path);
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 50; ++i)
            EXPECT_EQ(again.integerForKey(QStringLiteral("key-%1-%2").arg(t).arg(i)), i);
}

TEST(FirstRunDefaults, FirstStartFillsLibraryAndSoundSwitchesButKeepsStoredValues) {
    QTemporaryDir dir;
    UserDefaults fresh(dir.filePath(QStringLiteral("fresh.json")));
    FirstRunDefaults::setAppDefault(fresh);
    const QString library = fresh.stringForKey(DCDefaults::PhotoLibraryLocation);
    EXPECT_EQ(library, FirstRunDefaults::defaultPhotoLibraryPath());
    EXPECT_TRUE(library.endsWith(QStringLiteral("/Korva Lectern")) && !library.contains(QLatin1Char('~')));
    EXPECT_TRUE(QFileInfo(library).isDir());
    EXPECT_TRUE(fresh.boolForKey(DCDefaults::FocusSoundEffectSwitch));
    EXPECT_TRUE(fresh.boolForKey(DCDefaults::SnapshotSoundEffectSwitch));

    // A plain file at the stored library path gives way to a folder (see below); a stored NO stays.
    const QString photos = dir.filePath(QStringLiteral("Photos"));
    writeFile(photos, "in the way");
    UserDefaults d(dir.filePath(QStringLiteral("defaults.json")));
    d.setObject(photos, DCDefaults::PhotoLibraryLocation);
    d.setBool(false, DCDefaults::SnapshotSoundEffectSwitch);
    LogCapture log;
    FirstRunDefaults::setAppDefault(d);
    EXPECT_TRUE(QFileInfo(photos).isDir());
    EXPECT_TRUE(log.contains(QStringLiteral("The photo library folder %1 was not a folder").arg(photos)));
    EXPECT_FALSE(d.boolForKey(DCDefaults::SnapshotSoundEffectSwitch));
    EXPECT_TRUE(d.boolForKey(DCDefaults::FocusSoundEffectSwitch));
}

TEST(LogFolder, WhatStandsWhereAFolderBelongsIsMovedAsideNeverDeletedOrOverwritten) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Orb"));
    QStringList notes;
    for (const QByteArray &content : {QByteArray("first"), QByteArray("second")}) {
        writeFile(folder, content);
        const LogFolder::Outcome outcome = LogFolder::ensure(folder, QStringLiteral("log folder"));
        EXPECT_TRUE(outcome.isFolder && QFileInfo(folder).isDir());
        notes << outcome.note;
        QDir(folder).removeRecursively();
    }
    // Both files are kept, under two names, whatever the clock said.
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("Orb (moved aside *")}, QDir::Files);
    ASSERT_EQ(aside.size(), 2);
    QStringList kept;
    for (const QString &name : aside) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        kept << QString::fromUtf8(file.readAll());
        EXPECT_TRUE(notes.join(QLatin1Char('\n')).contains(dir.filePath(name)));
    }
    kept.sort();
    EXPECT_EQ(kept, QStringList({QStringLiteral("first"), QStringLiteral("second")}));

    // A link to a folder is a folder; a link that leads nowhere is moved aside, not followed.
    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(target));
    const QString linked = dir.filePath(QStringLiteral("linked"));
    ASSERT_TRUE(QFile::link(target, linked));
    EXPECT_EQ(LogFolder::ensure(linked, QStringLiteral("log folder")).note, QString());
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    const QString dangling = dir.filePath(QStringLiteral("dangling"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dangling));
    EXPECT_TRUE(LogFolder::ensure(dangling, QStringLiteral("log folder")).isFolder);
    EXPECT_FALSE(QFileInfo(dangling).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("gone"))));
}
