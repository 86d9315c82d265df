#include "capture/V4L2CaptureSource.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <poll.h>

#include <linux/videodev2.h>

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
// How long the delivery thread waits for a buffer before it looks at a stop request again.
constexpr std::chrono::milliseconds kPollTimeout{100};
// Bounds on what a device may report, so a confused driver cannot make us loop or allocate wildly.
constexpr int kMaxEnumerated = 256;
constexpr int kMaxSide = 16384;

const char *errorText(int error) {
    return strerror(-error);
}

v4l2_buffer mmapBuffer(uint32_t index = 0) {
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = index;
    return b;
}
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

V4L2CaptureSource::V4L2CaptureSource(QString nodePath, std::unique_ptr<V4L2Device> device)
    : ThreadedCaptureSource(
          kBufferCount, QStringLiteral("Check that no other program uses the camera, or connect it again.")),
      nodePath_(std::move(nodePath)), device_(std::move(device)) {}

V4L2CaptureSource::~V4L2CaptureSource() {
    close();
}

bool V4L2CaptureSource::open() {
    std::lock_guard lock(mutex_);
    return device_->isOpen() || openNode();
}

bool V4L2CaptureSource::openNode() {
    if (const int rc = device_->open(nodePath_); rc < 0) {
        error_ =
            QStringLiteral("%1 cannot be opened: %2").arg(nodePath_, QString::fromLocal8Bit(errorText(rc)));
        return false;
    }
    v4l2_capability caps{};
    const uint32_t needed = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    if (device_->ioctl(VIDIOC_QUERYCAP, &caps) < 0 ||
        ((caps.capabilities & V4L2_CAP_DEVICE_CAPS ? caps.device_caps : caps.capabilities) & needed) !=
            needed) {
        error_ = QStringLiteral("%1 is not a streaming capture device").arg(nodePath_);
        device_->close();
        return false;
    }
    streamEnded_ = false;
    return true;
}

void V4L2CaptureSource::close() {
    stop();
    std::lock_guard lock(mutex_);
    device_->close();
    streamEnded_ = false;
}

QList<QSize> V4L2CaptureSource::frameSizes(uint32_t fourcc) {
    QList<QSize> sizes;
    for (int i = 0; i < kMaxEnumerated; ++i) {
        v4l2_frmsizeenum e{};
        e.index = uint32_t(i);
        e.pixel_format = fourcc;
        if (device_->ioctl(VIDIOC_ENUM_FRAMESIZES, &e) < 0) break;
        if (e.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            if (e.discrete.width > 0 && e.discrete.height > 0 && e.discrete.width <= kMaxSide &&
                e.discrete.height <= kMaxSide)
                sizes << QSize(int(e.discrete.width), int(e.discrete.height));
        } else {
            // Stepwise or continuous: the largest size stands for the range.
            if (e.stepwise.max_width > 0 && e.stepwise.max_height > 0 && e.stepwise.max_width <= kMaxSide &&
                e.stepwise.max_height <= kMaxSide)
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
        if (device_->ioctl(VIDIOC_ENUM_FMT, &d) < 0) break;
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
    if (const int rc = device_->ioctl(VIDIOC_S_FMT, &f); rc < 0) {
        DCLog("%s: VIDIOC_S_FMT failed: %s", qUtf8Printable(nodePath_), errorText(rc));
        return false;
    }
    if (f.fmt.pix.pixelformat != choice->fourcc || f.fmt.pix.width == 0 || f.fmt.pix.height == 0 ||
        f.fmt.pix.width > kMaxSide || f.fmt.pix.height > kMaxSide) {
        DCLog("%s: the driver changed the format to something unusable", qUtf8Printable(nodePath_));
        return false;
    }
    const QSize set(int(f.fmt.pix.width), int(f.fmt.pix.height));
    // Drivers may pad YUYV rows; a line shorter than the pixels it holds would be a driver fault.
    format_ = {choice->fourcc, set, std::max(f.fmt.pix.bytesperline, f.fmt.pix.width * 2)};
    return true;
}

bool V4L2CaptureSource::mapBuffers() {
    v4l2_requestbuffers req{};
    req.count = kBufferCount;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (const int rc = device_->ioctl(VIDIOC_REQBUFS, &req); rc < 0 || req.count == 0) {
        DCLog("%s: VIDIOC_REQBUFS failed: %s", qUtf8Printable(nodePath_),
              rc < 0 ? errorText(rc) : "no buffers granted");
        return false;
    }
    // A driver may grant more than asked for; the stream circulates only its own small set.
    for (uint32_t i = 0; i < std::min(req.count, kBufferCount); ++i) {
        v4l2_buffer b = mmapBuffer(i);
        if (const int rc = device_->ioctl(VIDIOC_QUERYBUF, &b); rc < 0 || b.length == 0) {
            DCLog("%s: VIDIOC_QUERYBUF %u failed: %s", qUtf8Printable(nodePath_), i,
                  rc < 0 ? errorText(rc) : "empty buffer");
            return false;
        }
        void *start = device_->mmap(b.length, b.m.offset);
        if (!start) {
            DCLog("%s: buffer %u cannot be mapped", qUtf8Printable(nodePath_), i);
            return false;
        }
        buffers_.push_back({start, b.length});
    }
    return true;
}

bool V4L2CaptureSource::queueBuffers() {
    for (uint32_t i = 0; i < buffers_.size(); ++i) {
        v4l2_buffer b = mmapBuffer(i);
        if (const int rc = device_->ioctl(VIDIOC_QBUF, &b); rc < 0) {
            DCLog("%s: VIDIOC_QBUF %u failed: %s", qUtf8Printable(nodePath_), i, errorText(rc));
            return false;
        }
    }
    return true;
}

void V4L2CaptureSource::unmapBuffers() {
    for (const Mapping &m : buffers_)
        device_->munmap(m.start, m.length);
    buffers_.clear();
    if (device_->isOpen()) {
        // Frees the driver's buffers, so the next start may choose another format.
        v4l2_requestbuffers req{};
        req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        req.memory = V4L2_MEMORY_MMAP;
        device_->ioctl(VIDIOC_REQBUFS, &req);
    }
}

bool V4L2CaptureSource::start(QSize size, FrameCallback callback) {
    stop();
    std::lock_guard lock(mutex_);
    if (size.isEmpty()) return false;
    if (streamEnded_) {
        // The old descriptor may belong to a device that is gone; a camera that came back under the
        // same node needs a new one. Until that works, every start tries again.
        DCLog("%s: opening the node again after the stream ended", qUtf8Printable(nodePath_));
        if (!openNode()) return false;
    } else if (!device_->isOpen()) {
        return false;
    }
    if (!negotiate(size) || !mapBuffers() || !queueBuffers()) {
        unmapBuffers();
        return false;
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (const int rc = device_->ioctl(VIDIOC_STREAMON, &type); rc < 0) {
        DCLog("%s: VIDIOC_STREAMON failed: %s", qUtf8Printable(nodePath_), errorText(rc));
        unmapBuffers();
        return false;
    }
    startDelivery(std::move(callback), [this] { run(); });
    return true;
}

void V4L2CaptureSource::stop() {
    if (!stopDelivery()) return;
    std::lock_guard lock(mutex_);
    // STREAMOFF also takes back every buffer still queued, so none is mapped when it is unmapped.
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    device_->ioctl(VIDIOC_STREAMOFF, &type);
    unmapBuffers();
}

bool V4L2CaptureSource::setResolution(QSize size) {
    std::optional<FrameCallback> callback = runningCallback();
    if (!callback) return true;
    // The format cannot change while buffers are queued: stop, renegotiate, stream again.
    return start(size, std::move(*callback));
}

// ---- delivery thread

void V4L2CaptureSource::run() {
    JpegDecoder checker;
    while (!stopRequested()) {
        short revents = 0;
        const int ready = device_->poll(kPollTimeout, &revents);
        if (ready < 0) return endStream(ready);
        if (ready == 0) continue;
        // The driver reports a vanished or failed device as an error condition on the node.
        if (revents & (POLLERR | POLLHUP | POLLNVAL)) return endStream(-ENODEV);
        v4l2_buffer b = mmapBuffer();
        const int rc = device_->ioctl(VIDIOC_DQBUF, &b);
        // Woken without a filled buffer: wait for the next one (poll blocks, so this does not spin).
        if (rc == -EAGAIN) continue;
        if (rc < 0) return endStream(rc);
        handleBuffer(b, checker);
        if (const int requeued = device_->ioctl(VIDIOC_QBUF, &b); requeued < 0) return endStream(requeued);
    }
}

void V4L2CaptureSource::handleBuffer(const v4l2_buffer &b, JpegDecoder &checker) {
    if (b.index >= buffers_.size() || (b.flags & V4L2_BUF_FLAG_ERROR)) {
        dropFrame(QStringLiteral("buffer %1 flagged bad by the driver").arg(b.index));
        return;
    }
    const Mapping &m = buffers_[b.index];
    const std::span<const uint8_t> bytes(static_cast<const uint8_t *>(m.start),
                                         std::min<size_t>(b.bytesused, m.length));
    if (format_.fourcc == V4L2_PIX_FMT_MJPEG)
        deliverMjpeg(bytes, checker);
    else
        deliverYuyv(bytes);
}

void V4L2CaptureSource::deliverMjpeg(std::span<const uint8_t> bytes, JpegDecoder &checker) {
    QString why;
    if (!checkMjpegFrame(checker, bytes, format_.size, &why)) {
        dropFrame(why);
        return;
    }
    // The driver's buffer goes back to it at once: the frame keeps a pooled copy.
    const size_t length = mjpegFrameLength(bytes);
    std::shared_ptr<uint8_t[]> buffer = pool().acquire(mjpegBufferSize(length, highWater_));
    std::memcpy(buffer.get(), bytes.data(), length);
    deliver(Frame::fromJpeg(std::span<const uint8_t>(buffer.get(), length), format_.size,
                            std::shared_ptr<const void>(buffer, buffer.get())));
}

void V4L2CaptureSource::deliverYuyv(std::span<const uint8_t> bytes) {
    const QSize size = format_.size;
    const size_t needed = size_t(format_.bytesPerLine) * (size.height() - 1) + size_t(size.width()) * 2;
    if (bytes.size() < needed) {
        dropFrame(QStringLiteral("%1 bytes of YUYV, %2 expected").arg(bytes.size()).arg(needed));
        return;
    }
    auto image = I420Image::create(size, &pool());
    if (!image) return;
    libyuv::YUY2ToI420(bytes.data(), int(format_.bytesPerLine), image->y(), image->strideY(), image->u(),
                       image->strideU(), image->v(), image->strideV(), size.width(), size.height());
    deliver(Frame::fromPlanes(std::move(image)));
}

void V4L2CaptureSource::endStream(int error) {
    DCLog("%s: %s; stream ended", qUtf8Printable(nodePath_),
          error == -ENODEV ? "device gone" : errorText(error));
    streamEnded_ = true;
}
