// Big-endian values taken from file bytes, the same on every host byte order.
#pragma once

#include <cstdint>

namespace dbm {

inline uint16_t bigEndian16(const uint8_t *bytes)
{
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

inline uint32_t bigEndian32(const uint8_t *bytes)
{
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
           uint32_t(bytes[3]);
}

} // namespace dbm
