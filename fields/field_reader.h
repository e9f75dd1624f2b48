#pragma once
// Bounded big-endian reads over one atom's payload, and record layouts as
// tables of (name, width, kind), shared by the field decoders and the
// reference checks.
#include "fields/field_sink.h"

#include <stddef.h>
#include <stdint.h>

struct FieldReader {
    const unsigned char *bytes;
    uint64_t size;
    uint64_t pos;
    uint64_t offset;  // absolute offset of bytes[0]
};

inline FieldReader MakeFieldReader(const unsigned char *bytes, uint64_t size, uint64_t offset)
{
    FieldReader reader = {bytes, size, 0, offset};
    return reader;
}

inline uint64_t FieldBytesLeft(const FieldReader *reader)
{
    return reader->size - reader->pos;
}

// The big-endian value of width (at most 8) bytes at index of bytes; the
// caller has checked that they lie inside.
inline uint64_t ReadFieldBytes(const unsigned char *bytes, unsigned width)
{
    uint64_t value = 0;
    for (unsigned i = 0; i < width; i++)
        value = (value << 8) | (uint64_t)bytes[i];
    return value;
}

// Reads width bytes when they are there; 0 and no move when not.
inline int ReadFieldValue(FieldReader *reader, unsigned width, uint64_t *value)
{
    if (FieldBytesLeft(reader) < width)
        return 0;
    *value = ReadFieldBytes(reader->bytes + reader->pos, width);
    reader->pos += width;
    return 1;
}

// What a layout's field holds.
enum FieldKind {
    FK_UNSIGNED,
    FK_SIGNED,
    FK_HEX,
    FK_FIXED16,   // 16.16
    FK_FIXED8,    // 8.8
    FK_CODE,      // four characters
    FK_LANGUAGE,  // ISO-639-2/T packed in 15 bits
    FK_UUID,      // 16 bytes
    FK_RESERVED,  // read past, not shown
    FK_STRING     // NUL-terminated (or to the end of the payload); width 0
};

// Widths: bytes, or one of these.
#define FW_VERSIONED 0xF0  // 4 bytes in version 0, 8 in later versions
#define FW_V1_ONLY 0xF1    // 4 bytes, only in version 1 and later

struct FieldLayout {
    const char *name;
    uint8_t width;
    uint8_t kind;
};

// A layout field's width in bytes for this version (0: absent, or a string).
inline unsigned FieldWidth(const FieldLayout *field, uint32_t version)
{
    if (field->width == FW_VERSIONED)
        return version == 0 ? 4 : 8;
    if (field->width == FW_V1_ONLY)
        return version == 0 ? 0 : 4;
    return field->width;
}

// Reads the fields of layout in turn, sending each to sink (when not NULL)
// and its value to values[i] (when not NULL). On a payload too short for a
// field, sends a problem naming it and returns 0.
int ReadFieldLayout(FieldReader *reader, uint32_t version, const FieldLayout *layout,
                    unsigned count, const FieldSink *sink, uint64_t *values);

// Sends one value of the given kind and width to sink (bytes point at it).
void SendField(const FieldSink *sink, const char *name, unsigned kind, unsigned width,
               const unsigned char *bytes);

// Sends a problem at the reader's place: "the payload ends in NAME: N bytes
// needed, M left".
void SendShortField(const FieldSink *sink, const FieldReader *reader, const char *name,
                    uint64_t needed);

// Reads version and flags of a full box and sends them; 0 when the payload
// is shorter than 4 bytes.
int ReadFullBoxHeader(FieldReader *reader, const FieldSink *sink, uint32_t *version,
                      uint32_t *flags);

// Flags as words: names[i] is bit masks[i]; sends "flag_names" when any is set.
void SendFlagWords(const FieldSink *sink, uint32_t flags, const uint32_t *masks,
                   const char *const *names, unsigned count);
