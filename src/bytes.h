// Numbers stored little-endian, as BMP files and Highway's mask bits keep
// them, read the same on a machine of either byte order.
#pragma once

#include <cstdint>

inline uint32_t le32(const uint8_t *b)
{
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

inline unsigned le16(const uint8_t *b)
{
    return unsigned(b[0]) | unsigned(b[1]) << 8;
}
