#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include "capture/FramePointer.h"

// Frames with known content for the view tests: CaptureTestImages' 4 x 4 grid as a camera's JPEG.
namespace ViewTestFrames {

// The grid at `size`, mirrored as asked (by transform, as the capture controller does).
FramePointer grid(QSize size, bool hFlipped = false, bool vFlipped = false);

// The colour that cell (column, row) of `place` shows for a grid frame mirrored as given.
QColor expectedCell(int column, int row, bool hFlipped, bool vFlipped);
// The pixel at the centre of cell (column, row) of the 4 x 4 grid drawn into `place` of `image`.
QColor cellCentre(const QImage &image, const QRect &place, int column, int row);

// True when no pixel of `area` in `image` is brighter than near-black.
bool isBlack(const QImage &image, const QRect &area);
// Distinct colours among every 4th pixel of every 4th row.
int sampledColours(const QImage &image);

} // namespace ViewTestFrames
