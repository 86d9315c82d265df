#include "support/CameraLikeJpeg.h"

#include <QImage>

#include <turbojpeg.h>

#include "capture/DemoPageRenderer.h"
#include "capture/Frame.h"
#include "capture/FrameRenderer.h"
#include "capture/I420ImageConversion.h"

QByteArray cameraLikeJpeg(QSize size, quint32 frameNumber) {
    DemoPageRenderer page(QStringLiteral("Wren-HD"), size);
    FrameRenderer renderer;
    QImage image =
        I420ImageConversion::toQImage(*renderer.render(*Frame::fromJpeg(page.renderJpeg(frameNumber), size)));
    uint32_t seed = 42 + frameNumber;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 28) - 8;
            line[x] = qRgb(qBound(0, qRed(line[x]) + n, 255), qBound(0, qGreen(line[x]) + n, 255),
                           qBound(0, qBlue(line[x]) + n, 255));
        }
    }
    tjhandle handle = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    tjCompress2(handle, image.constBits(), image.width(), int(image.bytesPerLine()), image.height(),
                TJPF_BGRX, &out, &outSize, TJSAMP_422, 90, 0);
    QByteArray jpeg(reinterpret_cast<const char *>(out), qsizetype(outSize));
    tjFree(out);
    tjDestroy(handle);
    return jpeg;
}
