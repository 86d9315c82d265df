#pragma once

#include <cstdint>
#include <span>

#include <QSize>
#include <QString>

class JpegDecoder;

// Whether the bytes a camera delivered as one MJPEG frame can be shown: a JPEG start, a header that
// parses and declares `expected`, and an end marker (cameras pad the buffer after it). A short or
// corrupt frame answers false with the reason in `why`; it must be dropped, never passed on.
bool checkMjpegFrame(JpegDecoder &decoder, std::span<const uint8_t> bytes, QSize expected, QString *why);
// The same checks for a picture whose size is not known beforehand (a network camera's): the size its
// header declares, or an empty size with the reason in `why`.
QSize mjpegFrameSize(JpegDecoder &decoder, std::span<const uint8_t> bytes, QString *why);

// The buffer size to ask a pool for, for compressed frames of varying length: the largest frame seen so
// far (kept in `highWater`) with a quarter more, in whole pages, so the pool's buffers fit the next ones.
size_t mjpegBufferSize(size_t bytes, size_t &highWater);

// The length of the frame up to and including its end marker (0 when there is none).
size_t mjpegFrameLength(std::span<const uint8_t> bytes);
