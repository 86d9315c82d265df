#include "capture/V4L2Device.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <sys/ioctl.h>
#include <sys/mman.h>

#include <QFile>

namespace {

// The video node itself, through the kernel.
class KernelV4L2Device : public V4L2Device {
public:
    ~KernelV4L2Device() override { close(); }

    int open(const QString &path) override {
        close();
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        return fd_ < 0 ? -errno : 0;
    }

    void close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    bool isOpen() const override { return fd_ >= 0; }

    int ioctl(unsigned long request, void *argument) override {
        for (;;) {
            if (::ioctl(fd_, request, argument) >= 0) return 0;
            if (errno != EINTR) return -errno;
        }
    }

    void *mmap(size_t length, int64_t offset) override {
        void *start = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, off_t(offset));
        return start == MAP_FAILED ? nullptr : start;
    }

    void munmap(void *start, size_t length) override { ::munmap(start, length); }

    int poll(std::chrono::milliseconds timeout, short *revents) override {
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(timeout.count()));
        if (ready < 0) return errno == EINTR ? 0 : -errno;
        *revents = p.revents;
        return ready;
    }

private:
    int fd_ = -1;
};

} // namespace

std::unique_ptr<V4L2Device> V4L2Device::create() {
    return std::make_unique<KernelV4L2Device>();
}
