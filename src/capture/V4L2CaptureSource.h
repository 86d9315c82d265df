#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <QList>
#include <QSize>
#include <QString>

#include "capture/CaptureSource.h"

class PixelBufferPool;

// A USB camera's video node streamed with mmap buffers (a small fixed set). MJPEG is taken when the
// node offers it, else YUYV (converted to I420 into pooled buffers). A vanished device (ENODEV) ends
// the stream cleanly; short or corrupt frames are dropped with a log line.
class V4L2CaptureSource : public CaptureSource {
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

    explicit V4L2CaptureSource(QString nodePath);
    ~V4L2CaptureSource() override;

    bool open() override;
    void close() override;
    bool start(QSize size, FrameCallback callback) override;
    void stop() override;
    bool setResolution(QSize size) override;
    bool isRunning() const override;
    QString errorDescription() const override;
    QString recoverySuggestion() const override;

    size_t bufferAllocations() const;

private:
    struct Mapping {
        void *start = nullptr;
        size_t length = 0;
    };
    QList<QSize> frameSizes(uint32_t fourcc) const;
    bool negotiate(QSize wanted);
    bool mapBuffers();
    void unmapBuffers();
    void run();
    void deliver(const uint8_t *data, size_t bytes);
    int xioctl(unsigned long request, void *arg) const;

    const QString nodePath_;
    std::shared_ptr<PixelBufferPool> pool_;

    mutable std::mutex mutex_;
    int fd_ = -1;
    QString error_;
    bool running_ = false;
    FrameCallback callback_;
    FormatChoice format_;
    std::vector<Mapping> buffers_;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<uint64_t> dropped_{0};
    size_t highWater_ = 0; // delivery thread
};
