#include "fields/box_fields.h"
#include "fields/box_decoders.h"
#include "fields/box_tables.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

// Boxes that are one flat record after version and flags.
static const FieldLayout mvhdLayout[] = {
    {"creation_time", FW_VERSIONED, FK_UNSIGNED},
    {"modification_time", FW_VERSIONED, FK_UNSIGNED},
    {"timescale", 4, FK_UNSIGNED},
    {"duration", FW_VERSIONED, FK_UNSIGNED},
    {"rate", 4, FK_FIXED16},
    {"volume", 2, FK_FIXED8},
    {"reserved", 10, FK_RESERVED},
    {"matrix", 36, FK_RESERVED},
    {"pre_defined", 24, FK_RESERVED},
    {"next_track_ID", 4, FK_UNSIGNED},
};
static const FieldLayout tkhdLayout[] = {
    {"creation_time", FW_VERSIONED, FK_UNSIGNED},
    {"modification_time", FW_VERSIONED, FK_UNSIGNED},
    {"track_ID", 4, FK_UNSIGNED},
    {"reserved", 4, FK_RESERVED},
    {"duration", FW_VERSIONED, FK_UNSIGNED},
    {"reserved", 8, FK_RESERVED},
    {"layer", 2, FK_SIGNED},
    {"alternate_group", 2, FK_SIGNED},
    {"volume", 2, FK_FIXED8},
    {"reserved", 2, FK_RESERVED},
    {"matrix", 36, FK_RESERVED},
    {"width", 4, FK_FIXED16},
    {"height", 4, FK_FIXED16},
};
static const FieldLayout mdhdLayout[] = {
    {"creation_time", FW_VERSIONED, FK_UNSIGNED},
    {"modification_time", FW_VERSIONED, FK_UNSIGNED},
    {"timescale", 4, FK_UNSIGNED},
    {"duration", FW_VERSIONED, FK_UNSIGNED},
    {"language", 2, FK_LANGUAGE},
};
static const FieldLayout mehdLayout[] = {{"fragment_duration", FW_VERSIONED, FK_UNSIGNED}};
static const FieldLayout trexLayout[] = {
    {"track_ID", 4, FK_UNSIGNED},
    {"default_sample_description_index", 4, FK_UNSIGNED},
    {"default_sample_duration", 4, FK_UNSIGNED},
    {"default_sample_size", 4, FK_UNSIGNED},
    {"default_sample_flags", 4, FK_HEX},
};
static const FieldLayout mfhdLayout[] = {{"sequence_number", 4, FK_UNSIGNED}};
static const FieldLayout tfdtLayout[] = {{"baseMediaDecodeTime", FW_VERSIONED, FK_UNSIGNED}};
static const FieldLayout ispeLayout[] = {{"image_width", 4, FK_UNSIGNED},
                                         {"image_height", 4, FK_UNSIGNED}};
static const FieldLayout frmaLayout[] = {{"data_format", 4, FK_CODE}};
static const FieldLayout auxCLayout[] = {{"aux_type", 0, FK_STRING}};

constexpr uint32_t FourCharacterCode(const char (&type)[5])
{
    return ((uint32_t)(unsigned char)type[0] << 24) | ((uint32_t)(unsigned char)type[1] << 16) |
        ((uint32_t)(unsigned char)type[2] << 8) | (uint32_t)(unsigned char)type[3];
}

struct BoxFieldsEntry {
    uint32_t code;              // the type's four bytes, big-endian
    int fullBox;                // read version and flags first (flat records only)
    const FieldLayout *layout;  // a flat record, or NULL
    unsigned layoutCount;
    BoxDecoder decoder;  // when not a flat record
};

#define FLAT_RECORD(type, full, layout)                                            \
    {                                                                              \
        FourCharacterCode(type), full, layout, sizeof layout / sizeof layout[0], 0 \
    }
#define DECODER(type, decoder)                    \
    {                                             \
        FourCharacterCode(type), 0, 0, 0, decoder \
    }

static const BoxFieldsEntry boxFieldsTable[] = {
    DECODER("ftyp", DecodeFtyp),
    DECODER("styp", DecodeFtyp),
    FLAT_RECORD("mvhd", 1, mvhdLayout),
    DECODER("tkhd", DecodeTkhd),
    FLAT_RECORD("mdhd", 1, mdhdLayout),
    DECODER("hdlr", DecodeHdlr),
    DECODER("elst", DecodeFlatTableBox),
    FLAT_RECORD("mehd", 1, mehdLayout),
    FLAT_RECORD("trex", 1, trexLayout),
    DECODER("stsd", DecodeStsd),
    DECODER("stts", DecodeFlatTableBox),
    DECODER("ctts", DecodeFlatTableBox),
    DECODER("stsc", DecodeFlatTableBox),
    DECODER("stsz", DecodeFlatTableBox),
    DECODER("stz2", DecodeStz2),
    DECODER("stco", DecodeFlatTableBox),
    DECODER("co64", DecodeFlatTableBox),
    DECODER("stss", DecodeFlatTableBox),
    DECODER("stps", DecodeFlatTableBox),
    DECODER("sdtp", DecodeSdtp),
    DECODER("sbgp", DecodeFlatTableBox),
    DECODER("sgpd", DecodeSgpd),
    FLAT_RECORD("mfhd", 1, mfhdLayout),
    DECODER("tfhd", DecodeTfhd),
    FLAT_RECORD("tfdt", 1, tfdtLayout),
    DECODER("trun", DecodeTrun),
    DECODER("sidx", DecodeSidx),
    DECODER("emsg", DecodeEmsg),
    DECODER("pssh", DecodePssh),
    DECODER("tenc", DecodeTenc),
    DECODER("schm", DecodeSchm),
    FLAT_RECORD("frma", 0, frmaLayout),
    DECODER("saiz", DecodeSaiz),
    DECODER("saio", DecodeSaio),
    DECODER("senc", DecodeSenc),
    DECODER("pitm", DecodePitm),
    DECODER("iinf", DecodeIinf),
    DECODER("infe", DecodeInfe),
    DECODER("iloc", DecodeIloc),
    DECODER("ipma", DecodeIpma),
    FLAT_RECORD("ispe", 1, ispeLayout),
    DECODER("pixi", DecodePixi),
    DECODER("colr", DecodeColr),
    FLAT_RECORD("auxC", 1, auxCLayout),
    DECODER("iref", DecodeIref),
    DECODER("ilst", DecodeIlst),
    DECODER("meta", DecodeMeta),
    DECODER("data", DecodeData),
    // 3GPP user data strings: version, flags, language, text.
    DECODER("titl", DecodeUserDataText),
    DECODER("dscp", DecodeUserDataText),
    DECODER("cprt", DecodeUserDataText),
    DECODER("perf", DecodeUserDataText),
    DECODER("auth", DecodeUserDataText),
    DECODER("gnre", DecodeUserDataText),
    DECODER("albm", DecodeUserDataText),
    // A track's name in QuickTime user data: the text alone.
    DECODER("name", DecodePlainText),
};

static int ParentIs(const FieldBox *box, uint32_t levelsUp, const char *type)
{
    if (box->parentCount < levelsUp)
        return 0;
    return memcmp(box->parentTypes + 4 * (box->parentCount - levelsUp), type, 4) == 0;
}

// Every atom of a file is looked up: an open-addressing table of the
// entries' indexes by their code, built at the first look-up (the table of
// entries itself stays constant data).
static const uint32_t boxFieldsSlots = 256;

static uint32_t BoxFieldsSlot(uint32_t code)
{
    return (code * 2654435761u) >> 24;
}

static const BoxFieldsEntry *FindBoxFieldsEntry(uint32_t code)
{
    static unsigned char slots[boxFieldsSlots];  // entry index + 1; 0: empty
    static int built;
    const uint32_t entries = sizeof boxFieldsTable / sizeof boxFieldsTable[0];
    if (!built) {
        for (uint32_t i = 0; i < entries; i++) {
            uint32_t slot = BoxFieldsSlot(boxFieldsTable[i].code);
            while (slots[slot] != 0)
                slot = (slot + 1) % boxFieldsSlots;
            slots[slot] = (unsigned char)(i + 1);
        }
        built = 1;
    }
    for (uint32_t slot = BoxFieldsSlot(code);; slot = (slot + 1) % boxFieldsSlots) {
        if (slots[slot] == 0)
            return 0;
        if (boxFieldsTable[slots[slot] - 1].code == code)
            return &boxFieldsTable[slots[slot] - 1];
    }
}

static const BoxFieldsEntry *FindBoxFields(const FieldBox *box)
{
    const uint32_t code = ((uint32_t)box->type[0] << 24) | ((uint32_t)box->type[1] << 16) |
        ((uint32_t)box->type[2] << 8) | (uint32_t)box->type[3];
    const BoxFieldsEntry *found = FindBoxFieldsEntry(code);
    if (found != 0) {
        const BoxFieldsEntry &entry = *found;
        // Types whose layout depends on where they stand.
        if (code == FourCharacterCode("data") && !ParentIs(box, 2, "ilst"))
            return 0;
        if ((entry.decoder == DecodeUserDataText || entry.decoder == DecodePlainText) &&
            !ParentIs(box, 1, "udta"))
            return 0;
        return &entry;
    }
    return 0;
}

int HasBoxFields(const FieldBox *box)
{
    return FindBoxFields(box) != 0;
}

int DecodeBoxFields(const FieldBox *box, uint64_t tableLimit, const FieldSink *sink)
{
    const BoxFieldsEntry *entry = FindBoxFields(box);
    if (entry == 0)
        return 0;
    FieldReader reader = MakeFieldReader(box->payload, box->payloadSize, box->payloadOffset);
    if (entry->decoder != 0) {
        entry->decoder(box, &reader, tableLimit, sink);
        return 1;
    }
    uint32_t version = 0;
    uint32_t flags = 0;
    if (entry->fullBox && !ReadFullBoxHeader(&reader, sink, &version, &flags))
        return 1;
    ReadFieldLayout(&reader, version, entry->layout, entry->layoutCount, sink, 0);
    return 1;
}

int ReadOrComplain(FieldReader *reader, const FieldSink *sink, const char *name, unsigned width,
                   uint64_t *value)
{
    if (ReadFieldValue(reader, width, value))
        return 1;
    SendShortField(sink, reader, name, width);
    return 0;
}

int ReadAndSend(FieldReader *reader, const FieldSink *sink, const char *name, unsigned width,
                unsigned kind, uint64_t *value)
{
    FieldLayout field = {name, (uint8_t)width, (uint8_t)kind};
    uint64_t read = 0;
    if (!ReadFieldLayout(reader, 0, &field, 1, sink, &read))
        return 0;
    if (value != 0)
        *value = read;
    return 1;
}

void SendProblem(const FieldSink *sink, uint64_t offset, const char *format, ...)
{
    char text[200];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    sink->problem(sink->context, offset, text);
}

void DecodeFtyp(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    uint64_t value;
    if (!ReadAndSend(reader, sink, "major_brand", 4, FK_CODE, &value))
        return;
    if (!ReadAndSend(reader, sink, "minor_version", 4, FK_UNSIGNED, &value))
        return;
    // The brands as one line of codes: "isom iso2 avc1 mp41".
    char brands[5 * 64];
    size_t used = 0;
    uint64_t count = FieldBytesLeft(reader) / 4;
    for (uint64_t i = 0; i < count && used + 5 <= sizeof brands; i++) {
        if (used != 0)
            brands[used++] = ' ';
        memcpy(brands + used, reader->bytes + reader->pos + 4 * i, 4);
        used += 4;
    }
    sink->text(sink->context, "compatible_brands", brands, used);
    if (FieldBytesLeft(reader) % 4 != 0)
        SendProblem(sink, reader->offset + reader->pos + 4 * count,
                    "%u bytes after the last whole brand", (unsigned)(FieldBytesLeft(reader) % 4));
}

void DecodeTkhd(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags))
        return;
    static const uint32_t masks[] = {0x1, 0x2, 0x4, 0x8};
    static const char *const names[] = {"enabled", "in-movie", "in-preview",
                                        "size-is-aspect-ratio"};
    SendFlagWords(sink, flags, masks, names, 4);
    ReadFieldLayout(reader, version, tkhdLayout, sizeof tkhdLayout / sizeof tkhdLayout[0], sink, 0);
}

// Sends a name that may be a C string or, as QuickTime writes it, a Pascal
// string (a length byte first).
static void SendName(FieldReader *reader, const FieldSink *sink, const char *name)
{
    const unsigned char *bytes = reader->bytes + reader->pos;
    uint64_t left = FieldBytesLeft(reader);
    if (left > 0 && bytes[0] != 0 && bytes[0] == left - 1 && (bytes[0] < 0x20 || left == 1)) {
        sink->text(sink->context, name, (const char *)bytes + 1, bytes[0]);
        reader->pos += left;
        return;
    }
    uint64_t length = 0;
    while (length < left && bytes[length] != 0)
        length++;
    sink->text(sink->context, name, (const char *)bytes, (size_t)length);
    reader->pos += length < left ? length + 1 : length;
}

void DecodeHdlr(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    static const FieldLayout layout[] = {
        {"pre_defined", 4, FK_CODE},
        {"handler_type", 4, FK_CODE},
        {"reserved", 12, FK_RESERVED},
    };
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags))
        return;
    if (!ReadFieldLayout(reader, version, layout, 3, sink, 0))
        return;
    SendName(reader, sink, "name");
}

// A value under an iTunes item: its type (1 UTF-8, 21 a signed integer of
// its size...), locale and the value.
void DecodeData(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    uint64_t typeWord;
    uint64_t locale;
    if (!ReadOrComplain(reader, sink, "type", 4, &typeWord))
        return;
    sink->number(sink->context, "type", typeWord & 0xFFFFFF, FIELD_UNSIGNED);
    if (!ReadAndSend(reader, sink, "locale", 4, FK_UNSIGNED, &locale))
        return;
    const unsigned char *value = reader->bytes + reader->pos;
    uint64_t left = FieldBytesLeft(reader);
    uint32_t type = (uint32_t)(typeWord & 0xFFFFFF);
    if (type == 1 || type == 4)
        sink->text(sink->context, "value", (const char *)value, (size_t)left);
    else if ((type == 21 || type == 22) && left >= 1 && left <= 8)
        SendField(sink, "value", type == 21 ? FK_SIGNED : FK_UNSIGNED, (unsigned)left, value);
    else
        sink->number(sink->context, "value_size", left, FIELD_UNSIGNED);
    reader->pos = reader->size;
}

// Every item of an iTunes list with its first value, including the items
// whose type begins with 0xA9, which the tree does not show as atoms.
void DecodeIlst(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    sink->beginTable(sink->context, "items");
    uint64_t shown = 0;
    uint64_t leftOut = 0;
    while (FieldBytesLeft(reader) >= 8) {
        const unsigned char *item = reader->bytes + reader->pos;
        uint64_t itemSize = ReadFieldBytes(item, 4);
        if (itemSize < 8 || itemSize > FieldBytesLeft(reader)) {
            SendProblem(sink, reader->offset + reader->pos,
                        "item size %llu does not fit the %llu bytes left",
                        (unsigned long long)itemSize, (unsigned long long)FieldBytesLeft(reader));
            break;
        }
        if (shown >= limit) {
            leftOut++;
            reader->pos += itemSize;
            continue;
        }
        sink->beginEntry(sink->context);
        sink->text(sink->context, "item", (const char *)item + 4, 4);
        // The first data child: size, 'data', type word, locale, value.
        const unsigned char *child = item + 8;
        uint64_t childSize = itemSize >= 16 ? ReadFieldBytes(child, 4) : 0;
        if (itemSize >= 24 && childSize >= 16 && childSize <= itemSize - 8 &&
            memcmp(child + 4, "data", 4) == 0) {
            uint32_t type = (uint32_t)(ReadFieldBytes(child + 8, 4) & 0xFFFFFF);
            const unsigned char *value = child + 16;
            uint64_t length = childSize - 16;
            if (type == 1 || type == 4)
                sink->text(sink->context, "value", (const char *)value, (size_t)length);
            else if ((type == 21 || type == 22 || type == 0) && length >= 1 && length <= 8)
                SendField(sink, "value", type == 21 ? FK_SIGNED : FK_UNSIGNED, (unsigned)length,
                          value);
            else
                sink->number(sink->context, "value_size", length, FIELD_UNSIGNED);
        }
        sink->endEntry(sink->context);
        shown++;
        reader->pos += itemSize;
    }
    sink->endTable(sink->context, leftOut);
}

void DecodeUserDataText(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags))
        return;
    if (!ReadAndSend(reader, sink, "language", 2, FK_LANGUAGE, 0))
        return;
    SendName(reader, sink, "text");
}

void DecodePlainText(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    SendName(reader, sink, "text");
}

// Boxes inside a full box's payload are not atoms of the tree (their first
// bytes are version and flags), so a meta box lists its own, and a sample
// entry its protection scheme's: each with its fields when they are known,
// containers with theirs in turn.
static const char containerCodes[] = "iprpipcodinfschi";

static void DecodeChildBoxes(const FieldBox *parent, FieldReader *reader, uint64_t limit,
                             const FieldSink *sink, const char *table, unsigned depth)
{
    // The enclosing types, with parent's own at the end, for the children.
    unsigned char parents[4 * 8];
    uint32_t parentCount = parent->parentCount < 7 ? parent->parentCount : 7;
    if (parentCount != 0)
        memcpy(parents, parent->parentTypes + 4 * (parent->parentCount - parentCount),
               4 * parentCount);
    memcpy(parents + 4 * parentCount, parent->type, 4);
    sink->beginTable(sink->context, table);
    uint64_t shown = 0, leftOut = 0;
    while (FieldBytesLeft(reader) >= 8) {
        const unsigned char *header = reader->bytes + reader->pos;
        uint64_t size = ReadFieldBytes(header, 4);
        if (size < 8 || size > FieldBytesLeft(reader)) {
            SendProblem(sink, reader->offset + reader->pos,
                        "box size %llu does not fit the %llu bytes left", (unsigned long long)size,
                        (unsigned long long)FieldBytesLeft(reader));
            break;
        }
        // Every box of the parent itself; those of its containers (the
        // properties of an image) up to limit.
        if (depth > 0 && shown >= limit) {
            leftOut++;
            reader->pos += size;
            continue;
        }
        FieldBox child;
        memcpy(child.type, header + 4, 4);
        child.payload = header + 8;
        child.payloadSize = size - 8;
        child.payloadOffset = reader->offset + reader->pos + 8;
        child.parentTypes = parents;
        child.parentCount = parentCount + 1;
        sink->beginEntry(sink->context);
        sink->text(sink->context, "box", (const char *)header + 4, 4);
        sink->number(sink->context, "offset", reader->offset + reader->pos, FIELD_UNSIGNED);
        sink->number(sink->context, "size", size, FIELD_UNSIGNED);
        const BoxFieldsEntry *entry = FindBoxFields(&child);
        int container = 0;
        for (size_t i = 0; containerCodes[i] != '\0'; i += 4)
            container = container || memcmp(containerCodes + i, child.type, 4) == 0;
        if (entry != 0) {
            DecodeBoxFields(&child, limit, sink);
        } else if (container && depth < 4) {
            FieldReader inner =
                MakeFieldReader(child.payload, child.payloadSize, child.payloadOffset);
            // dinf holds dref, a full box with a count: its codes suffice.
            DecodeChildBoxes(&child, &inner, limit, sink, "boxes", depth + 1);
        }
        sink->endEntry(sink->context);
        shown++;
        reader->pos += size;
    }
    sink->endTable(sink->context, leftOut);
}

void DecodeMeta(const FieldBox *box, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    // ISO's meta is a full box; QuickTime's holds its boxes directly, and
    // the tree already shows them.
    if (box->payloadSize >= 8 && ReadFieldBytes(box->payload, 4) == 0) {
        uint32_t version, flags;
        ReadFullBoxHeader(reader, sink, &version, &flags);
        DecodeChildBoxes(box, reader, limit, sink, "boxes", 0);
    }
}

void SendChildBoxes(const FieldBox *parent, FieldReader *reader, uint64_t limit,
                    const FieldSink *sink, const char *table)
{
    DecodeChildBoxes(parent, reader, limit, sink, table, 0);
}
