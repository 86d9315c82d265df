#pragma once

#include <QString>

// Turns a stored photo in place. Quarter turns are lossless (TurboJPEG's perfect transform) when
// the picture's MCU grid allows it; otherwise, and for other angles, the picture is decoded, turned
// and encoded once. The EXIF segment is kept with its pixel dimensions updated (Orientation is left
// as it is), the JFIF density is kept, and the file is replaced atomically. A rotation that fails
// leaves the file untouched.
class PhotoRotator {
public:
    // `withDegree` counter-clockwise for positive values (right turn: -90, left turn: +90).
    static bool rotateImageAtPath(const QString &path, int withDegree, QString *error = nullptr);
};
