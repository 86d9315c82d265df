#include "UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include "DCLog.h"

namespace {
// A defaults file is a few kilobytes; anything far larger is not ours.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
} // namespace

UserDefaults::UserDefaults(QString filePath) : filePath_(std::move(filePath)) {
    load();
}

UserDefaults &UserDefaults::standardUserDefaults() {
    static UserDefaults defaults(defaultFilePath());
    return defaults;
}

QString UserDefaults::defaultFilePath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("korva-lectern/defaults.json"));
}

void UserDefaults::load() {
    QFile file(filePath_);
    if (!file.exists()) return;

    QString problem;
    QByteArray bytes;
    if (file.size() > kMaxFileSize) {
        problem = QStringLiteral("file is %1 bytes").arg(file.size());
    } else if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        bytes = file.readAll();
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
        if (error.error == QJsonParseError::NoError && doc.isObject()) {
            values_ = doc.object().toVariantMap();
            return;
        }
        problem = error.error == QJsonParseError::NoError ? QStringLiteral("not a JSON object")
                                                          : error.errorString();
    }
    file.close();

    const QString aside = filePath_ + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (QFile::rename(filePath_, aside)) {
        DCLog("user defaults %s unusable (%s): kept as %s, starting with defaults", qUtf8Printable(filePath_),
              qUtf8Printable(problem), qUtf8Printable(aside));
    } else {
        writable_ = false;
        DCLog("user defaults %s unusable (%s) and cannot be moved aside: settings will not be saved",
              qUtf8Printable(filePath_), qUtf8Printable(problem));
    }
}

QVariant UserDefaults::objectForKey(const QString &key) const {
    std::lock_guard lock(mutex_);
    return values_.value(key);
}

bool UserDefaults::hasKey(const QString &key) const {
    std::lock_guard lock(mutex_);
    return values_.contains(key);
}

bool UserDefaults::boolForKey(const QString &key) const {
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == QLatin1String("yes") || s == QLatin1String("true") || s.toLongLong() != 0;
    }
    return v.toBool();
}

qint64 UserDefaults::integerForKey(const QString &key) const {
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::Double) return static_cast<qint64>(v.toDouble());
    if (v.typeId() == QMetaType::QString) return static_cast<qint64>(v.toString().trimmed().toDouble());
    return v.toLongLong();
}

double UserDefaults::doubleForKey(const QString &key) const {
    return objectForKey(key).toDouble();
}

QString UserDefaults::stringForKey(const QString &key) const {
    const QVariant v = objectForKey(key);
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return v.toString();
    default:
        return {};
    }
}

QVariantMap UserDefaults::dictionaryForKey(const QString &key) const {
    return objectForKey(key).toMap();
}

void UserDefaults::setObject(const QVariant &object, const QString &forKey) {
    std::lock_guard lock(mutex_);
    if (object.isValid())
        values_.insert(forKey, object);
    else
        values_.remove(forKey);
}

void UserDefaults::removeObjectForKey(const QString &key) {
    std::lock_guard lock(mutex_);
    values_.remove(key);
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    if (!writable_) {
        DCLog("user defaults not saved: %s is kept as it was", qUtf8Printable(filePath_));
        return false;
    }
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) {
        DCLog("user defaults not saved to %s: %s", qUtf8Printable(filePath_),
              qUtf8Printable(file.errorString()));
        return false;
    }
    file.write(QJsonDocument(QJsonObject::fromVariantMap(values_)).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        DCLog("user defaults not saved to %s: %s", qUtf8Printable(filePath_),
              qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}
