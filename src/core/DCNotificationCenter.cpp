#include "DCNotificationCenter.h"

#include <algorithm>
#include <atomic>
#include <thread>

struct DCNotificationCenter::Entry {
    DCNotificationCenter::Token token;
    DCNotificationCenter::Observer observer;
    std::atomic<bool> alive{true};
    std::atomic<int> inFlight{0}; // calls running now, on any thread
};

namespace {
// Entries whose observer this thread is running now (more than once when posts nest).
thread_local std::vector<const void *> tlsDelivering;
} // namespace

DCNotificationCenter &DCNotificationCenter::defaultCenter() {
    static DCNotificationCenter center;
    return center;
}

DCNotificationCenter::Token DCNotificationCenter::addObserver(const QString &name, Observer observer) {
    std::lock_guard lock(mutex_);
    const Token token = nextToken_++;
    auto entry = std::make_shared<Entry>();
    entry->token = token;
    entry->observer = std::move(observer);
    byName_[name].push_back(std::move(entry));
    names_.emplace(token, name);
    return token;
}

void DCNotificationCenter::removeObserver(Token token) {
    std::shared_ptr<Entry> removed;
    {
        std::lock_guard lock(mutex_);
        const auto nameIt = names_.find(token);
        if (nameIt == names_.end()) return;
        EntryList &list = byName_[nameIt->second];
        const auto it =
            std::find_if(list.begin(), list.end(), [&](const auto &e) { return e->token == token; });
        if (it != list.end()) {
            removed = *it;
            list.erase(it);
        }
        if (list.empty()) byName_.erase(nameIt->second);
        names_.erase(nameIt);
    }
    if (!removed) return;
    removed->alive = false;
    // Calls this very thread is making may stay; wait only for other threads' calls to end.
    const int own = static_cast<int>(std::count(tlsDelivering.begin(), tlsDelivering.end(), removed.get()));
    while (removed->inFlight.load() > own)
        std::this_thread::yield();
}

void DCNotificationCenter::collect(const QString &name, EntryList &out) const {
    std::lock_guard lock(mutex_);
    if (const auto it = byName_.find(name); it != byName_.end()) out = it->second;
    if (!name.isEmpty()) {
        if (const auto it = byName_.find(QString()); it != byName_.end())
            out.insert(out.end(), it->second.begin(), it->second.end());
    }
}

void DCNotificationCenter::postNotification(const DCNotification &notification) {
    EntryList entries;
    collect(notification.name, entries);
    for (const auto &entry : entries) {
        entry->inFlight.fetch_add(1);
        // Checked after announcing the call, so a remover either sees this call or we see its flag.
        if (entry->alive.load()) {
            tlsDelivering.push_back(entry.get());
            entry->observer(notification);
            tlsDelivering.pop_back();
        }
        entry->inFlight.fetch_sub(1);
    }
}

void DCNotificationCenter::postNotificationName(const QString &name, const QVariant &object,
                                                const QVariantMap &userInfo) {
    postNotification(DCNotification{name, object, userInfo});
}
