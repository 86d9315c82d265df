#include "photos/SnapshotNamer.h"

#include <QDir>
#include <QFileInfo>

#include "core/DCLog.h"
#include "core/DCVocabulary.h"
#include "core/UserDefaults.h"

SnapshotNamer::SnapshotNamer(UserDefaults &defaults, Clock clock)
    : defaults_(defaults), clock_(std::move(clock)), curday_(dayOfYear(clock_())) {}

void SnapshotNamer::setShouldUseCustPrefix(bool use) {
    std::lock_guard lock(mutex_);
    shouldUseCustPrefix_ = use;
}

void SnapshotNamer::setCustPrefix(const QString &prefix) {
    std::lock_guard lock(mutex_);
    custPrefix_ = prefix;
}

void SnapshotNamer::setBaseDir(const QString &folder) {
    std::lock_guard lock(mutex_);
    baseDir_ = folder;
}

QString SnapshotNamer::calculatePrefix() {
    std::lock_guard lock(mutex_);
    return calculatePrefixLocked();
}

QString SnapshotNamer::calculatePrefixLocked() {
    const QDateTime now = clock_();
    const int today = dayOfYear(now);
    if (curday_ != today) {
        curday_ = today;
        defaults_.setInteger(1, DCDefaults::CapturedNumber);
    }
    if (defaults_.integerForKey(DCDefaults::PrivousDate) != curday_ ||
        !defaults_.hasKey(DCDefaults::PrivousDate)) {
        defaults_.setInteger(curday_, DCDefaults::PrivousDate);
        defaults_.setInteger(1, DCDefaults::CapturedNumber);
    }
    if (shouldUseCustPrefix_) return sanitizedPrefix(custPrefix_) + QLatin1Char('_');
    const QDate date = now.date();
    return QStringLiteral("%1-%2-%3_")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QString SnapshotNamer::nextPath() {
    std::lock_guard lock(mutex_);
    const QString prefix = calculatePrefixLocked();
    const QString folder = expandedFolder(baseDir_);
    // A stored counter out of range (edited settings) starts again at 1.
    qint64 number = defaults_.integerForKey(DCDefaults::CapturedNumber);
    if (number < 1 || number > 999'999'999) number = 1;
    auto pathFor = [&](qint64 n) {
        return QStringLiteral("%1/%2%3.jpg").arg(folder, prefix).arg(n, 4, 10, QLatin1Char('0'));
    };
    QString path = pathFor(number);
    for (int tries = 0; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++tries) {
        if (tries >= kMaxNumberSearch) {
            DCLog("No free file name after %d tries in %s", tries, qUtf8Printable(folder));
            return {};
        }
        path = pathFor(++number);
    }
    defaults_.setInteger(number + 1, DCDefaults::CapturedNumber);
    return path;
}

QString SnapshotNamer::sanitizedPrefix(const QString &prefix) {
    QString safe;
    safe.reserve(prefix.size());
    for (const QChar c : prefix)
        safe.append(c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 ? QLatin1Char('_')
                                                                                          : c);
    safe.replace(QStringLiteral(".."), QStringLiteral("__"));
    return safe;
}

QString SnapshotNamer::expandedFolder(const QString &folder) {
    if (folder == QLatin1String("~")) return QDir::homePath();
    if (folder.startsWith(QLatin1String("~/"))) return QDir::homePath() + folder.mid(1);
    return folder;
}
