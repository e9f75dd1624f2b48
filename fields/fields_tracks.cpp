// Sample tables, sample descriptions, fragments and segments.
#include "fields/box_decoders.h"
#include "fields/box_tables.h"

#include <string.h>

void DecodeFlatTableBox(const FieldBox *box, FieldReader *reader, uint64_t limit,
                        const FieldSink *sink)
{
    const FlatTableLayout *layout = FindFlatTableLayout(box->type);
    FlatTable table;
    if (layout == 0 ||
        !OpenFlatTable(layout, reader->bytes, reader->size, reader->offset, sink, &table))
        return;
    SendFlatTableEntries(&table, limit, sink);
}

void DecodeStz2(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    CompactSampleSizes table;
    if (!OpenCompactSampleSizes(reader->bytes, reader->size, reader->offset, sink, &table))
        return;
    uint64_t shown = table.available < limit ? table.available : limit;
    sink->beginTable(sink->context, "entries");
    for (uint64_t i = 0; i < shown; i++) {
        sink->beginEntry(sink->context);
        sink->number(sink->context, "entry_size", CompactSampleSize(&table, i), FIELD_UNSIGNED);
        sink->endEntry(sink->context);
    }
    sink->endTable(sink->context, table.available - shown);
    if (table.available < table.sampleCount)
        SendProblem(sink, table.sizesOffset,
                    "stz2 declares %u sizes of %u bits; the payload holds %llu of them",
                    table.sampleCount, table.fieldSize, (unsigned long long)table.available);
}

// One byte per sample: four 2-bit fields.
void DecodeSdtp(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags))
        return;
    uint64_t count = FieldBytesLeft(reader);
    sink->number(sink->context, "sample_count", count, FIELD_UNSIGNED);
    uint64_t shown = count < limit ? count : limit;
    sink->beginTable(sink->context, "entries");
    for (uint64_t i = 0; i < shown; i++) {
        unsigned char byte = reader->bytes[reader->pos + i];
        sink->beginEntry(sink->context);
        sink->number(sink->context, "is_leading", byte >> 6, FIELD_UNSIGNED);
        sink->number(sink->context, "sample_depends_on", (byte >> 4) & 3, FIELD_UNSIGNED);
        sink->number(sink->context, "sample_is_depended_on", (byte >> 2) & 3, FIELD_UNSIGNED);
        sink->number(sink->context, "sample_has_redundancy", byte & 3, FIELD_UNSIGNED);
        sink->endEntry(sink->context);
    }
    sink->endTable(sink->context, count - shown);
}

void DecodeSgpd(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    static const FieldLayout layout[] = {
        {"grouping_type", 4, FK_CODE},
        {"default_length", FW_V1_ONLY, FK_UNSIGNED},
    };
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadFieldLayout(reader, version, layout, 2, sink, 0))
        return;
    if (version >= 2 &&
        !ReadAndSend(reader, sink, "default_group_description_index", 4, FK_UNSIGNED, 0))
        return;
    ReadAndSend(reader, sink, "entry_count", 4, FK_UNSIGNED, 0);
}

// Sample entry codes whose entries are laid out as visual or as audio ones.
static const char visualCodes[] =
    "avc1avc2avc3avc4hvc1hev1hvc2hev2vvc1vvi1dvh1dvhedvavdva1dav1av01vp08vp09mp4vencvs263h263"
    "jpegmjpamjpbmjp2apcnapchapcsapcoap4hap4xavs3evc1j2kiuncv";
static const char audioCodes[] = "mp4aencaac-3ec-3ac-4OpusfLaCalacsamrsawbsawpsevcsqcpipcmfpcm"
                                 "lpcmsowttwosin24in32fl32fl64.mp3mha1mha2mhm1mhm2dtscdtshdtsl"
                                 "dtseulawalawmlpa";

static int CodeInList(const unsigned char *code, const char *list)
{
    for (size_t i = 0; list[i] != '\0'; i += 4) {
        if (memcmp(list + i, code, 4) == 0)
            return 1;
    }
    return 0;
}

// The codes of the boxes in bytes[0, size), as "avcC btrt pasp".
static void SendChildCodes(const FieldSink *sink, const unsigned char *bytes, uint64_t size)
{
    char codes[5 * 24];
    size_t used = 0;
    uint64_t at = 0;
    while (size - at >= 8 && used + 5 <= sizeof codes) {
        uint64_t childSize = ReadFieldBytes(bytes + at, 4);
        if (childSize < 8 || childSize > size - at)
            break;
        if (used != 0)
            codes[used++] = ' ';
        memcpy(codes + used, bytes + at + 4, 4);
        used += 4;
        at += childSize;
    }
    sink->text(sink->context, "boxes", codes, used);
}

// The boxes of a protected entry's scheme (sinf: frma, schm, schi with
// tenc), which no walk reaches inside the stsd, as the table "sinf".
static void SendProtectionScheme(const unsigned char *bytes, uint64_t size, uint64_t offset,
                                 uint64_t limit, const FieldSink *sink)
{
    for (uint64_t at = 0; size - at >= 8;) {
        uint64_t childSize = ReadFieldBytes(bytes + at, 4);
        if (childSize < 8 || childSize > size - at)
            return;
        if (memcmp(bytes + at + 4, "sinf", 4) == 0) {
            FieldBox sinf;
            memcpy(sinf.type, "sinf", 4);
            sinf.payload = bytes + at + 8;
            sinf.payloadSize = childSize - 8;
            sinf.payloadOffset = offset + at + 8;
            sinf.parentTypes = 0;
            sinf.parentCount = 0;
            FieldReader reader =
                MakeFieldReader(sinf.payload, sinf.payloadSize, sinf.payloadOffset);
            SendChildBoxes(&sinf, &reader, limit, sink, "sinf");
            return;
        }
        at += childSize;
    }
}

static void SendSampleEntry(const unsigned char *entry, uint64_t size, uint64_t offset,
                            uint64_t limit, const FieldSink *sink)
{
    sink->text(sink->context, "format", (const char *)entry + 4, 4);
    if (size >= 16)
        sink->number(sink->context, "data_reference_index", ReadFieldBytes(entry + 14, 2),
                     FIELD_UNSIGNED);
    uint64_t childrenAt = 0;
    if (CodeInList(entry + 4, visualCodes) && size >= 86) {
        sink->number(sink->context, "width", ReadFieldBytes(entry + 32, 2), FIELD_UNSIGNED);
        sink->number(sink->context, "height", ReadFieldBytes(entry + 34, 2), FIELD_UNSIGNED);
        unsigned nameLength = entry[50] < 32 ? entry[50] : 31;
        sink->text(sink->context, "compressorname", (const char *)entry + 51, nameLength);
        sink->number(sink->context, "depth", ReadFieldBytes(entry + 82, 2), FIELD_UNSIGNED);
        childrenAt = 86;
    } else if (CodeInList(entry + 4, audioCodes) && size >= 36) {
        // QuickTime's sound entries of version 1 and 2 add 16 or 36 bytes.
        uint64_t soundVersion = ReadFieldBytes(entry + 16, 2);
        sink->number(sink->context, "channelcount", ReadFieldBytes(entry + 24, 2), FIELD_UNSIGNED);
        sink->number(sink->context, "samplesize", ReadFieldBytes(entry + 26, 2), FIELD_UNSIGNED);
        sink->number(sink->context, "samplerate", ReadFieldBytes(entry + 32, 4), FIELD_FIXED_16_16);
        childrenAt = soundVersion == 1 ? 52 : soundVersion == 2 ? 72 : 36;
    }
    if (childrenAt != 0 && childrenAt <= size) {
        SendChildCodes(sink, entry + childrenAt, size - childrenAt);
        SendProtectionScheme(entry + childrenAt, size - childrenAt, offset + childrenAt, limit,
                             sink);
    }
}

void DecodeStsd(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    uint32_t version, flags;
    uint64_t count;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadAndSend(reader, sink, "entry_count", 4, FK_UNSIGNED, &count))
        return;
    sink->beginTable(sink->context, "entries");
    uint64_t index = 0;
    while (index < count && index < limit && FieldBytesLeft(reader) >= 8) {
        const unsigned char *entry = reader->bytes + reader->pos;
        uint64_t size = ReadFieldBytes(entry, 4);
        if (size < 8 || size > FieldBytesLeft(reader))
            break;
        sink->beginEntry(sink->context);
        sink->number(sink->context, "offset", reader->offset + reader->pos, FIELD_UNSIGNED);
        sink->number(sink->context, "size", size, FIELD_UNSIGNED);
        SendSampleEntry(entry, size, reader->offset + reader->pos, limit, sink);
        sink->endEntry(sink->context);
        reader->pos += size;
        index++;
    }
    sink->endTable(sink->context, EntriesLeftOut(count, index));
    if (index < count && index < limit) {
        uint64_t size =
            FieldBytesLeft(reader) >= 4 ? ReadFieldBytes(reader->bytes + reader->pos, 4) : 0;
        SendProblem(sink, reader->offset + reader->pos,
                    "sample entry %llu of %llu: size %llu does not fit the %llu bytes left",
                    (unsigned long long)index + 1, (unsigned long long)count,
                    (unsigned long long)size, (unsigned long long)FieldBytesLeft(reader));
    }
}

void DecodeTfhd(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    TrackFragmentHeader header;
    ReadTrackFragmentHeader(reader->bytes, reader->size, reader->offset, sink, &header);
}

void DecodeTrun(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    TrackRun run;
    if (!OpenTrackRun(reader->bytes, reader->size, reader->offset, sink, &run))
        return;
    if (run.recordSize == 0)
        return;
    uint64_t shown = run.available < limit ? run.available : limit;
    sink->beginTable(sink->context, "samples");
    for (uint64_t i = 0; i < shown; i++) {
        sink->beginEntry(sink->context);
        const unsigned char *record = run.samples + i * run.recordSize;
        if (run.durationAt >= 0)
            SendField(sink, "sample_duration", FK_UNSIGNED, 4, record + run.durationAt);
        if (run.sizeAt >= 0)
            SendField(sink, "sample_size", FK_UNSIGNED, 4, record + run.sizeAt);
        if (run.flagsAt >= 0)
            SendField(sink, "sample_flags", FK_HEX, 4, record + run.flagsAt);
        if (run.compositionAt >= 0)
            SendField(sink, "sample_composition_time_offset",
                      run.version == 0 ? FK_UNSIGNED : FK_SIGNED, 4, record + run.compositionAt);
        sink->endEntry(sink->context);
    }
    sink->endTable(sink->context, run.available - shown);
    if (run.available < run.sampleCount)
        SendProblem(sink, run.samplesOffset + run.available * run.recordSize,
                    "trun declares %u samples of %u bytes; the payload holds %llu of them",
                    run.sampleCount, run.recordSize, (unsigned long long)run.available);
}

void DecodeSidx(const FieldBox *, FieldReader *reader, uint64_t limit, const FieldSink *sink)
{
    static const FieldLayout layout[] = {
        {"reference_ID", 4, FK_UNSIGNED},
        {"timescale", 4, FK_UNSIGNED},
        {"earliest_presentation_time", FW_VERSIONED, FK_UNSIGNED},
        {"first_offset", FW_VERSIONED, FK_UNSIGNED},
        {"reserved", 2, FK_RESERVED},
        {"reference_count", 2, FK_UNSIGNED},
    };
    uint32_t version, flags;
    uint64_t values[6];
    if (!ReadFullBoxHeader(reader, sink, &version, &flags) ||
        !ReadFieldLayout(reader, version, layout, 6, sink, values))
        return;
    uint64_t count = values[5];
    uint64_t room = FieldBytesLeft(reader) / 12;
    uint64_t available = count < room ? count : room;
    uint64_t shown = available < limit ? available : limit;
    sink->beginTable(sink->context, "references");
    for (uint64_t i = 0; i < shown; i++) {
        const unsigned char *entry = reader->bytes + reader->pos + 12 * i;
        uint64_t first = ReadFieldBytes(entry, 4);
        uint64_t third = ReadFieldBytes(entry + 8, 4);
        sink->beginEntry(sink->context);
        sink->number(sink->context, "reference_type", first >> 31, FIELD_UNSIGNED);
        sink->number(sink->context, "referenced_size", first & 0x7FFFFFFF, FIELD_UNSIGNED);
        sink->number(sink->context, "subsegment_duration", ReadFieldBytes(entry + 4, 4),
                     FIELD_UNSIGNED);
        sink->number(sink->context, "starts_with_SAP", third >> 31, FIELD_UNSIGNED);
        sink->number(sink->context, "SAP_type", (third >> 28) & 7, FIELD_UNSIGNED);
        sink->number(sink->context, "SAP_delta_time", third & 0x0FFFFFFF, FIELD_UNSIGNED);
        sink->endEntry(sink->context);
    }
    sink->endTable(sink->context, available - shown);
    if (available < count)
        SendProblem(sink, reader->offset + reader->pos + 12 * available,
                    "sidx declares %llu references of 12 bytes; the payload holds %llu of them",
                    (unsigned long long)count, (unsigned long long)available);
}

void DecodeEmsg(const FieldBox *, FieldReader *reader, uint64_t, const FieldSink *sink)
{
    static const FieldLayout version0[] = {
        {"scheme_id_uri", 0, FK_STRING},    {"value", 0, FK_STRING},
        {"timescale", 4, FK_UNSIGNED},      {"presentation_time_delta", 4, FK_UNSIGNED},
        {"event_duration", 4, FK_UNSIGNED}, {"id", 4, FK_UNSIGNED},
    };
    static const FieldLayout version1[] = {
        {"timescale", 4, FK_UNSIGNED},      {"presentation_time", 8, FK_UNSIGNED},
        {"event_duration", 4, FK_UNSIGNED}, {"id", 4, FK_UNSIGNED},
        {"scheme_id_uri", 0, FK_STRING},    {"value", 0, FK_STRING},
    };
    uint32_t version, flags;
    if (!ReadFullBoxHeader(reader, sink, &version, &flags))
        return;
    if (!ReadFieldLayout(reader, version, version == 0 ? version0 : version1, 6, sink, 0))
        return;
    sink->number(sink->context, "message_data_size", FieldBytesLeft(reader), FIELD_UNSIGNED);
}
