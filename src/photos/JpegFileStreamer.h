#pragma once

#include <QByteArray>
#include <QString>

class AtomicFileWriter;
struct RenderedPicture;

// Compresses a 4:2:0 picture straight into a file, handing the encoder's output to a second thread
// in chunks as they fill, so that writing the file overlaps compressing it: a photo then costs
// little more than its compression. The encoder settings are TurboJPEG's for the same planes
// (libjpeg-turbo underneath, 4:2:0, its default DCT), so the pixels come out as JpegCodec's would; the
// JFIF density and the EXIF segment (after the JFIF header) are written by the encoder itself.
class JpegFileStreamer {
public:
    struct Options {
        int quality = 90;
        int dotsPerInch = 72;
        QByteArray exif; // the APP1 payload; empty for none
    };

    // Pictures it takes: planar 4:2:0 whose width is a whole number of 16-pixel blocks and whose
    // height is even (the encoder reads whole blocks of each row). Others go through JpegCodec.
    static bool canStream(const RenderedPicture &picture);

    // Writes the whole JPEG into `file` (opened, not yet committed). False with `error` when the
    // encoder or a write fails; the caller then drops the file.
    static bool write(const RenderedPicture &picture, const Options &options, AtomicFileWriter &file,
                      QString *error);
};
