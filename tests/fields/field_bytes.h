#pragma once
// Builders of box payloads for the field and reference tests.

#include "tests/support/atom_fixtures.h"

#include <stdint.h>
#include <string.h>

inline Bytes BigEndian(uint64_t value, unsigned width)
{
    Bytes out;
    for (unsigned i = width; i > 0; i--)
        out.push_back((unsigned char)(value >> (8 * (i - 1))));
    return out;
}
inline Bytes U8(uint64_t value)
{
    return BigEndian(value, 1);
}
inline Bytes U16(uint64_t value)
{
    return BigEndian(value, 2);
}
inline Bytes U32(uint64_t value)
{
    return BigEndian(value, 4);
}
inline Bytes U64(uint64_t value)
{
    return BigEndian(value, 8);
}
inline Bytes Zeros(size_t count)
{
    return Bytes(count, 0);
}
inline Bytes Code(const char *code)
{
    return Bytes(code, code + 4);
}
inline Bytes Text(const char *text)
{
    return Bytes(text, text + strlen(text));
}
// A box: its size, its type, the payload.
inline Bytes Box(const char *type, const Bytes &payload)
{
    Bytes out = BigEndian(8 + payload.size(), 4);
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}
// 16 bytes first, first + 1, ...
inline Bytes Uuid(unsigned first)
{
    Bytes out;
    for (unsigned i = 0; i < 16; i++)
        out.push_back((unsigned char)(first + i));
    return out;
}
