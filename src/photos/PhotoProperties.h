#pragma once

#include <utility>
#include <vector>

#include <QString>

// What the info panel shows about a photo beyond its name, size and date: the camera's EXIF fields
// that the file has, as display label and text. Reads the file's header segments only; a file that is
// not a JPEG or has no EXIF gives none. Any thread.
namespace PhotoProperties {
using Field = std::pair<QString, QString>;
std::vector<Field> cameraFields(const QString &path);
} // namespace PhotoProperties
