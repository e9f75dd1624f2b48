// Protection (common encryption) and items (HEIF, AVIF).
#include "fields/box_decoders.h"

#include <string.h>

void DecodePssh(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadAndSend(reader, sink, "SystemID", 16, FK_UUID, 0))
        return;
    if (version > 0) {
        uint64_t count;
        if (!ReadAndSend(reader, sink, "KID_count", 4, FK_UNSIGNED, &count))
            return;
        uint64_t room = FieldBytesLeft(reader) / 16;
        uint64_t available = count < room ? count : room;
        uint64_t shown = available < limit ? available : limit;
        sink->beginTable(sink->context, "KIDs");
        for (uint64_t i = 0; i < shown; i++) {
            sink->beginEntry(sink->context);
            SendField(sink, "KID", FK_UUID, 16, reader->bytes + reader->pos + 16 * i);
            sink->endEntry(sink->context);
        }
        sink->endTable(sink->context, available - shown);
        if (available < count) {
            SendProblem(sink, reader->offset + reader->pos + 16 * available,
                        "pssh declares %llu key IDs; the payload holds %llu of them",
                        (unsigned long long)count, (unsigned long long)available);
            return;
        }
        reader->pos += 16 * count;
    }
    uint64_t dataSize;
    if (!ReadAndSend(reader, sink, "DataSize", 4, FK_UNSIGNED, &dataSize))
        return;
    if (dataSize > FieldBytesLeft(reader))
        SendProblem(sink, reader->offset + reader->pos,
                    "DataSize %llu runs past the payload: %llu bytes left",
                    (unsigned long long)dataSize, (unsigned long long)FieldBytesLeft(reader));
}

void DecodeTenc(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    uint32_t version, flags;
    uint64_t pattern, isProtected, ivSize;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadOrComplain(reader, sink, "reserved", 1, &pattern) ||
        !ReadOrComplain(reader, sink, "default_crypt_byte_block", 1, &pattern))
        return;
    if (version > 0) {
        sink->number(sink->context, "default_crypt_byte_block", pattern >> 4, FIELD_UNSIGNED);
        sink->number(sink->context, "default_skip_byte_block", pattern & 0xF, FIELD_UNSIGNED);
    }
    if (!ReadAndSend(reader, sink, "default_isProtected", 1, FK_UNSIGNED, &isProtected) ||
        !ReadAndSend(reader, sink, "default_Per_Sample_IV_Size", 1, FK_UNSIGNED, &ivSize) ||
        !ReadAndSend(reader, sink, "default_KID", 16, FK_UUID, 0))
        return;
    if (isProtected == 1 && ivSize == 0) {
        uint64_t constantSize;
        if (!ReadAndSend(reader, sink, "default_constant_IV_size", 1, FK_UNSIGNED, &constantSize))
            return;
        if (constantSize > FieldBytesLeft(reader))
            SendShortField(sink, reader, "default_constant_IV", constantSize);
    }
}

void DecodeSchm(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadAndSend(reader, sink, "scheme_type", 4, FK_CODE, 0) ||
        !ReadAndSend(reader, sink, "scheme_version", 4, FK_HEX, 0))
        return;
    if (flags & 1) {
        FieldLayout uri = {"scheme_uri", 0, FK_STRING};
        ReadFieldLayout(reader, version, &uri, 1, sink, 0);
    }
}

// The auxiliary information type that saiz and saio carry when flags & 1.
static int ReadAuxInfoType(FieldReader *reader, uint32_t flags, const FieldSink *sink)
{
    if ((flags & 1) == 0)
        return 1;
    return ReadAndSend(reader, sink, "aux_info_type", 4, FK_CODE, 0) &&
        ReadAndSend(reader, sink, "aux_info_type_parameter", 4, FK_UNSIGNED, 0);
}

// A run of count values of width bytes each, up to limit of them.
static void SendValueTable(FieldReader *reader, const FieldSink *sink, const char *table,
                           const char *name, unsigned width, uint64_t count, uint64_t limit)
{
    uint64_t room = FieldBytesLeft(reader) / width;
    uint64_t available = count < room ? count : room;
    uint64_t shown = available < limit ? available : limit;
    sink->beginTable(sink->context, table);
    for (uint64_t i = 0; i < shown; i++) {
        sink->beginEntry(sink->context);
        SendField(sink, name, FK_UNSIGNED, width, reader->bytes + reader->pos + width * i);
        sink->endEntry(sink->context);
    }
    sink->endTable(sink->context, available - shown);
    if (available < count)
        SendProblem(sink, reader->offset + reader->pos + width * available,
                    "%llu entries of %u bytes declared; the payload holds %llu of them",
                    (unsigned long long)count, width, (unsigned long long)available);
}

void DecodeSaiz(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    uint64_t defaultSize, count;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadAuxInfoType(reader, flags, sink) ||
        !ReadAndSend(reader, sink, "default_sample_info_size", 1, FK_UNSIGNED, &defaultSize) ||
        !ReadAndSend(reader, sink, "sample_count", 4, FK_UNSIGNED, &count))
        return;
    if (defaultSize == 0)
        SendValueTable(reader, sink, "entries", "sample_info_size", 1, count, limit);
}

void DecodeSaio(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    uint64_t count;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadAuxInfoType(reader, flags, sink) ||
        !ReadAndSend(reader, sink, "entry_count", 4, FK_UNSIGNED, &count))
        return;
    SendValueTable(reader, sink, "entries", "offset", version == 0 ? 4 : 8, count, limit);
}

void DecodeSenc(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags))
        return;
    static const uint32_t masks[] = {0x2};
    static const char *const names[] = {"use-subsample-encryption"};
    SendFlagWords(sink, flags, masks, names, 1);
    ReadAndSend(reader, sink, "sample_count", 4, FK_UNSIGNED, 0);
}

void DecodePitm(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    uint32_t version, flags;
    if (ReadFullBoxHeader(reader, sink, &version, &flags))
        ReadAndSend(reader, sink, "item_ID", version == 0 ? 2 : 4, FK_UNSIGNED, 0);
}

// The fields of an item information entry (after its version and flags).
static void SendItemInfo(FieldReader *reader, uint32_t version, const FieldSink *sink)
{
    static const FieldLayout early[] = {
        {"item_ID", 2, FK_UNSIGNED},
        {"item_protection_index", 2, FK_UNSIGNED},
        {"item_name", 0, FK_STRING},
        {"content_type", 0, FK_STRING},
    };
    if (version < 2) {
        ReadFieldLayout(reader, version, early, 4, sink, 0);
        return;
    }
    uint64_t itemType = 0;
    if (!ReadAndSend(reader, sink, "item_ID", version == 2 ? 2 : 4, FK_UNSIGNED, 0) ||
        !ReadAndSend(reader, sink, "item_protection_index", 2, FK_UNSIGNED, 0) ||
        !ReadAndSend(reader, sink, "item_type", 4, FK_CODE, &itemType))
        return;
    FieldLayout name = {"item_name", 0, FK_STRING};
    ReadFieldLayout(reader, version, &name, 1, sink, 0);
    if (itemType == 0x6D696D65 && FieldBytesLeft(reader) > 0) {  // 'mime'
        FieldLayout type = {"content_type", 0, FK_STRING};
        ReadFieldLayout(reader, version, &type, 1, sink, 0);
    } else if (itemType == 0x75726920 && FieldBytesLeft(reader) > 0) {  // 'uri '
        FieldLayout uri = {"item_uri_type", 0, FK_STRING};
        ReadFieldLayout(reader, version, &uri, 1, sink, 0);
    }
}

void DecodeInfe(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    uint32_t version, flags;
    if (ReadFullBoxHeader(reader, sink, &version, &flags))
        SendItemInfo(reader, version, sink);
}

void DecodeIinf(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    uint64_t count;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadAndSend(reader, sink, "entry_count", version == 0 ? 2 : 4, FK_UNSIGNED, &count))
        return;
    sink->beginTable(sink->context, "items");
    uint64_t index = 0;
    while (index < count && index < limit && FieldBytesLeft(reader) >= 12) {
        const unsigned char *box = reader->bytes + reader->pos;
        uint64_t size = ReadFieldBytes(box, 4);
        if (size < 12 || size > FieldBytesLeft(reader) || memcmp(box + 4, "infe", 4) != 0)
            break;
        FieldReader entry = MakeFieldReader(box + 12, size - 12, reader->offset + reader->pos + 12);
        sink->beginEntry(sink->context);
        SendItemInfo(&entry, box[8], sink);
        sink->endEntry(sink->context);
        reader->pos += size;
        index++;
    }
    sink->endTable(sink->context, EntriesLeftOut(count, index));
    if (index < count && index < limit)
        SendProblem(sink, reader->offset + reader->pos,
                    "item %llu of %llu is no whole 'infe' box in the %llu bytes left",
                    (unsigned long long)index + 1, (unsigned long long)count,
                    (unsigned long long)FieldBytesLeft(reader));
}

void DecodeIloc(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    uint64_t sizes, count;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadOrComplain(reader, sink, "offset_size", 2, &sizes))
        return;
    const unsigned offsetSize = (unsigned)(sizes >> 12);
    const unsigned lengthSize = (unsigned)(sizes >> 8) & 0xF;
    const unsigned baseOffsetSize = (unsigned)(sizes >> 4) & 0xF;
    const unsigned indexSize = version == 1 || version == 2 ? (unsigned)sizes & 0xF : 0;
    sink->number(sink->context, "offset_size", offsetSize, FIELD_UNSIGNED);
    sink->number(sink->context, "length_size", lengthSize, FIELD_UNSIGNED);
    sink->number(sink->context, "base_offset_size", baseOffsetSize, FIELD_UNSIGNED);
    if (version == 1 || version == 2)
        sink->number(sink->context, "index_size", indexSize, FIELD_UNSIGNED);
    const unsigned allowed[] = {offsetSize, lengthSize, baseOffsetSize, indexSize};
    for (unsigned size : allowed) {
        if (size != 0 && size != 4 && size != 8) {
            SendProblem(sink, reader->offset + 4, "a field size of %u bytes: only 0, 4 and 8 are",
                        size);
            return;
        }
    }
    if (!ReadAndSend(reader, sink, "item_count", version < 2 ? 2 : 4, FK_UNSIGNED, &count))
        return;
    sink->beginTable(sink->context, "items");
    uint64_t index = 0;
    for (; index < count && index < limit; index++) {
        uint64_t method = 0, extents;
        sink->beginEntry(sink->context);
        int whole = ReadAndSend(reader, sink, "item_ID", version < 2 ? 2 : 4, FK_UNSIGNED, 0);
        if (whole && (version == 1 || version == 2)) {
            whole = ReadOrComplain(reader, sink, "construction_method", 2, &method);
            if (whole)
                sink->number(sink->context, "construction_method", method & 0xF, FIELD_UNSIGNED);
        }
        whole = whole && ReadAndSend(reader, sink, "data_reference_index", 2, FK_UNSIGNED, 0) &&
            (baseOffsetSize == 0 ||
             ReadAndSend(reader, sink, "base_offset", baseOffsetSize, FK_UNSIGNED, 0)) &&
            ReadAndSend(reader, sink, "extent_count", 2, FK_UNSIGNED, &extents);
        // Extents with no offset, length or index take no bytes: their
        // count says all there is.
        if (whole && indexSize + offsetSize + lengthSize == 0)
            extents = 0;
        if (whole) {
            sink->beginTable(sink->context, "extents");
            uint64_t e = 0;
            for (; e < extents && whole; e++) {
                if (e >= limit) {
                    // Past the limit: still read, to find the next item.
                    uint64_t skip = indexSize + offsetSize + lengthSize;
                    if (FieldBytesLeft(reader) < skip) {
                        whole = 0;
                        break;
                    }
                    reader->pos += skip;
                    continue;
                }
                sink->beginEntry(sink->context);
                whole = (indexSize == 0 ||
                         ReadAndSend(reader, sink, "extent_index", indexSize, FK_UNSIGNED, 0)) &&
                    (offsetSize == 0 ||
                     ReadAndSend(reader, sink, "extent_offset", offsetSize, FK_UNSIGNED, 0)) &&
                    (lengthSize == 0 ||
                     ReadAndSend(reader, sink, "extent_length", lengthSize, FK_UNSIGNED, 0));
                sink->endEntry(sink->context);
            }
            sink->endTable(sink->context, EntriesLeftOut(extents, limit));
        }
        sink->endEntry(sink->context);
        if (!whole)
            break;
    }
    sink->endTable(sink->context, EntriesLeftOut(count, index));
}

void DecodeIpma(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    uint64_t count;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadAndSend(reader, sink, "entry_count", 4, FK_UNSIGNED, &count))
        return;
    const unsigned indexWidth = (flags & 1) ? 2 : 1;
    sink->beginTable(sink->context, "items");
    uint64_t index = 0;
    for (; index < count && index < limit; index++) {
        uint64_t associations;
        sink->beginEntry(sink->context);
        int whole = ReadAndSend(reader, sink, "item_ID", version < 1 ? 2 : 4, FK_UNSIGNED, 0) &&
            ReadAndSend(reader, sink, "association_count", 1, FK_UNSIGNED, &associations);
        if (whole) {
            sink->beginTable(sink->context, "associations");
            uint64_t a = 0;
            for (; a < associations; a++) {
                uint64_t value;
                if (!ReadOrComplain(reader, sink, "property_index", indexWidth, &value)) {
                    whole = 0;
                    break;
                }
                sink->beginEntry(sink->context);
                const unsigned bits = 8 * indexWidth - 1;
                sink->number(sink->context, "essential", value >> bits, FIELD_UNSIGNED);
                sink->number(sink->context, "property_index", value & ((1u << bits) - 1),
                             FIELD_UNSIGNED);
                sink->endEntry(sink->context);
            }
            sink->endTable(sink->context, 0);
        }
        sink->endEntry(sink->context);
        if (!whole) {
            index++;
            break;
        }
    }
    sink->endTable(sink->context, EntriesLeftOut(count, index));
}

void DecodePixi(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    uint64_t channels;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadAndSend(reader, sink, "num_channels", 1, FK_UNSIGNED, &channels))
        return;
    SendValueTable(reader, sink, "channels", "bits_per_channel", 1, channels, limit);
}

void DecodeColr(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    static const FieldLayout nclx[] = {
        {"colour_primaries", 2, FK_UNSIGNED},
        {"transfer_characteristics", 2, FK_UNSIGNED},
        {"matrix_coefficients", 2, FK_UNSIGNED},
    };
    uint64_t type;
    if (!ReadAndSend(reader, sink, "colour_type", 4, FK_CODE, &type))
        return;
    if (type == 0x6E636C78 || type == 0x6E636C63) {  // 'nclx', QuickTime's 'nclc'
        if (!ReadFieldLayout(reader, 0, nclx, 3, sink, 0))
            return;
        uint64_t range;
        if (type == 0x6E636C78 && ReadOrComplain(reader, sink, "full_range_flag", 1, &range))
            sink->number(sink->context, "full_range_flag", range >> 7, FIELD_UNSIGNED);
    } else {
        sink->number(sink->context, "ICC_profile_size", FieldBytesLeft(reader), FIELD_UNSIGNED);
    }
}

// Child boxes: a reference type, the item it is from, the items it is to.
void DecodeIref(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags))
        return;
    const unsigned idWidth = version == 0 ? 2 : 4;
    sink->beginTable(sink->context, "references");
    uint64_t shown = 0, leftOut = 0;
    while (FieldBytesLeft(reader) >= 8) {
        const unsigned char *box = reader->bytes + reader->pos;
        uint64_t size = ReadFieldBytes(box, 4);
        if (size < 8 || size > FieldBytesLeft(reader)) {
            SendProblem(sink, reader->offset + reader->pos,
                        "reference box size %llu does not fit the %llu bytes left",
                        (unsigned long long)size, (unsigned long long)FieldBytesLeft(reader));
            break;
        }
        if (shown >= limit) {
            leftOut++;
            reader->pos += size;
            continue;
        }
        FieldReader entry = MakeFieldReader(box + 8, size - 8, reader->offset + reader->pos + 8);
        uint64_t count;
        sink->beginEntry(sink->context);
        sink->text(sink->context, "reference_type", (const char *)box + 4, 4);
        if (ReadAndSend(&entry, sink, "from_item_ID", idWidth, FK_UNSIGNED, 0) &&
            ReadAndSend(&entry, sink, "reference_count", 2, FK_UNSIGNED, &count))
            SendValueTable(&entry, sink, "to_item_IDs", "item_ID", idWidth, count, limit);
        sink->endEntry(sink->context);
        shown++;
        reader->pos += size;
    }
    sink->endTable(sink->context, leftOut);
}
