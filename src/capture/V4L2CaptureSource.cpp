#include "capture/V4L2CaptureSource.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/mman.h>

#include <QDir>
#include <QFile>

#include <libyuv/convert.h>

#include "capture/Frame.h"
#include "capture/I420Image.h"
#include "capture/JpegDecoder.h"
#include "capture/MjpegFrameCheck.h"
#include "capture/PixelBufferPool.h"
#include "core/DCLog.h"
#include "devices/UsbSysfs.h"

namespace {
constexpr int kPollMilliseconds = 100;
// Bounds on what a device may report, so a confused driver cannot make us loop or allocate wildly.
constexpr int kMaxEnumerated = 256;
constexpr int kMaxSide = 16384;
} // namespace

QString V4L2CaptureSource::identifierOfNode(const QString &nodeName, const QString &sysfsRoot) {
    const auto paths = UsbSysfs::pathsForNode(sysfsRoot, nodeName);
    if (!paths) return {};
    // Only the node that carries the picture (index 0); the metadata node of the same camera has 1.
    QFile index(sysfsRoot + QStringLiteral("/class/video4linux/") + nodeName + QStringLiteral("/index"));
    if (index.open(QIODevice::ReadOnly) && index.read(16).trimmed() != "0") return {};
    const auto properties = UsbSysfs::readProperties(paths->deviceDir);
    if (!properties) return {};
    return QString::asprintf("0x%lx%04lx%04lx", static_cast<unsigned long>(properties->locationID),
                             static_cast<unsigned long>(properties->idVendor),
                             static_cast<unsigned long>(properties->idProduct));
}

QString V4L2CaptureSource::findNode(const QString &identifier, const QString &devRoot,
                                    const QString &sysfsRoot) {
    if (identifier.isEmpty()) return {};
    const QStringList nodes = QDir(devRoot).entryList({QStringLiteral("video*")}, QDir::System | QDir::Files);
    for (const QString &node : nodes)
        if (identifierOfNode(node, sysfsRoot) == identifier) return devRoot + QLatin1Char('/') + node;
    return {};
}

std::optional<V4L2CaptureSource::FormatChoice>
V4L2CaptureSource::chooseFormat(const QList<QSize> &mjpegSizes, const QList<QSize> &yuyvSizes, QSize wanted) {
    const bool mjpeg = !mjpegSizes.isEmpty();
    const QList<QSize> &sizes = mjpeg ? mjpegSizes : yuyvSizes;
    if (sizes.isEmpty()) return std::nullopt;
    auto distance = [wanted](QSize s) {
        const double area =
            std::abs(std::log(double(s.width()) * s.height() / (double(wanted.width()) * wanted.height())));
        const double shape =
            std::abs(double(s.width()) / s.height() - double(wanted.width()) / wanted.height());
        return area + 0.01 * shape;
    };
    QSize best = sizes.front();
    for (const QSize &s : sizes) {
        if (s == wanted) {
            best = s;
            break;
        }
        if (!s.isEmpty() && distance(s) < distance(best)) best = s;
    }
    return FormatChoice{mjpeg ? uint32_t(V4L2_PIX_FMT_MJPEG) : uint32_t(V4L2_PIX_FMT_YUYV), best};
}

V4L2CaptureSource::V4L2CaptureSource(QString nodePath)
    : nodePath_(std::move(nodePath)), pool_(PixelBufferPool::create(kBufferCount)) {}

V4L2CaptureSource::~V4L2CaptureSource() {
    close();
}

int V4L2CaptureSource::xioctl(unsigned long request, void *arg) const {
    int result;
    do {
        result = ::ioctl(fd_, request, arg);
    } while (result < 0 && errno == EINTR);
    return result;
}

bool V4L2CaptureSource::open() {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) return true;
    fd_ = ::open(QFile::encodeName(nodePath_).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error_ =
            QStringLiteral("%1 cannot be opened: %2").arg(nodePath_, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    v4l2_capability caps{};
    const uint32_t needed = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    if (xioctl(VIDIOC_QUERYCAP, &caps) < 0 ||
        ((caps.capabilities & V4L2_CAP_DEVICE_CAPS ? caps.device_caps : caps.capabilities) & needed) !=
            needed) {
        error_ = QStringLiteral("%1 is not a streaming capture device").arg(nodePath_);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

void V4L2CaptureSource::close() {
    stop();
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

QString V4L2CaptureSource::errorDescription() const {
    std::lock_guard lock(mutex_);
    return error_;
}

QString V4L2CaptureSource::recoverySuggestion() const {
    return QStringLiteral("Check that no other program uses the camera, or connect it again.");
}

QList<QSize> V4L2CaptureSource::frameSizes(uint32_t fourcc) const {
    QList<QSize> sizes;
    for (int i = 0; i < kMaxEnumerated; ++i) {
        v4l2_frmsizeenum e{};
        e.index = uint32_t(i);
        e.pixel_format = fourcc;
        if (xioctl(VIDIOC_ENUM_FRAMESIZES, &e) < 0) break;
        if (e.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            if (e.discrete.width > 0 && e.discrete.height > 0 && e.discrete.width <= kMaxSide &&
                e.discrete.height <= kMaxSide)
                sizes << QSize(int(e.discrete.width), int(e.discrete.height));
        } else {
            // Stepwise or continuous: the largest size stands for the range.
            if (e.stepwise.max_width <= kMaxSide && e.stepwise.max_height <= kMaxSide)
                sizes << QSize(int(e.stepwise.max_width), int(e.stepwise.max_height));
            break;
        }
    }
    return sizes;
}

bool V4L2CaptureSource::negotiate(QSize wanted) {
    bool hasMjpeg = false, hasYuyv = false;
    for (int i = 0; i < kMaxEnumerated; ++i) {
        v4l2_fmtdesc d{};
        d.index = uint32_t(i);
        d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(VIDIOC_ENUM_FMT, &d) < 0) break;
        hasMjpeg |= d.pixelformat == V4L2_PIX_FMT_MJPEG;
        hasYuyv |= d.pixelformat == V4L2_PIX_FMT_YUYV;
    }
    const auto choice = chooseFormat(hasMjpeg ? frameSizes(V4L2_PIX_FMT_MJPEG) : QList<QSize>{},
                                     hasYuyv ? frameSizes(V4L2_PIX_FMT_YUYV) : QList<QSize>{}, wanted);
    if (!choice) {
        DCLog("%s offers neither MJPEG nor YUYV", qUtf8Printable(nodePath_));
        return false;
    }
    if (choice->size != wanted)
        DCLog("%s has no %dx%d; using %dx%d", qUtf8Printable(nodePath_), wanted.width(), wanted.height(),
              choice->size.width(), choice->size.height());
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    f.fmt.pix.width = uint32_t(choice->size.width());
    f.fmt.pix.height = uint32_t(choice->size.height());
    f.fmt.pix.pixelformat = choice->fourcc;
    f.fmt.pix.field = V4L2_FIELD_NONE;
    if (xioctl(VIDIOC_S_FMT, &f) < 0) {
        DCLog("%s: VIDIOC_S_FMT failed: %s", qUtf8Printable(nodePath_), strerror(errno));
        return false;
    }
    const QSize set(int(f.fmt.pix.width), int(f.fmt.pix.height));
    if (f.fmt.pix.pixelformat != choice->fourcc || set.isEmpty() || set.width() > kMaxSide ||
        set.height() > kMaxSide) {
        DCLog("%s: the driver changed the format to something unusable", qUtf8Printable(nodePath_));
        return false;
    }
    format_ = {choice->fourcc, set};
    return true;
}

bool V4L2CaptureSource::mapBuffers() {
    v4l2_requestbuffers req{};
    req.count = kBufferCount;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (xioctl(VIDIOC_REQBUFS, &req) < 0 || req.count == 0) {
        DCLog("%s: VIDIOC_REQBUFS failed: %s", qUtf8Printable(nodePath_), strerror(errno));
        return false;
    }
    for (uint32_t i = 0; i < req.count && i < kBufferCount; ++i) {
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        b.index = i;
        if (xioctl(VIDIOC_QUERYBUF, &b) < 0) return false;
        void *start = ::mmap(nullptr, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, b.m.offset);
        if (start == MAP_FAILED) return false;
        buffers_.push_back({start, b.length});
        if (xioctl(VIDIOC_QBUF, &b) < 0) return false;
    }
    return true;
}

void V4L2CaptureSource::unmapBuffers() {
    for (const Mapping &m : buffers_)
        ::munmap(m.start, m.length);
    buffers_.clear();
    if (fd_ >= 0) {
        v4l2_requestbuffers req{};
        req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        req.memory = V4L2_MEMORY_MMAP;
        xioctl(VIDIOC_REQBUFS, &req);
    }
}

bool V4L2CaptureSource::start(QSize size, FrameCallback callback) {
    stop();
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || size.isEmpty()) return false;
    if (!negotiate(size) || !mapBuffers()) {
        unmapBuffers();
        return false;
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(VIDIOC_STREAMON, &type) < 0) {
        DCLog("%s: VIDIOC_STREAMON failed: %s", qUtf8Printable(nodePath_), strerror(errno));
        unmapBuffers();
        return false;
    }
    callback_ = std::move(callback);
    stopRequested_ = false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void V4L2CaptureSource::stop() {
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        if (!running_) return;
        running_ = false;
        stopRequested_ = true;
        thread = std::move(thread_);
    }
    if (thread.joinable()) thread.join();
    std::lock_guard lock(mutex_);
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    xioctl(VIDIOC_STREAMOFF, &type);
    unmapBuffers();
}

bool V4L2CaptureSource::setResolution(QSize size) {
    FrameCallback callback;
    {
        std::lock_guard lock(mutex_);
        if (!running_) return true;
        callback = callback_;
    }
    // The format cannot change while buffers are queued: stop, renegotiate, stream again.
    return start(size, std::move(callback));
}

bool V4L2CaptureSource::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

size_t V4L2CaptureSource::bufferAllocations() const {
    return pool_->allocations();
}

void V4L2CaptureSource::run() {
    JpegDecoder checker;
    while (!stopRequested_) {
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMilliseconds);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            DCLog("%s: device gone; stream ended", qUtf8Printable(nodePath_));
            return;
        }
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        if (xioctl(VIDIOC_DQBUF, &b) < 0) {
            if (errno == EAGAIN) continue;
            DCLog("%s: %s; stream ended", qUtf8Printable(nodePath_),
                  errno == ENODEV ? "device gone" : strerror(errno));
            return;
        }
        if (b.index < buffers_.size() && !(b.flags & V4L2_BUF_FLAG_ERROR)) {
            const Mapping &m = buffers_[b.index];
            const size_t used = std::min<size_t>(b.bytesused, m.length);
            if (format_.fourcc == V4L2_PIX_FMT_MJPEG) {
                QString why;
                const std::span<const uint8_t> bytes(static_cast<const uint8_t *>(m.start), used);
                if (checkMjpegFrame(checker, bytes, format_.size, &why))
                    deliver(bytes.data(), mjpegFrameLength(bytes));
                else
                    DCLog("frame dropped (%llu so far): %s",
                          static_cast<unsigned long long>(dropped_.fetch_add(1) + 1), qUtf8Printable(why));
            } else {
                deliver(static_cast<const uint8_t *>(m.start), used);
            }
        } else {
            DCLog("frame dropped: buffer flagged bad by the driver");
        }
        if (xioctl(VIDIOC_QBUF, &b) < 0 && errno == ENODEV) {
            DCLog("%s: device gone; stream ended", qUtf8Printable(nodePath_));
            return;
        }
    }
}

void V4L2CaptureSource::deliver(const uint8_t *data, size_t bytes) {
    const QSize size = format_.size;
    if (format_.fourcc == V4L2_PIX_FMT_MJPEG) {
        std::shared_ptr<uint8_t[]> buffer = pool_->acquire(mjpegBufferSize(bytes, highWater_));
        std::memcpy(buffer.get(), data, bytes);
        callback_(Frame::fromJpeg(std::span<const uint8_t>(buffer.get(), bytes), size,
                                  std::shared_ptr<const void>(buffer, buffer.get())));
        return;
    }
    const size_t needed = size_t(size.width()) * size.height() * 2;
    if (bytes < needed) {
        DCLog("frame dropped: %zu bytes of YUYV, %zu expected", bytes, needed);
        return;
    }
    auto image = I420Image::create(size, pool_.get());
    if (!image) return;
    libyuv::YUY2ToI420(data, size.width() * 2, image->y(), image->strideY(), image->u(), image->strideU(),
                       image->v(), image->strideV(), size.width(), size.height());
    callback_(Frame::fromPlanes(std::move(image)));
}
