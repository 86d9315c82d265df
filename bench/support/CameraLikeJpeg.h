#pragma once

#include <QByteArray>
#include <QSize>

// A page as a camera sees it: the demo page (showing `frameNumber`) with sensor noise that differs per
// frame, encoded at quality 90 with 4:2:2 chroma, as document cameras send.
QByteArray cameraLikeJpeg(QSize size, quint32 frameNumber);
