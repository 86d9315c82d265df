#pragma once

#include <mutex>

// The process-wide object of a kind, as the shared accessors (sharedController(), sharedHTTPServer(),
// ...) hand it out. The application core that owns the object installs it once made and uninstalls it
// before it goes; nothing here creates or destroys anything.
//
// Thread-safe. The object outlives every call made through the accessor: the core stops every thread
// that could still call (device thread, frame threads, server thread) before it uninstalls.
template <class T> class SharedInstance {
public:
    static T *get() {
        std::lock_guard lock(mutex_);
        return instance_;
    }
    static void install(T *object) {
        std::lock_guard lock(mutex_);
        instance_ = object;
    }
    // Only the installed object uninstalls itself; another is left in place.
    static void uninstall(T *object) {
        std::lock_guard lock(mutex_);
        if (instance_ == object) instance_ = nullptr;
    }

private:
    static inline std::mutex mutex_;
    static inline T *instance_ = nullptr;
};
