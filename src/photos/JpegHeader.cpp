#include "photos/JpegHeader.h"

#include <cstring>

namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kSOI = 0xD8;
constexpr unsigned char kEOI = 0xD9;
constexpr unsigned char kSOS = 0xDA;
constexpr unsigned char kAPP1 = 0xE1;
constexpr char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};

bool isFrameHeader(unsigned char m) {
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool isStandalone(unsigned char m) {
    return m == 0x01 || (m >= 0xD0 && m <= 0xD7);
}

int be16(const unsigned char *p) {
    return (p[0] << 8) | p[1];
}

} // namespace

std::optional<JpegHeader> JpegHeader::parse(const ReadAt &read, qint64 fileSize, bool wantExif) {
    unsigned char soi[2];
    if (read(0, reinterpret_cast<char *>(soi), 2) != 2 || soi[0] != kMarker || soi[1] != kSOI)
        return std::nullopt;

    JpegHeader header;
    qint64 pos = 2;
    for (int segment = 0; segment < kMaxSegments && pos + 4 <= fileSize; ++segment) {
        unsigned char head[4];
        if (read(pos, reinterpret_cast<char *>(head), 4) != 4 || head[0] != kMarker) break;
        unsigned char marker = head[1];
        if (marker == kMarker) { // fill byte: the marker starts one byte later
            ++pos;
            continue;
        }
        if (isStandalone(marker)) {
            pos += 2;
            continue;
        }
        if (marker == kEOI || marker == kSOS) break; // no frame header before the picture data
        const int length = be16(head + 2);
        if (length < 2 || pos + 2 + length > fileSize) break;
        if (isFrameHeader(marker)) {
            unsigned char sof[6];
            if (length < 8 || read(pos + 4, reinterpret_cast<char *>(sof), 6) != 6) break;
            const int height = be16(sof + 1);
            const int width = be16(sof + 3);
            if (width > 0 && height > 0) header.size = QSize(width, height);
            header.components = sof[5];
            header.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            return header;
        }
        if (marker == kAPP1 && header.exifSegmentOffset < 0 && length >= 2 + 6) {
            char id[6];
            if (read(pos + 4, id, 6) == 6 && std::memcmp(id, kExifId, 6) == 0) {
                header.exifSegmentOffset = pos;
                header.exifSegmentLength = 2 + length;
                if (wantExif) {
                    QByteArray payload(length - 2, Qt::Uninitialized);
                    if (read(pos + 4, payload.data(), payload.size()) == payload.size())
                        header.exifPayload = payload;
                }
            }
        }
        pos += 2 + length;
    }
    return header;
}

std::optional<JpegHeader> JpegHeader::parse(const QByteArray &data, bool wantExif) {
    const ReadAt read = [&data](qint64 offset, char *buffer, qint64 length) -> qint64 {
        if (offset < 0 || offset > data.size()) return -1;
        const qint64 n = std::min<qint64>(length, data.size() - offset);
        std::memcpy(buffer, data.constData() + offset, static_cast<size_t>(n));
        return n;
    };
    return parse(read, data.size(), wantExif);
}
