#include "photos/JpegSegments.h"

#include <cstring>

#include "photos/JpegHeader.h"

namespace {

bool hasJfifApp0(const QByteArray &jpeg) {
    return jpeg.size() >= 18 && static_cast<unsigned char>(jpeg[2]) == 0xFF &&
           static_cast<unsigned char>(jpeg[3]) == 0xE0 && std::memcmp(jpeg.constData() + 6, "JFIF\0", 5) == 0;
}

int app0Length(const QByteArray &jpeg) {
    return (static_cast<unsigned char>(jpeg[4]) << 8) | static_cast<unsigned char>(jpeg[5]);
}

} // namespace

QByteArray JpegSegments::app1Header(const QByteArray &payload) {
    const int length = static_cast<int>(payload.size()) + 2;
    QByteArray header(4, Qt::Uninitialized);
    header[0] = static_cast<char>(0xFF);
    header[1] = static_cast<char>(0xE1);
    header[2] = static_cast<char>((length >> 8) & 0xFF);
    header[3] = static_cast<char>(length & 0xFF);
    return header;
}

qsizetype JpegSegments::exifInsertionOffset(const QByteArray &jpeg) {
    if (hasJfifApp0(jpeg)) {
        const qsizetype end = 4 + app0Length(jpeg);
        if (end <= jpeg.size()) return end;
    }
    return 2;
}

QByteArray JpegSegments::withExif(const QByteArray &jpeg, const QByteArray &payload) {
    QByteArray out = jpeg;
    if (const auto header = JpegHeader::parse(jpeg, false); header && header->exifSegmentOffset >= 0)
        out.remove(header->exifSegmentOffset, header->exifSegmentLength);
    if (payload.isEmpty() || payload.size() > 65533) return out;
    out.insert(exifInsertionOffset(out), app1Header(payload) + payload);
    return out;
}

std::optional<JpegSegments::Density> JpegSegments::jfifDensity(const QByteArray &jpeg) {
    if (!hasJfifApp0(jpeg)) return std::nullopt;
    const auto *p = reinterpret_cast<const unsigned char *>(jpeg.constData());
    return Density{p[13], (p[14] << 8) | p[15], (p[16] << 8) | p[17]};
}

bool JpegSegments::setJfifDensity(QByteArray &jpeg, const Density &density) {
    if (!hasJfifApp0(jpeg)) return false;
    jpeg[13] = static_cast<char>(density.unit);
    jpeg[14] = static_cast<char>((density.x >> 8) & 0xFF);
    jpeg[15] = static_cast<char>(density.x & 0xFF);
    jpeg[16] = static_cast<char>((density.y >> 8) & 0xFF);
    jpeg[17] = static_cast<char>(density.y & 0xFF);
    return true;
}
