#pragma once

#include <array>
#include <cstdint>

// UVC class-specific control requests, as they travel on the default control pipe.
namespace UvcRequest {

inline constexpr uint8_t SET_CUR = 0x01;
inline constexpr uint8_t GET_CUR = 0x81;
inline constexpr uint8_t GET_MIN = 0x82;
inline constexpr uint8_t GET_MAX = 0x83;
inline constexpr uint8_t GET_DEF = 0x87;

// Video-streaming interface controls of the probe/commit exchange.
inline constexpr uint8_t VS_PROBE_CONTROL = 0x01;
inline constexpr uint8_t VS_COMMIT_CONTROL = 0x02;
// The streaming interface of the maker's devices, entity 0.
inline constexpr uint16_t kStreamingInterfaceIndex = 0x0001;
inline constexpr uint16_t kProbeCommitLength = 34;

// The 8 bytes of a USB setup packet, little-endian fields.
using SetupPacket = std::array<uint8_t, 8>;

// The one place a setup packet is built: bmRequestType is (request AND 0x80) OR 0x21 (class request
// to an interface; bit 7 set for GET), wValue = selector << 8.
constexpr SetupPacket makeSetupPacket(uint8_t request, uint8_t selector, uint16_t wIndex, uint16_t wLength) {
    return {static_cast<uint8_t>((request & 0x80) | 0x21),
            request,
            0x00,
            selector,
            static_cast<uint8_t>(wIndex & 0xFF),
            static_cast<uint8_t>(wIndex >> 8),
            static_cast<uint8_t>(wLength & 0xFF),
            static_cast<uint8_t>(wLength >> 8)};
}

// The fields read back out of a packet (transports decode what they were given).
struct Fields {
    uint8_t bmRequestType;
    uint8_t bRequest;
    uint8_t selector; // high byte of wValue
    uint16_t wIndex;
    uint16_t wLength;

    uint8_t entity() const { return static_cast<uint8_t>(wIndex >> 8); }
    uint8_t interfaceNumber() const { return static_cast<uint8_t>(wIndex & 0xFF); }
    bool isGet() const { return (bmRequestType & 0x80) != 0; }
};

constexpr Fields decode(const SetupPacket &p) {
    return {p[0], p[1], p[3], static_cast<uint16_t>(p[4] | (p[5] << 8)),
            static_cast<uint16_t>(p[6] | (p[7] << 8))};
}

} // namespace UvcRequest
