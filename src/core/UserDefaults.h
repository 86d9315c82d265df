#pragma once

#include <mutex>

#include <QString>
#include <QVariant>
#include <QVariantMap>

// The per-user key-value store: one JSON document, loaded once, kept in memory, written atomically
// by synchronize(). Thread-safe. A key that is absent reads as NO, 0 or an empty value.
//
// A file that cannot be parsed is never overwritten: it is renamed aside (with a log line) and the
// store starts empty. If it can be neither read nor renamed, the store refuses to write over it.
class UserDefaults {
public:
    explicit UserDefaults(QString filePath);
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    // The process-wide store under the XDG config folder ($XDG_CONFIG_HOME/korva-lectern/defaults.json).
    static UserDefaults &standardUserDefaults();
    static QString defaultFilePath();

    QVariant objectForKey(const QString &key) const;
    bool hasKey(const QString &key) const;
    bool boolForKey(const QString &key) const;
    qint64 integerForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    QString stringForKey(const QString &key) const;
    QVariantMap dictionaryForKey(const QString &key) const;

    void setObject(const QVariant &object, const QString &forKey);
    void setBool(bool value, const QString &forKey) { setObject(value, forKey); }
    void setInteger(qint64 value, const QString &forKey) { setObject(value, forKey); }
    void removeObjectForKey(const QString &key);

    // Writes the whole store to its file (temporary file, then rename). False, with a log line, on
    // failure; the in-memory values are kept either way.
    bool synchronize();

    QString filePath() const { return filePath_; }

private:
    void load();

    const QString filePath_;
    mutable std::mutex mutex_;
    QVariantMap values_;
    bool writable_ = true;
};
