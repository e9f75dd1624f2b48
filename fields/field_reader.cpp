#include "fields/field_reader.h"

#include <stdio.h>
#include <string.h>

static void SendCode(const FieldSink *sink, const char *name, const unsigned char *bytes)
{
    sink->text(sink->context, name, (const char *)bytes, 4);
}

// Three letters, each 5 bits plus 0x60, packed after a pad bit.
static void SendLanguage(const FieldSink *sink, const char *name, uint64_t packed)
{
    char letters[3];
    for (int i = 0; i < 3; i++)
        letters[i] = (char)(((packed >> (10 - 5 * i)) & 0x1F) + 0x60);
    sink->text(sink->context, name, letters, 3);
}

static void SendUuid(const FieldSink *sink, const char *name, const unsigned char *bytes)
{
    static const char digits[] = "0123456789abcdef";
    char text[36];
    int at = 0;
    for (int i = 0; i < 16; i++) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text[at++] = '-';
        text[at++] = digits[bytes[i] >> 4];
        text[at++] = digits[bytes[i] & 0xF];
    }
    sink->text(sink->context, name, text, sizeof text);
}

void SendField(const FieldSink *sink, const char *name, unsigned kind, unsigned width,
               const unsigned char *bytes)
{
    if (sink == 0 || kind == FK_RESERVED)
        return;
    // A code left zero (as the hdlr of ISO files leaves its first one) is
    // the number 0, not four NUL characters.
    if (kind == FK_CODE && ReadFieldBytes(bytes, 4) == 0) {
        sink->number(sink->context, name, 0, FIELD_UNSIGNED);
        return;
    }
    switch (kind) {
    case FK_CODE: SendCode(sink, name, bytes); return;
    case FK_UUID: SendUuid(sink, name, bytes); return;
    case FK_LANGUAGE: SendLanguage(sink, name, ReadFieldBytes(bytes, width)); return;
    default: break;
    }
    uint64_t value = ReadFieldBytes(bytes, width);
    switch (kind) {
    case FK_SIGNED: {
        // Sign-extend from the field's width.
        if (width < 8 && (value >> (8 * width - 1)) != 0)
            value |= ~(uint64_t)0 << (8 * width);
        sink->number(sink->context, name, value, FIELD_SIGNED);
        return;
    }
    case FK_HEX: sink->number(sink->context, name, value, FIELD_HEX); return;
    case FK_FIXED16: sink->number(sink->context, name, value, FIELD_FIXED_16_16); return;
    case FK_FIXED8: {
        if (width < 8 && (value >> (8 * width - 1)) != 0)
            value |= ~(uint64_t)0 << (8 * width);
        sink->number(sink->context, name, value, FIELD_FIXED_8_8);
        return;
    }
    default: sink->number(sink->context, name, value, FIELD_UNSIGNED); return;
    }
}

void SendShortField(const FieldSink *sink, const FieldReader *reader, const char *name,
                    uint64_t needed)
{
    if (sink == 0)
        return;
    char text[160];
    snprintf(text, sizeof text, "the payload ends in %s: %llu bytes needed, %llu left", name,
             (unsigned long long)needed, (unsigned long long)FieldBytesLeft(reader));
    sink->problem(sink->context, reader->offset + reader->pos, text);
}

// A string field: up to its NUL, or to the end of the payload.
static void ReadStringField(FieldReader *reader, const FieldSink *sink, const char *name)
{
    const unsigned char *start = reader->bytes + reader->pos;
    uint64_t left = FieldBytesLeft(reader);
    uint64_t length = 0;
    while (length < left && start[length] != 0)
        length++;
    if (sink != 0)
        sink->text(sink->context, name, (const char *)start, (size_t)length);
    reader->pos += length < left ? length + 1 : length;
}

int ReadFieldLayout(FieldReader *reader, uint32_t version, const FieldLayout *layout,
                    unsigned count, const FieldSink *sink, uint64_t *values)
{
    for (unsigned i = 0; i < count; i++) {
        const FieldLayout *field = &layout[i];
        if (values != 0)
            values[i] = 0;
        if (field->kind == FK_STRING) {
            ReadStringField(reader, sink, field->name);
            continue;
        }
        unsigned width = FieldWidth(field, version);
        if (width == 0)
            continue;
        if (FieldBytesLeft(reader) < width) {
            SendShortField(sink, reader, field->name, width);
            return 0;
        }
        const unsigned char *bytes = reader->bytes + reader->pos;
        if (values != 0 && width <= 8)
            values[i] = ReadFieldBytes(bytes, width);
        SendField(sink, field->name, field->kind, width, bytes);
        reader->pos += width;
    }
    return 1;
}

int ReadFullBoxHeader(FieldReader *reader, const FieldSink *sink, uint32_t *version,
                      uint32_t *flags)
{
    uint64_t word = 0;
    if (!ReadFieldValue(reader, 4, &word)) {
        SendShortField(sink, reader, "version and flags", 4);
        return 0;
    }
    *version = (uint32_t)(word >> 24);
    *flags = (uint32_t)(word & 0xFFFFFF);
    if (sink != 0) {
        sink->number(sink->context, "version", *version, FIELD_UNSIGNED);
        sink->number(sink->context, "flags", *flags, FIELD_HEX);
    }
    return 1;
}

void SendFlagWords(const FieldSink *sink, uint32_t flags, const uint32_t *masks,
                   const char *const *names, unsigned count)
{
    char words[256];
    size_t used = 0;
    for (unsigned i = 0; i < count; i++) {
        if ((flags & masks[i]) == 0)
            continue;
        size_t length = strlen(names[i]);
        if (used + length + 1 > sizeof words)
            break;
        if (used != 0)
            words[used++] = ' ';
        memcpy(words + used, names[i], length);
        used += length;
    }
    if (used != 0)
        sink->text(sink->context, "flag_names", words, used);
}
