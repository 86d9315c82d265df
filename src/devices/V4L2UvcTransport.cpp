#include "V4L2UvcTransport.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <linux/videodev2.h>
#include <sys/ioctl.h>

#include "devices/V4L2ControlMap.h"

namespace {

constexpr int kMaxEnumeration = 64; // formats and frame sizes a node may list
constexpr uint32_t k100nsPerSecond = 10000000;

uint32_t readLE32(std::span<const uint8_t> b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

void writeLE32(std::span<uint8_t> b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

std::unique_ptr<V4L2UvcTransport> V4L2UvcTransport::open(const QString &path, int *error) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = -errno;
        return nullptr;
    }
    return std::make_unique<V4L2UvcTransport>(fd);
}

V4L2UvcTransport::V4L2UvcTransport(int fd) : fd_(fd) {}

V4L2UvcTransport::~V4L2UvcTransport() {
    if (fd_ >= 0) ::close(fd_);
}

int V4L2UvcTransport::ioctl(unsigned long request, void *argument) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::ioctl(fd_, request, argument) == 0) return 0;
        if (errno != EINTR) return -errno;
    }
    return -EINTR;
}

bool V4L2UvcTransport::canCapture() {
    v4l2_capability cap{};
    if (ioctl(VIDIOC_QUERYCAP, &cap) != 0) return false;
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

int V4L2UvcTransport::controlRequest(const UvcRequest::SetupPacket &setup, std::span<uint8_t> data,
                                     std::chrono::milliseconds) {
    const auto f = UvcRequest::decode(setup);
    if (data.size() < f.wLength) return -EINVAL;
    data = data.first(f.wLength);
    if (f.wIndex == UvcRequest::kStreamingInterfaceIndex) return streamQuery(f, data);
    return controlQuery(f, data);
}

int V4L2UvcTransport::controlQuery(const UvcRequest::Fields &f, std::span<uint8_t> data) {
    const auto mapping = V4L2ControlMap::find(f.entity(), f.selector);
    if (!mapping) return -EPIPE;
    v4l2_queryctrl query{};
    query.id = mapping->cid;
    if (const int rc = ioctl(VIDIOC_QUERYCTRL, &query); rc != 0) return rc == -EINVAL ? -EPIPE : rc;
    if (query.flags & V4L2_CTRL_FLAG_DISABLED) return -EPIPE;

    switch (f.bRequest) {
    case UvcRequest::GET_MIN:
        V4L2ControlMap::encode(*mapping, query.minimum, data);
        return 0;
    case UvcRequest::GET_MAX:
        V4L2ControlMap::encode(*mapping, query.maximum, data);
        return 0;
    case UvcRequest::GET_DEF:
        V4L2ControlMap::encode(*mapping, query.default_value, data);
        return 0;
    case UvcRequest::GET_CUR: {
        v4l2_control control{mapping->cid, 0};
        if (const int rc = ioctl(VIDIOC_G_CTRL, &control); rc != 0) return rc == -EINVAL ? -EPIPE : rc;
        V4L2ControlMap::encode(*mapping, control.value, data);
        return 0;
    }
    case UvcRequest::SET_CUR: {
        const auto value = V4L2ControlMap::decode(*mapping, data, query.minimum < 0);
        if (!value) return -EPIPE;
        v4l2_control control{mapping->cid, *value};
        // Out of range, or read-only in the current mode: the device would stall.
        const int rc = ioctl(VIDIOC_S_CTRL, &control);
        return (rc == -EINVAL || rc == -ERANGE || rc == -EACCES) ? -EPIPE : rc;
    }
    default:
        return -EPIPE;
    }
}

int V4L2UvcTransport::streamQuery(const UvcRequest::Fields &f, std::span<uint8_t> data) {
    if (f.selector != UvcRequest::VS_PROBE_CONTROL && f.selector != UvcRequest::VS_COMMIT_CONTROL)
        return -EPIPE;
    if (f.wLength > UvcRequest::kProbeCommitLength) return -EPIPE;
    std::lock_guard lock(mutex_);
    const bool probe = f.selector == UvcRequest::VS_PROBE_CONTROL;
    if (f.bRequest == UvcRequest::SET_CUR) {
        if (f.wLength != UvcRequest::kProbeCommitLength) return -EPIPE;
        return applyProbe(data, !probe);
    }
    if (f.bRequest != UvcRequest::GET_CUR && f.bRequest != UvcRequest::GET_DEF) return -EPIPE;
    if (probe && f.bRequest == UvcRequest::GET_CUR && probe_) {
        std::copy_n(probe_->begin(), data.size(), data.begin());
        return 0;
    }
    std::array<uint8_t, UvcRequest::kProbeCommitLength> buffer{};
    if (const int rc = currentProbe(buffer); rc != 0) return rc;
    std::copy_n(buffer.begin(), data.size(), data.begin());
    return 0;
}

std::optional<uint32_t> V4L2UvcTransport::pixelFormatAt(uint8_t formatIndex) {
    if (formatIndex == 0) return std::nullopt;
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    desc.index = formatIndex - 1u;
    if (ioctl(VIDIOC_ENUM_FMT, &desc) != 0) return std::nullopt;
    return desc.pixelformat;
}

int V4L2UvcTransport::applyProbe(std::span<const uint8_t> data, bool commit) {
    const auto pixelFormat = pixelFormatAt(data[2]);
    if (!pixelFormat || data[3] == 0) return -EPIPE;
    v4l2_frmsizeenum size{};
    size.pixel_format = *pixelFormat;
    size.index = data[3] - 1u;
    if (ioctl(VIDIOC_ENUM_FRAMESIZES, &size) != 0 || size.type != V4L2_FRMSIZE_TYPE_DISCRETE) return -EPIPE;

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.pixelformat = *pixelFormat;
    format.fmt.pix.width = size.discrete.width;
    format.fmt.pix.height = size.discrete.height;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    const uint32_t interval = readLE32(data, 4);
    if (!commit) {
        if (const int rc = ioctl(VIDIOC_TRY_FMT, &format); rc != 0) return rc == -EINVAL ? -EPIPE : rc;
        std::array<uint8_t, UvcRequest::kProbeCommitLength> answer{};
        std::copy(data.begin(), data.end(), answer.begin());
        if (const int rc = fillProbe(format, interval, answer); rc != 0) return rc;
        probe_ = answer;
        return 0;
    }
    if (const int rc = ioctl(VIDIOC_S_FMT, &format); rc != 0) return rc == -EINVAL ? -EPIPE : rc;
    if (interval != 0) { // 0 leaves the node's frame rate as it is
        v4l2_streamparm parm{};
        parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        parm.parm.capture.timeperframe = {interval, k100nsPerSecond};
        const int rc = ioctl(VIDIOC_S_PARM, &parm);
        if (rc != 0 && rc != -ENOTTY) return rc == -EINVAL ? -EPIPE : rc;
    }
    probe_.reset();
    return 0;
}

int V4L2UvcTransport::currentProbe(std::span<uint8_t> out) {
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (const int rc = ioctl(VIDIOC_G_FMT, &format); rc != 0) return rc == -EINVAL ? -EPIPE : rc;
    uint32_t interval = 0;
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (ioctl(VIDIOC_G_PARM, &parm) == 0 && parm.parm.capture.timeperframe.denominator != 0) {
        const auto &t = parm.parm.capture.timeperframe;
        interval = static_cast<uint32_t>(uint64_t{t.numerator} * k100nsPerSecond / t.denominator);
    }
    std::fill(out.begin(), out.end(), 0);
    return fillProbe(format, interval, out);
}

// bFormatIndex and bFrameIndex are the 1-based positions the node lists the format and size at.
int V4L2UvcTransport::fillProbe(const v4l2_format &format, uint32_t interval, std::span<uint8_t> out) {
    uint8_t formatIndex = 0;
    for (int i = 0; i < kMaxEnumeration && formatIndex == 0; ++i) {
        const auto pixelFormat = pixelFormatAt(static_cast<uint8_t>(i + 1));
        if (!pixelFormat) break;
        if (*pixelFormat == format.fmt.pix.pixelformat) formatIndex = static_cast<uint8_t>(i + 1);
    }
    uint8_t frameIndex = 0;
    for (int i = 0; i < kMaxEnumeration && frameIndex == 0; ++i) {
        v4l2_frmsizeenum size{};
        size.pixel_format = format.fmt.pix.pixelformat;
        size.index = static_cast<uint32_t>(i);
        if (ioctl(VIDIOC_ENUM_FRAMESIZES, &size) != 0 || size.type != V4L2_FRMSIZE_TYPE_DISCRETE) break;
        if (size.discrete.width == format.fmt.pix.width && size.discrete.height == format.fmt.pix.height)
            frameIndex = static_cast<uint8_t>(i + 1);
    }
    out[2] = formatIndex;
    out[3] = frameIndex;
    writeLE32(out, 4, interval);
    writeLE32(out, 18, format.fmt.pix.sizeimage); // dwMaxVideoFrameSize
    return 0;
}
