#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>

// Pictures with known content for rendering tests.
namespace CaptureTestImages {

// A 4 x 4 grid of cells (top-left coordinates): the cell in column c, row r has red 32 + 64 c and
// green 32 + 64 r, blue 128.
QImage grid(QSize size);
QColor gridColour(int column, int row);

// `image` as a JPEG (TurboJPEG subsampling constant, quality), the way a camera would send it.
QByteArray encode(const QImage &image, int subsampling, int quality = 95, int flags = 0);

// True when the two colours differ by at most `tolerance` in each of red, green and blue.
bool near(QColor actual, QColor expected, int tolerance = 24);

} // namespace CaptureTestImages
