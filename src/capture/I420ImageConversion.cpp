#include "capture/I420ImageConversion.h"

#include <libyuv.h>

#include "capture/I420Image.h"

namespace I420ImageConversion {

QImage toQImage(const I420Image &picture) {
    QImage image(picture.size(), QImage::Format_RGB32);
    if (image.isNull()) return image;
    // libyuv's ARGB is B, G, R, A in memory: QImage's RGB32 on little-endian machines.
    libyuv::J420ToARGB(picture.y(), picture.strideY(), picture.u(), picture.strideU(), picture.v(),
                       picture.strideV(), image.bits(), int(image.bytesPerLine()), picture.width(),
                       picture.height());
    return image;
}

std::shared_ptr<I420Image> fromQImage(const QImage &image) {
    if (image.isNull()) return nullptr;
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                           ? image
                           : image.convertToFormat(QImage::Format_RGB32);
    auto picture = I420Image::create(rgb.size());
    if (!picture) return nullptr;
    libyuv::ARGBToJ420(rgb.constBits(), int(rgb.bytesPerLine()), picture->y(), picture->strideY(),
                       picture->u(), picture->strideU(), picture->v(), picture->strideV(), picture->width(),
                       picture->height());
    return picture;
}

} // namespace I420ImageConversion
