#include "evernote/EdamCallCanceller.h"

#include <sys/socket.h>

void EdamCallCanceller::cancelAll() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    for (int fd : sockets_)
        ::shutdown(fd, SHUT_RDWR);
}

bool EdamCallCanceller::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool EdamCallCanceller::add(int fd) {
    std::lock_guard lock(mutex_);
    if (cancelled_) {
        ::shutdown(fd, SHUT_RDWR);
        return false;
    }
    sockets_.insert(fd);
    return true;
}

void EdamCallCanceller::remove(int fd) {
    std::lock_guard lock(mutex_);
    sockets_.erase(fd);
}
