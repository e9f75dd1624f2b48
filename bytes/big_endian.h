#pragma once
#include <stdint.h>

// Reads the big-endian 32-bit value of the four bytes at bytes, all of which
// must lie before end. Returns 0, leaving *value alone, when they do not.
inline int ReadBigEndian32(const unsigned char *bytes, const unsigned char *end, uint32_t *value)
{
    if (bytes > end || end - bytes < 4)
        return 0;
    *value = ((uint32_t)bytes[0] << 24) | ((uint32_t)bytes[1] << 16) | ((uint32_t)bytes[2] << 8) |
        (uint32_t)bytes[3];
    return 1;
}
