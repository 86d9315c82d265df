#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>

// The picture of the simulated camera: a printed page on a desk with a pen moving over it, a bar chart
// that changes, the camera's model name and a large frame counter, encoded the way a document camera
// sends it (baseline JPEG, 4:2:2). Needs no GUI application and no fonts.
//
// The page is drawn once; each frame only redraws what moves, into planes that are kept, and encodes
// them with a TurboJPEG handle and output buffer that are kept too. Not thread-safe: one per camera.
class DemoPageRenderer {
public:
    DemoPageRenderer(const QString &modelName, QSize size, int quality = 85);
    ~DemoPageRenderer();
    DemoPageRenderer(const DemoPageRenderer &) = delete;
    DemoPageRenderer &operator=(const DemoPageRenderer &) = delete;

    QSize size() const { return size_; }
    // Where the frame counter is drawn, in top-left pixel coordinates.
    QRect counterRect() const { return counterRect_; }

    // The page for frame `frameNumber`. The bytes stay valid until the next call; empty when the page
    // cannot be made (logged).
    std::span<const uint8_t> render(quint32 frameNumber);
    QByteArray renderJpeg(quint32 frameNumber);

private:
    struct Colour {
        uint8_t y, cb, cr;
    };
    static Colour rgb(int r, int g, int b);
    void fillRect(std::vector<uint8_t> &planes, const QRect &rect, Colour colour) const;
    void drawText(std::vector<uint8_t> &planes, QPoint origin, int scale, const QString &text,
                  uint8_t luma) const;
    void drawPage();
    void drawMovingParts(quint32 frameNumber);

    QString modelName_;
    QSize size_;
    int quality_;
    int unit_ = 1;
    int counterScale_ = 1;
    QRect pageRect_;
    QRect chartRect_;
    QRect counterRect_;
    std::vector<QRect> lineRects_;
    std::vector<uint8_t> page_;  // the still page, 4:2:2 planes
    std::vector<uint8_t> frame_; // this frame's planes
    void *encoder_ = nullptr;
    unsigned char *jpeg_ = nullptr;
    unsigned long jpegCapacity_ = 0;
    unsigned long jpegSize_ = 0;
};
