#include "DCLog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <unistd.h>

#include <sys/syscall.h>

#include <QDir>
#include <QFileInfo>

#include "LogFolder.h"

namespace {

// Where lines go. `primary` is standard error unless a command-line mode opened the file itself;
// `echo` is a duplicate of the terminal standard error pointed at before the redirection.
struct LogSink {
    std::mutex mutex;
    int primary = STDERR_FILENO;
    bool ownsPrimary = false;
    int echo = -1;

    void replacePrimary(int fd, bool owns) {
        if (ownsPrimary && primary >= 0) ::close(primary);
        primary = fd;
        ownsPrimary = owns;
    }
};

LogSink &sink() {
    static LogSink s;
    return s;
}

void writeAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

std::string programName() {
    static const std::string name = [] {
        char buf[256] = {};
        const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0) return std::string("korva-lectern");
        const char *slash = std::strrchr(buf, '/');
        return std::string(slash ? slash + 1 : buf);
    }();
    return name;
}

std::string prefix() {
    // The time zone is read once; localtime_r then never re-reads it, so logging stays cheap and
    // threads do not contend inside the C library.
    static std::once_flag timeZoneOnce;
    std::call_once(timeZoneOnce, [] { ::tzset(); });
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03ld ", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  now.tv_nsec / 1000000);
    char ids[64];
    std::snprintf(ids, sizeof ids, "[%d:%ld] ", static_cast<int>(::getpid()),
                  static_cast<long>(::syscall(SYS_gettid)));
    return stamp + programName() + ids;
}

const char *lastPathComponent(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

} // namespace

void DCLog::file(const char *file, const char *function, int lineNumber, const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(message.data(), message.size() + 1, format, args);
    va_end(args);

    std::string line = prefix();
    line += lastPathComponent(file ? file : "");
    line += ':';
    line += std::to_string(lineNumber);
    line += ' ';
    line += function ? function : "";
    line += "; ";
    line += message;
    // The line break is always added, so a message that ends in one leaves an empty line after it.
    line += '\n';

    LogSink &s = sink();
    std::lock_guard lock(s.mutex);
    writeAll(s.primary, line.data(), line.size());
    if (s.echo >= 0) writeAll(s.echo, line.data(), line.size());
}

void DCLog::redirectStandardStreams(const QString &logFolder) {
    const LogFolder::Outcome folder = LogFolder::ensure(logFolder, QStringLiteral("log folder"));
    {
        LogSink &s = sink();
        std::lock_guard lock(s.mutex);
        if (s.echo < 0 && ::isatty(STDERR_FILENO)) s.echo = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        // Without the folder, logging stays wherever standard error points.
        if (folder.isFolder) {
            const QByteArray path = QDir(logFolder).filePath(logFileName()).toLocal8Bit();
            std::fflush(stderr);
            std::fflush(stdout);
            if (std::freopen(path.constData(), "a+", stderr)) std::setvbuf(stderr, nullptr, _IONBF, 0);
            std::freopen(path.constData(), "a+", stdout);
            s.replacePrimary(STDERR_FILENO, false);
        }
    }
    if (!folder.note.isEmpty()) DCLog("%s", qUtf8Printable(folder.note));
}

bool DCLog::openLogFile(const QString &logFolder) {
    const LogFolder::Outcome folder = LogFolder::ensure(logFolder, QStringLiteral("log folder"));
    int fd = -1;
    if (folder.isFolder) {
        const QByteArray path = QDir(logFolder).filePath(logFileName()).toLocal8Bit();
        fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    }
    if (fd >= 0) {
        LogSink &s = sink();
        std::lock_guard lock(s.mutex);
        s.replacePrimary(fd, true);
        if (s.echo < 0 && ::isatty(STDERR_FILENO)) s.echo = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    }
    if (!folder.note.isEmpty()) DCLog("%s", qUtf8Printable(folder.note));
    return fd >= 0;
}

void DCLog::setLogFileForTesting(const QString &path) {
    LogSink &s = sink();
    std::lock_guard lock(s.mutex);
    if (path.isEmpty()) {
        s.replacePrimary(STDERR_FILENO, false);
        return;
    }
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) s.replacePrimary(fd, true);
}
