#include "support/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <sys/wait.h>

#include <QElapsedTimer>
#include <QProcessEnvironment>

namespace {

// NUL-terminated copies that live until the exec, and the pointer array over them.
struct CStrings {
    explicit CStrings(const QStringList &words) {
        for (const QString &word : words)
            storage.push_back(word.toStdString());
        for (std::string &word : storage)
            pointers.push_back(word.data());
        pointers.push_back(nullptr);
    }
    std::vector<std::string> storage;
    std::vector<char *> pointers;
};

} // namespace

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        reap(true);
    }
    closePipes();
}

QStringList ChildProcess::systemEnvironment() {
    return QProcessEnvironment::systemEnvironment().toStringList();
}

void ChildProcess::setVariable(QStringList &environment, const QString &name, const QString &value) {
    const QString prefix = name + QLatin1Char('=');
    environment.erase(std::remove_if(environment.begin(), environment.end(),
                                     [&](const QString &entry) { return entry.startsWith(prefix); }),
                      environment.end());
    if (!value.isNull()) environment << prefix + value;
}

bool ChildProcess::start(const QString &program, const QStringList &arguments,
                         const QStringList &environment) {
    if (pid_ > 0) return false;
    // Everything the child needs is made before the fork: after it, only exec-safe calls.
    CStrings argv(QStringList{program} + arguments);
    CStrings envp(environment);
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]), ::close(out[1]);
        return false;
    }
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execvpe(argv.pointers[0], argv.pointers.data(), envp.pointers.data());
        ::_exit(127);
    }
    ::close(devNull);
    ::close(out[1]);
    ::close(err[1]);
    if (pid < 0) {
        ::close(out[0]), ::close(err[0]);
        return false;
    }
    pid_ = pid;
    outFd_ = out[0];
    errFd_ = err[0];
    exitCode_ = -1;
    out_.clear();
    err_.clear();
    return true;
}

void ChildProcess::readAvailable(int timeoutMs) {
    pollfd fds[2];
    int count = 0;
    for (int fd : {outFd_, errFd_})
        if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
    if (count == 0) {
        reap(false);
        if (pid_ > 0) ::usleep(static_cast<useconds_t>(std::min(timeoutMs, 20)) * 1000);
        return;
    }
    if (::poll(fds, static_cast<nfds_t>(count), timeoutMs) <= 0) return;
    char buffer[16384];
    for (int i = 0; i < count; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        const bool isOut = fds[i].fd == outFd_;
        if (n > 0) {
            (isOut ? out_ : err_).append(buffer, n);
        } else {
            ::close(fds[i].fd);
            (isOut ? outFd_ : errFd_) = -1;
        }
    }
}

void ChildProcess::reap(bool wait) {
    if (pid_ <= 0) return;
    int status = 0;
    pid_t result;
    do
        result = ::waitpid(pid_, &status, wait ? 0 : WNOHANG);
    while (result < 0 && errno == EINTR);
    if (result != pid_) return;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
}

void ChildProcess::closePipes() {
    for (int *fd : {&outFd_, &errFd_})
        if (*fd >= 0) ::close(*fd), *fd = -1;
}

bool ChildProcess::readUntil(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = limit.count() - clock.elapsed();
        if (left <= 0 || (pid_ <= 0 && outFd_ < 0 && errFd_ < 0)) return done();
        readAvailable(static_cast<int>(std::min<qint64>(left, 50)));
        reap(false);
        if (pid_ <= 0) drain();
    }
    return true;
}

// The child has ended: what it wrote is in the pipes already. Its own children may still hold the
// pipes open, so they are not read to their end.
void ChildProcess::drain() {
    for (int round = 0; round < 1000 && (outFd_ >= 0 || errFd_ >= 0); ++round) {
        const qsizetype before = out_.size() + err_.size();
        readAvailable(0);
        if (out_.size() + err_.size() == before) break;
    }
    closePipes();
}

bool ChildProcess::waitForExit(std::chrono::milliseconds limit) {
    return readUntil([this] { return pid_ <= 0 && outFd_ < 0 && errFd_ < 0; }, limit);
}

void ChildProcess::signal(int signal) {
    reap(false); // a PID that was reaped may belong to somebody else by now
    if (pid_ > 0) ::kill(pid_, signal);
}

bool ChildProcess::running() {
    reap(false);
    return pid_ > 0;
}

ChildResult runChild(const QString &program, const QStringList &arguments, const QStringList &environment,
                     std::chrono::milliseconds limit) {
    ChildProcess child;
    if (!child.start(program, arguments, environment)) return {};
    if (!child.waitForExit(limit)) return {-1, child.out(), child.err() + "\n(killed: ran too long)"};
    return {child.exitCode(), child.out(), child.err()};
}
