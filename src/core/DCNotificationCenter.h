#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <QString>
#include <QVariant>
#include <QVariantMap>

// A notification: a name, an optional sender object and an optional user-info dictionary.
struct DCNotification {
    QString name;
    QVariant object;
    QVariantMap userInfo;
};

// The process-wide notification centre. A post calls every matching observer synchronously on the
// posting thread before it returns. Thread-safe: observers may be added or removed from any thread,
// also from inside an observer while a post runs. removeObserver() returns only when no other thread
// is still inside that observer, so an owner may be destroyed right after removing its observers.
class DCNotificationCenter {
public:
    using Observer = std::function<void(const DCNotification &)>;
    using Token = quint64;

    DCNotificationCenter() = default;
    DCNotificationCenter(const DCNotificationCenter &) = delete;
    DCNotificationCenter &operator=(const DCNotificationCenter &) = delete;

    static DCNotificationCenter &defaultCenter();

    // An empty name observes every notification. The token removes the observer again.
    Token addObserver(const QString &name, Observer observer);
    void removeObserver(Token token);

    void postNotification(const DCNotification &notification);
    void postNotificationName(const QString &name, const QVariant &object = {},
                              const QVariantMap &userInfo = {});

private:
    struct Entry;
    using EntryList = std::vector<std::shared_ptr<Entry>>;

    void collect(const QString &name, EntryList &out) const;

    mutable std::mutex mutex_;
    std::unordered_map<QString, EntryList> byName_;
    std::unordered_map<Token, QString> names_;
    Token nextToken_ = 1;
};

// Removes its observers when it goes: a member of any class that observes.
class DCObserverSet {
public:
    explicit DCObserverSet(DCNotificationCenter &center = DCNotificationCenter::defaultCenter())
        : center_(center) {}
    ~DCObserverSet() { clear(); }
    DCObserverSet(const DCObserverSet &) = delete;
    DCObserverSet &operator=(const DCObserverSet &) = delete;

    void add(const QString &name, DCNotificationCenter::Observer observer) {
        tokens_.push_back(center_.addObserver(name, std::move(observer)));
    }
    void clear() {
        for (const auto token : tokens_)
            center_.removeObserver(token);
        tokens_.clear();
    }

private:
    DCNotificationCenter &center_;
    std::vector<DCNotificationCenter::Token> tokens_;
};
