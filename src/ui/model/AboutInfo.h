#pragma once

#include <cstdint>

#include <QString>

// The About box's texts: the program's version and build, and the current camera's firmware.
namespace AboutInfo {
// "0102" for 0x0102, "1a0b" for 0x1A0B: the high byte, then the low one, in lower-case hexadecimal;
// "0000" without a camera.
QString firmwareText(uint16_t version);
// "1.2.0 Build 431".
QString softwareText(const QString &version, const QString &build);
} // namespace AboutInfo
