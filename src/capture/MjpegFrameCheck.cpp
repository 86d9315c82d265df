#include "capture/MjpegFrameCheck.h"

#include <algorithm>

#include "capture/JpegDecoder.h"

namespace {
// Cameras pad a frame with at most this many bytes after the end marker; further back is a cut frame.
constexpr size_t kMaxPadding = 4096;
} // namespace

size_t mjpegBufferSize(size_t bytes, size_t &highWater) {
    constexpr size_t kPage = 4096;
    if (bytes > highWater) highWater = ((bytes + bytes / 4) + kPage - 1) / kPage * kPage;
    return highWater;
}

size_t mjpegFrameLength(std::span<const uint8_t> bytes) {
    const size_t first = bytes.size() > kMaxPadding + 2 ? bytes.size() - kMaxPadding - 2 : 0;
    for (size_t i = bytes.size(); i >= first + 2; --i) {
        if (bytes[i - 2] == 0xFF && bytes[i - 1] == 0xD9) return i;
    }
    return 0;
}

QSize mjpegFrameSize(JpegDecoder &decoder, std::span<const uint8_t> bytes, QString *why) {
    auto fail = [why](const QString &reason) {
        if (why) *why = reason;
        return QSize();
    };
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return fail(QStringLiteral("no JPEG start (%1 bytes)").arg(bytes.size()));
    if (mjpegFrameLength(bytes) == 0)
        return fail(QStringLiteral("truncated (%1 bytes, no end marker)").arg(bytes.size()));
    JpegDecoder::Header header;
    if (!decoder.readHeader(bytes, header))
        return fail(QStringLiteral("bad header: %1").arg(decoder.error()));
    return header.size;
}

bool checkMjpegFrame(JpegDecoder &decoder, std::span<const uint8_t> bytes, QSize expected, QString *why) {
    const QSize size = mjpegFrameSize(decoder, bytes, why);
    if (size.isEmpty()) return false;
    if (size == expected) return true;
    if (why)
        *why = QStringLiteral("size %1x%2, expected %3x%4")
                   .arg(size.width())
                   .arg(size.height())
                   .arg(expected.width())
                   .arg(expected.height());
    return false;
}
