#pragma once
// The boxes that are a header and a counted run of equal records (sample
// tables, edit lists, chunk offsets...), opened once for the field printer
// and for the reference checks alike.
#include "fields/field_reader.h"

#include <stdint.h>

#define FLAT_TABLE_MAX_COLUMNS 4
#define FLAT_TABLE_MAX_HEADER 4

struct FlatTableLayout {
    char type[5];
    // Fields after version and flags; the last is the entry count.
    FieldLayout header[FLAT_TABLE_MAX_HEADER];
    unsigned headerCount;
    const char *tableName;
    FieldLayout entry[FLAT_TABLE_MAX_COLUMNS];
    unsigned entryFields;
    // stsz: the entries are there only when the first header field (one
    // size for every sample) is 0.
    int entriesWhenFirstIsZero;
};

struct FlatTable {
    const FlatTableLayout *layout;
    uint32_t version;
    uint32_t flags;
    uint64_t header[FLAT_TABLE_MAX_HEADER];
    int headerWhole;     // every header field was there
    uint64_t count;      // the count the box declares (entries it should hold)
    uint64_t available;  // whole entries the payload holds, at most count
    const unsigned char *entries;
    uint64_t entriesOffset;  // absolute
    uint32_t entrySize;
    uint8_t columnOffset[FLAT_TABLE_MAX_COLUMNS];
    uint8_t columnWidth[FLAT_TABLE_MAX_COLUMNS];
};

// The layout for a four-character type, or NULL.
const FlatTableLayout *FindFlatTableLayout(const unsigned char *type);

// Reads the header of a flat table box; its fields go to sink when sink is
// not NULL (problems too). Returns 0 when the layout is not known or the
// header is not whole.
int OpenFlatTable(const FlatTableLayout *layout, const unsigned char *payload, uint64_t payloadSize,
                  uint64_t payloadOffset, const FieldSink *sink, FlatTable *table);

// Column column of entry index (< table->available).
inline uint64_t FlatTableValue(const FlatTable *table, uint64_t index, unsigned column)
{
    const unsigned char *entry = table->entries + index * table->entrySize;
    return ReadFieldBytes(entry + table->columnOffset[column], table->columnWidth[column]);
}

// Sends the entries (up to limit) and says what is missing.
void SendFlatTableEntries(const FlatTable *table, uint64_t limit, const FieldSink *sink);

// tfhd: the track and the defaults its flags say are present.
struct TrackFragmentHeader {
    uint32_t flags;
    uint32_t trackId;
    uint64_t baseDataOffset;  // when flags & 0x1
    uint32_t sampleDescriptionIndex;
    uint32_t defaultSampleDuration;
    uint32_t defaultSampleSize;
    uint32_t defaultSampleFlags;
};
#define TFHD_BASE_DATA_OFFSET 0x1u
#define TFHD_DEFAULT_DURATION 0x8u
#define TFHD_DEFAULT_SIZE 0x10u
#define TFHD_DEFAULT_FLAGS 0x20u
#define TFHD_DEFAULT_BASE_IS_MOOF 0x20000u

// Reads a tfhd (fields to sink when not NULL); 0 when it is not whole.
int ReadTrackFragmentHeader(const unsigned char *payload, uint64_t payloadSize,
                            uint64_t payloadOffset, const FieldSink *sink,
                            TrackFragmentHeader *header);

// trun: its header and the run of per-sample records its flags lay out.
struct TrackRun {
    uint32_t version;
    uint32_t flags;
    uint32_t sampleCount;
    int hasDataOffset;
    int32_t dataOffset;
    uint64_t available;  // whole sample records in the payload, at most sampleCount
    const unsigned char *samples;
    uint64_t samplesOffset;  // absolute
    uint32_t recordSize;
    int8_t durationAt, sizeAt, flagsAt, compositionAt;  // -1 when absent
};
#define TRUN_DATA_OFFSET 0x1u
#define TRUN_FIRST_SAMPLE_FLAGS 0x4u
#define TRUN_SAMPLE_DURATION 0x100u
#define TRUN_SAMPLE_SIZE 0x200u
#define TRUN_SAMPLE_FLAGS 0x400u
#define TRUN_SAMPLE_COMPOSITION 0x800u

// Reads a trun's header (fields to sink when not NULL); 0 when not whole.
int OpenTrackRun(const unsigned char *payload, uint64_t payloadSize, uint64_t payloadOffset,
                 const FieldSink *sink, TrackRun *run);

inline uint32_t TrackRunValue(const TrackRun *run, uint64_t index, int at)
{
    return (uint32_t)ReadFieldBytes(run->samples + index * run->recordSize + at, 4);
}

// stz2: sizes of 4, 8 or 16 bits.
struct CompactSampleSizes {
    uint32_t fieldSize;
    uint32_t sampleCount;
    uint64_t available;
    const unsigned char *sizes;
    uint64_t sizesOffset;
};
int OpenCompactSampleSizes(const unsigned char *payload, uint64_t payloadSize,
                           uint64_t payloadOffset, const FieldSink *sink,
                           CompactSampleSizes *table);
inline uint32_t CompactSampleSize(const CompactSampleSizes *table, uint64_t index)
{
    if (table->fieldSize == 4) {
        unsigned char pair = table->sizes[index / 2];
        return index % 2 == 0 ? pair >> 4 : pair & 0xF;
    }
    return (uint32_t)ReadFieldBytes(table->sizes + index * (table->fieldSize / 8),
                                    table->fieldSize / 8);
}
