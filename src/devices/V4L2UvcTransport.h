#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include <QString>

#include "devices/UvcTransport.h"

struct v4l2_format;
struct v4l2_streamparm;

// UVC control requests carried out on a camera's V4L2 video node. Control requests of the camera
// terminal and processing unit map to V4L2 controls (GET_CUR/SET_CUR = G/S_CTRL, GET_MIN/MAX/DEF from
// VIDIOC_QUERYCTRL); the probe/commit queries of the streaming interface map to the node's format
// (TRY_FMT for a probe, S_FMT + S_PARM for a commit, G_FMT + G_PARM for the current and default
// answers). A control the node lacks answers -EPIPE, like a stalled request. The driver applies its
// own time-out; `timeout` is not used. Thread-safe.
class V4L2UvcTransport : public UvcTransport {
public:
    // Opens `path` (read-write, non-blocking). Null with `error` (-errno) on failure.
    static std::unique_ptr<V4L2UvcTransport> open(const QString &path, int *error);
    // Takes ownership of `fd`.
    explicit V4L2UvcTransport(int fd);
    ~V4L2UvcTransport() override;
    V4L2UvcTransport(const V4L2UvcTransport &) = delete;
    V4L2UvcTransport &operator=(const V4L2UvcTransport &) = delete;

    int controlRequest(const UvcRequest::SetupPacket &setup, std::span<uint8_t> data,
                       std::chrono::milliseconds timeout) override;

    // True when the node can capture video (V4L2_CAP_VIDEO_CAPTURE among its device capabilities).
    bool canCapture();

private:
    // Every ioctl of this class: 0 or -errno, EINTR retried.
    int ioctl(unsigned long request, void *argument);
    int controlQuery(const UvcRequest::Fields &f, std::span<uint8_t> data);
    int streamQuery(const UvcRequest::Fields &f, std::span<uint8_t> data);
    int applyProbe(std::span<const uint8_t> data, bool commit);
    int currentProbe(std::span<uint8_t> out);
    int fillProbe(const v4l2_format &format, uint32_t interval, std::span<uint8_t> out);
    std::optional<uint32_t> pixelFormatAt(uint8_t formatIndex);

    int fd_;
    std::mutex mutex_; // guards probe_ and orders the multi-ioctl stream queries
    std::optional<std::array<uint8_t, UvcRequest::kProbeCommitLength>> probe_;
};
