#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include <QList>
#include <QSize>
#include <QString>

#include "capture/ThreadedCaptureSource.h"
#include "capture/V4L2Device.h"

class JpegDecoder;
struct v4l2_buffer;

// A USB camera's video node streamed with mmap buffers (a small fixed set). MJPEG is taken when the
// node offers it, else YUYV (converted to I420 into pooled buffers). A vanished device (ENODEV) ends
// the stream cleanly: no frame is delivered after it, and the next start() opens the node again, so a
// watchdog's restart finds a camera that came back. Short or corrupt frames are dropped with a log line
// and their buffer goes back to the driver.
//
// open(), close(), start(), stop() and setResolution() are called from one thread at a time; frames are
// delivered on the source's own thread.
class V4L2CaptureSource : public ThreadedCaptureSource {
public:
    static constexpr uint32_t kBufferCount = 4;

    struct FormatChoice {
        uint32_t fourcc = 0;
        QSize size;
    };

    // The /dev/videoN capture node whose USB identifier ("0x<location><vendor><product>", as the camera
    // reports it in captureDeviceLocationId) equals `identifier`; empty when there is none.
    static QString findNode(const QString &identifier, const QString &devRoot = QStringLiteral("/dev"),
                            const QString &sysfsRoot = QStringLiteral("/sys"));
    // The identifier of a node, from its USB device in sysfs; empty when it is not a USB video node.
    static QString identifierOfNode(const QString &nodeName,
                                    const QString &sysfsRoot = QStringLiteral("/sys"));
    // MJPEG when offered, else YUYV; the offered size nearest to `wanted` (by area, then by shape).
    static std::optional<FormatChoice> chooseFormat(const QList<QSize> &mjpegSizes,
                                                    const QList<QSize> &yuyvSizes, QSize wanted);

    explicit V4L2CaptureSource(QString nodePath, std::unique_ptr<V4L2Device> device = V4L2Device::create());
    ~V4L2CaptureSource() override;
    V4L2CaptureSource(const V4L2CaptureSource &) = delete;
    V4L2CaptureSource &operator=(const V4L2CaptureSource &) = delete;

    bool open() override;
    void close() override;
    bool start(QSize size, FrameCallback callback) override;
    void stop() override;
    bool setResolution(QSize size) override;

private:
    struct Mapping {
        void *start = nullptr;
        size_t length = 0;
    };
    struct Format {
        uint32_t fourcc = 0;
        QSize size;
        uint32_t bytesPerLine = 0;
    };
    bool openNode();
    QList<QSize> frameSizes(uint32_t fourcc);
    bool negotiate(QSize wanted);
    bool mapBuffers();
    bool queueBuffers();
    void unmapBuffers();
    // The delivery thread's loop and its steps.
    void run();
    void handleBuffer(const v4l2_buffer &buffer, JpegDecoder &checker);
    void deliverMjpeg(std::span<const uint8_t> bytes, JpegDecoder &checker);
    void deliverYuyv(std::span<const uint8_t> bytes);
    void endStream(int error);

    const QString nodePath_;
    const std::unique_ptr<V4L2Device> device_;

    // start(), stop(), open() and close() do their device work under mutex_.
    // Set up by start() before the delivery thread runs, left alone until it is joined.
    Format format_;
    std::vector<Mapping> buffers_;
    // The stream ended by itself (device gone or failing): the node is opened afresh on the next start.
    std::atomic<bool> streamEnded_{false};
    size_t highWater_ = 0; // delivery thread
};
