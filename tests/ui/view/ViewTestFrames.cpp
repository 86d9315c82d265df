#include "ViewTestFrames.h"

#include <set>

#include <turbojpeg.h>

#include "CaptureTestImages.h"
#include "capture/Frame.h"

namespace ViewTestFrames {

FramePointer grid(QSize size, bool hFlipped, bool vFlipped) {
    const FramePointer frame =
        Frame::fromJpeg(CaptureTestImages::encode(CaptureTestImages::grid(size), TJSAMP_422), size);
    if (!hFlipped && !vFlipped) return frame;
    return frame->withTransform(frame->transform().mirrored(hFlipped, vFlipped));
}

QColor expectedCell(int column, int row, bool hFlipped, bool vFlipped) {
    return CaptureTestImages::gridColour(hFlipped ? 3 - column : column, vFlipped ? 3 - row : row);
}

QColor cellCentre(const QImage &image, const QRect &place, int column, int row) {
    const int x = place.x() + place.width() * (2 * column + 1) / 8;
    const int y = place.y() + place.height() * (2 * row + 1) / 8;
    return image.pixelColor(x, y);
}

bool isBlack(const QImage &image, const QRect &area) {
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (qGray(image.pixel(x, y)) > 8) return false;
    return true;
}

int sampledColours(const QImage &image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y) & 0xffffff);
    return int(colours.size());
}

} // namespace ViewTestFrames
