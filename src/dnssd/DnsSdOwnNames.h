#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include <QSet>
#include <QString>

// The service names this program announces, or is about to: a name counts from the moment it is asked
// for, since the program's own browsers may see its announcement before the publisher hears that it
// stands. Those browsers see the program's own announcement like anybody else's; this is how they tell
// it apart (a program must never offer its own stream back to itself as a network camera). A name is
// removed when it is withdrawn, or given up because another machine holds it: then what it hid
// meanwhile was that machine's.
//
// Thread-safe. Listeners are called on the thread that changes the set, outside the lock, and may not
// add or remove listeners from inside the call.
class DnsSdOwnNames {
public:
    enum class Change { Added, Withdrawn, GivenUp };
    using Listener = std::function<void(const QString &name, Change change)>;

    // The program's one set: what the stream announcer adds, the camera browser looks at.
    static std::shared_ptr<DnsSdOwnNames> shared();

    void add(const QString &name);
    // `why`: Withdrawn or GivenUp.
    void remove(const QString &name, Change why);
    bool contains(const QString &name) const;

    // Told of every name added or removed from now on. Answers a token for removeListener().
    int addListener(Listener listener);
    void removeListener(int token);

private:
    void tell(const QString &name, Change change);

    mutable std::mutex mutex_;
    QSet<QString> names_;
    std::map<int, Listener> listeners_;
    int nextToken_ = 1;
};
