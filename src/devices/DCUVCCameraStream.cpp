// The probe/commit stream negotiation of DCUVCCamera, kept apart from the control operations.
#include <array>

#include "core/DCLog.h"
#include "devices/DCUVCCamera.h"
#include "devices/UvcFrameTable.h"
#include "devices/UvcRequest.h"

namespace {
using ProbeCommit = std::array<uint8_t, UvcRequest::kProbeCommitLength>;

ProbeCommit makeProbe(uint8_t frameIndex, uint32_t framesPerSecond) {
    ProbeCommit probe{};
    probe[2] = UvcFrameTable::kFormatIndex;
    probe[3] = frameIndex;
    const uint32_t interval = 10000000u / framesPerSecond; // 100 ns units
    for (int i = 0; i < 4; ++i)
        probe[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(interval >> (8 * i));
    return probe;
}
} // namespace

bool DCUVCCamera::setResolution(uint32_t framesPerSecond, uint32_t width, uint32_t height) {
    DCLog("frame %d width %d height %d", static_cast<int>(framesPerSecond), static_cast<int>(width),
          static_cast<int>(height));
    const auto frameIndex = UvcFrameTable::find(framesPerSecond, width, height);
    if (!frameIndex) {
        DCLog("not found such resolution");
        return false;
    }
    DCLog("found %hhu", *frameIndex);
    ProbeCommit buffer = makeProbe(*frameIndex, framesPerSecond);
    // The device's probe answer replaces the buffer; only the commit decides the outcome.
    streamQuery(UvcRequest::SET_CUR, UvcRequest::VS_PROBE_CONTROL, buffer.data(),
                UvcRequest::kProbeCommitLength);
    streamQuery(UvcRequest::GET_CUR, UvcRequest::VS_PROBE_CONTROL, buffer.data(),
                UvcRequest::kProbeCommitLength);
    return streamQuery(UvcRequest::SET_CUR, UvcRequest::VS_COMMIT_CONTROL, buffer.data(),
                       UvcRequest::kProbeCommitLength) == 0;
}

bool DCUVCCamera::getResolution() {
    ProbeCommit buffer{};
    streamQuery(UvcRequest::GET_DEF, UvcRequest::VS_PROBE_CONTROL, buffer.data(),
                UvcRequest::kProbeCommitLength);
    DCLog("AFTER GET 0x%02x, 0x%02x, 0x%02x, 0x%02x, 0x%02x, 0x%02x, 0x%02x, 0x%02x", buffer[0], buffer[1],
          buffer[2], buffer[3], buffer[4], buffer[5], buffer[6], buffer[7]);
    streamQuery(UvcRequest::GET_CUR, UvcRequest::VS_COMMIT_CONTROL, buffer.data(), 1);
    DCLog("AFTER GET VC_REQUEST_ERROR_CODE_CONTROL 0x%02x, 0x%02x, 0x%02x, 0x%02x, 0x%02x, 0x%02x, 0x%02x, "
          "0x%02x",
          buffer[0], buffer[1], buffer[2], buffer[3], buffer[4], buffer[5], buffer[6], buffer[7]);
    return true;
}
