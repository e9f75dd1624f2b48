#include "fields/box_tables.h"

#include <stdio.h>
#include <string.h>

static const FlatTableLayout flatTableLayouts[] = {
    {"stts",
     {{"entry_count", 4, FK_UNSIGNED}},
     1,
     "entries",
     {{"sample_count", 4, FK_UNSIGNED}, {"sample_delta", 4, FK_UNSIGNED}},
     2,
     0},
    {"ctts",
     {{"entry_count", 4, FK_UNSIGNED}},
     1,
     "entries",
     {{"sample_count", 4, FK_UNSIGNED}, {"sample_offset", 4, FK_UNSIGNED}},
     2,
     0},
    {"stsc",
     {{"entry_count", 4, FK_UNSIGNED}},
     1,
     "entries",
     {{"first_chunk", 4, FK_UNSIGNED},
      {"samples_per_chunk", 4, FK_UNSIGNED},
      {"sample_description_index", 4, FK_UNSIGNED}},
     3,
     0},
    {"stsz",
     {{"sample_size", 4, FK_UNSIGNED}, {"sample_count", 4, FK_UNSIGNED}},
     2,
     "entries",
     {{"entry_size", 4, FK_UNSIGNED}},
     1,
     1},
    {"stco",
     {{"entry_count", 4, FK_UNSIGNED}},
     1,
     "entries",
     {{"chunk_offset", 4, FK_UNSIGNED}},
     1,
     0},
    {"co64",
     {{"entry_count", 4, FK_UNSIGNED}},
     1,
     "entries",
     {{"chunk_offset", 8, FK_UNSIGNED}},
     1,
     0},
    {"stss",
     {{"entry_count", 4, FK_UNSIGNED}},
     1,
     "entries",
     {{"sample_number", 4, FK_UNSIGNED}},
     1,
     0},
    {"stps",
     {{"entry_count", 4, FK_UNSIGNED}},
     1,
     "entries",
     {{"sample_number", 4, FK_UNSIGNED}},
     1,
     0},
    {"elst",
     {{"entry_count", 4, FK_UNSIGNED}},
     1,
     "entries",
     {{"segment_duration", FW_VERSIONED, FK_UNSIGNED},
      {"media_time", FW_VERSIONED, FK_SIGNED},
      {"media_rate_integer", 2, FK_SIGNED},
      {"media_rate_fraction", 2, FK_UNSIGNED}},
     4,
     0},
    {"sbgp",
     {{"grouping_type", 4, FK_CODE},
      {"grouping_type_parameter", FW_V1_ONLY, FK_UNSIGNED},
      {"entry_count", 4, FK_UNSIGNED}},
     3,
     "entries",
     {{"sample_count", 4, FK_UNSIGNED}, {"group_description_index", 4, FK_UNSIGNED}},
     2,
     0},
};

const FlatTableLayout *FindFlatTableLayout(const unsigned char *type)
{
    for (const FlatTableLayout &layout : flatTableLayouts) {
        if (memcmp(layout.type, type, 4) == 0)
            return &layout;
    }
    return 0;
}

int OpenFlatTable(const FlatTableLayout *layout, const unsigned char *payload, uint64_t payloadSize,
                  uint64_t payloadOffset, const FieldSink *sink, FlatTable *table)
{
    *table = {};
    table->layout = layout;
    FieldReader reader = MakeFieldReader(payload, payloadSize, payloadOffset);
    if (!ReadFullBoxHeader(&reader, sink, &table->version, &table->flags))
        return 0;
    if (!ReadFieldLayout(&reader, table->version, layout->header, layout->headerCount, sink,
                         table->header))
        return 0;
    table->headerWhole = 1;
    table->count = table->header[layout->headerCount - 1];
    if (layout->entriesWhenFirstIsZero && table->header[0] != 0)
        table->count = 0;
    uint32_t at = 0;
    for (unsigned i = 0; i < layout->entryFields; i++) {
        table->columnOffset[i] = (uint8_t)at;
        table->columnWidth[i] = (uint8_t)FieldWidth(&layout->entry[i], table->version);
        at += table->columnWidth[i];
    }
    table->entrySize = at;
    table->entries = payload + reader.pos;
    table->entriesOffset = payloadOffset + reader.pos;
    uint64_t room = FieldBytesLeft(&reader) / at;
    table->available = table->count < room ? table->count : room;
    return 1;
}

void SendFlatTableEntries(const FlatTable *table, uint64_t limit, const FieldSink *sink)
{
    const FlatTableLayout *layout = table->layout;
    if (table->count == 0)
        return;
    uint64_t shown = table->available < limit ? table->available : limit;
    // Offsets of a composition table are signed from version 1 on.
    const int signedOffsets = memcmp(layout->type, "ctts", 4) == 0 && table->version >= 1;
    sink->beginTable(sink->context, layout->tableName);
    for (uint64_t i = 0; i < shown; i++) {
        sink->beginEntry(sink->context);
        const unsigned char *entry = table->entries + i * table->entrySize;
        for (unsigned c = 0; c < layout->entryFields; c++) {
            unsigned kind = layout->entry[c].kind;
            if (signedOffsets && c == 1)
                kind = FK_SIGNED;
            SendField(sink, layout->entry[c].name, kind, table->columnWidth[c],
                      entry + table->columnOffset[c]);
        }
        sink->endEntry(sink->context);
    }
    sink->endTable(sink->context, table->available - shown);
    if (table->available < table->count) {
        char text[200];
        snprintf(text, sizeof text,
                 "%s declares %llu entries of %u bytes; the payload holds %llu of them",
                 layout->type, (unsigned long long)table->count, (unsigned)table->entrySize,
                 (unsigned long long)table->available);
        sink->problem(sink->context, table->entriesOffset + table->available * table->entrySize,
                      text);
    }
}

int ReadTrackFragmentHeader(const unsigned char *payload, uint64_t payloadSize,
                            uint64_t payloadOffset, const FieldSink *sink,
                            TrackFragmentHeader *header)
{
    *header = {};
    FieldReader reader = MakeFieldReader(payload, payloadSize, payloadOffset);
    uint32_t version;
    if (!ReadFullBoxHeader(&reader, sink, &version, &header->flags))
        return 0;
    if (sink != 0) {
        static const char *const names[] = {"base-data-offset",        "sample-description-index",
                                            "default-sample-duration", "default-sample-size",
                                            "default-sample-flags",    "duration-is-empty",
                                            "default-base-is-moof"};
        static const uint32_t masks[] = {0x1, 0x2, 0x8, 0x10, 0x20, 0x10000, 0x20000};
        SendFlagWords(sink, header->flags, masks, names, 7);
    }
    // Each optional field and the flag that brings it.
    const FieldLayout trackId = {"track_ID", 4, FK_UNSIGNED};
    uint64_t value = 0;
    if (!ReadFieldLayout(&reader, 0, &trackId, 1, sink, &value))
        return 0;
    header->trackId = (uint32_t)value;
    static const struct {
        uint32_t flag;
        FieldLayout field;
    } optional[] = {
        {0x1, {"base_data_offset", 8, FK_UNSIGNED}},
        {0x2, {"sample_description_index", 4, FK_UNSIGNED}},
        {0x8, {"default_sample_duration", 4, FK_UNSIGNED}},
        {0x10, {"default_sample_size", 4, FK_UNSIGNED}},
        {0x20, {"default_sample_flags", 4, FK_HEX}},
    };
    uint64_t values[5] = {0, 0, 0, 0, 0};
    for (unsigned i = 0; i < 5; i++) {
        if ((header->flags & optional[i].flag) == 0)
            continue;
        if (!ReadFieldLayout(&reader, 0, &optional[i].field, 1, sink, &values[i]))
            return 0;
    }
    header->baseDataOffset = values[0];
    header->sampleDescriptionIndex = (uint32_t)values[1];
    header->defaultSampleDuration = (uint32_t)values[2];
    header->defaultSampleSize = (uint32_t)values[3];
    header->defaultSampleFlags = (uint32_t)values[4];
    return 1;
}

int OpenTrackRun(const unsigned char *payload, uint64_t payloadSize, uint64_t payloadOffset,
                 const FieldSink *sink, TrackRun *run)
{
    *run = {};
    FieldReader reader = MakeFieldReader(payload, payloadSize, payloadOffset);
    if (!ReadFullBoxHeader(&reader, sink, &run->version, &run->flags))
        return 0;
    if (sink != 0) {
        static const char *const names[] = {"data-offset",     "first-sample-flags",
                                            "sample-duration", "sample-size",
                                            "sample-flags",    "sample-composition-time-offset"};
        static const uint32_t masks[] = {0x1, 0x4, 0x100, 0x200, 0x400, 0x800};
        SendFlagWords(sink, run->flags, masks, names, 6);
    }
    uint64_t value = 0;
    const FieldLayout count = {"sample_count", 4, FK_UNSIGNED};
    if (!ReadFieldLayout(&reader, 0, &count, 1, sink, &value))
        return 0;
    run->sampleCount = (uint32_t)value;
    if (run->flags & TRUN_DATA_OFFSET) {
        const FieldLayout field = {"data_offset", 4, FK_SIGNED};
        if (!ReadFieldLayout(&reader, 0, &field, 1, sink, &value))
            return 0;
        run->hasDataOffset = 1;
        run->dataOffset = (int32_t)(uint32_t)value;
    }
    if (run->flags & TRUN_FIRST_SAMPLE_FLAGS) {
        const FieldLayout field = {"first_sample_flags", 4, FK_HEX};
        if (!ReadFieldLayout(&reader, 0, &field, 1, sink, &value))
            return 0;
    }
    int8_t at = 0;
    run->durationAt = run->sizeAt = run->flagsAt = run->compositionAt = -1;
    if (run->flags & TRUN_SAMPLE_DURATION) {
        run->durationAt = at;
        at += 4;
    }
    if (run->flags & TRUN_SAMPLE_SIZE) {
        run->sizeAt = at;
        at += 4;
    }
    if (run->flags & TRUN_SAMPLE_FLAGS) {
        run->flagsAt = at;
        at += 4;
    }
    if (run->flags & TRUN_SAMPLE_COMPOSITION) {
        run->compositionAt = at;
        at += 4;
    }
    run->recordSize = (uint32_t)at;
    run->samples = payload + reader.pos;
    run->samplesOffset = payloadOffset + reader.pos;
    uint64_t room = at == 0 ? run->sampleCount : FieldBytesLeft(&reader) / (uint64_t)at;
    run->available = run->sampleCount < room ? run->sampleCount : room;
    return 1;
}

int OpenCompactSampleSizes(const unsigned char *payload, uint64_t payloadSize,
                           uint64_t payloadOffset, const FieldSink *sink, CompactSampleSizes *table)
{
    static const FieldLayout layout[] = {
        {"reserved", 3, FK_RESERVED},
        {"field_size", 1, FK_UNSIGNED},
        {"sample_count", 4, FK_UNSIGNED},
    };
    *table = {};
    FieldReader reader = MakeFieldReader(payload, payloadSize, payloadOffset);
    uint32_t version, flags;
    uint64_t values[3];
    if (!ReadFullBoxHeader(&reader, sink, &version, &flags) ||
        !ReadFieldLayout(&reader, version, layout, 3, sink, values))
        return 0;
    table->fieldSize = (uint32_t)values[1];
    table->sampleCount = (uint32_t)values[2];
    if (table->fieldSize != 4 && table->fieldSize != 8 && table->fieldSize != 16) {
        if (sink != 0) {
            char text[96];
            snprintf(text, sizeof text, "field_size %u is none of 4, 8 and 16",
                     (unsigned)table->fieldSize);
            sink->problem(sink->context, payloadOffset + 7, text);
        }
        return 0;
    }
    table->sizes = payload + reader.pos;
    table->sizesOffset = payloadOffset + reader.pos;
    uint64_t room = FieldBytesLeft(&reader) * 8 / table->fieldSize;
    table->available = table->sampleCount < room ? table->sampleCount : room;
    return 1;
}
