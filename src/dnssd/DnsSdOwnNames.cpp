#include "DnsSdOwnNames.h"

#include <vector>

std::shared_ptr<DnsSdOwnNames> DnsSdOwnNames::shared() {
    static const auto names = std::make_shared<DnsSdOwnNames>();
    return names;
}

void DnsSdOwnNames::add(const QString &name) {
    {
        std::lock_guard lock(mutex_);
        if (names_.contains(name)) return;
        names_.insert(name);
    }
    tell(name, Change::Added);
}

void DnsSdOwnNames::remove(const QString &name, Change why) {
    {
        std::lock_guard lock(mutex_);
        if (!names_.remove(name)) return;
    }
    tell(name, why);
}

void DnsSdOwnNames::tell(const QString &name, Change change) {
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(mutex_);
        for (const auto &[token, listener] : listeners_)
            listeners.push_back(listener);
    }
    for (const Listener &listener : listeners)
        listener(name, change);
}

bool DnsSdOwnNames::contains(const QString &name) const {
    std::lock_guard lock(mutex_);
    return names_.contains(name);
}

int DnsSdOwnNames::addListener(Listener listener) {
    std::lock_guard lock(mutex_);
    const int token = nextToken_++;
    listeners_.emplace(token, std::move(listener));
    return token;
}

void DnsSdOwnNames::removeListener(int token) {
    std::lock_guard lock(mutex_);
    listeners_.erase(token);
}
