#include "ui/view/PictureFit.h"

#include <algorithm>
#include <cmath>

#include "capture/FrameTransform.h"

namespace PictureFit {

QRectF fitRect(QSizeF picture, const QRectF &bounds) {
    if (picture.isEmpty() || bounds.isEmpty()) return {};
    const double r = picture.height() / picture.width();
    if (r > bounds.height() / bounds.width()) {
        const double width = bounds.height() / r;
        return QRectF(bounds.x() + (bounds.width() - width) / 2, bounds.y(), width, bounds.height());
    }
    const double height = r * bounds.width();
    return QRectF(bounds.x(), bounds.y() + (bounds.height() - height) / 2, bounds.width(), height);
}

QRect fitPixels(QSize picture, const QRect &bounds) {
    const QRectF exact = fitRect(QSizeF(picture), QRectF(bounds));
    if (exact.isEmpty()) return {};
    const int left = int(std::lround(exact.left())), top = int(std::lround(exact.top()));
    const int right = std::max(left + 1, int(std::lround(exact.right())));
    const int bottom = std::max(top + 1, int(std::lround(exact.bottom())));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QSize coveringSize(const FrameTransform &transform, QSize viewport, int maxSize) {
    const QSizeF part = transform.sourceRect().size();
    const QSize whole(std::max(1, int(std::ceil(part.width() - 1e-6))),
                      std::max(1, int(std::ceil(part.height() - 1e-6))));
    const QSize shown = fitPixels(transform.outputSize(), QRect(QPoint(0, 0), viewport)).size();
    int eighths = 8;
    if (!shown.isEmpty())
        for (int k = 1; k < 8; ++k)
            if (whole.width() * k >= shown.width() * 8 && whole.height() * k >= shown.height() * 8) {
                eighths = k;
                break;
            }
    QSize size(whole.width() * eighths / 8, whole.height() * eighths / 8);
    if (maxSize > 0 && (size.width() > maxSize || size.height() > maxSize))
        size = size.scaled(maxSize, maxSize, Qt::KeepAspectRatio);
    return size.expandedTo(QSize(1, 1));
}

} // namespace PictureFit
