#pragma once
// What the reference checks share: the places kept of each atom that
// matters, the file being checked, and the placing of samples. Used by
// file_references.cpp (collection and the order of the checks) and the
// checks of tracks, fragments and items in files of their own.
#include "fields/box_tables.h"
#include "fields/file_references.h"

#include <stddef.h>
#include <stdint.h>

struct KeptBox {
    int present;
    uint64_t offset;  // of the payload
    uint64_t size;
};

struct TrackRecord {
    uint64_t trakOffset;
    uint32_t trackId;
    KeptBox tkhd, stsz, stz2, stts, stsc, stco, co64, ctts, stss;
};

struct MdatRecord {
    uint64_t offset;
    uint64_t payloadOffset;
    uint64_t declaredEnd;  // where its size says it ends
};

struct TopLevelRecord {
    uint64_t offset;
    uint64_t declaredEnd;
};

struct MoofRecord {
    uint64_t offset;
    KeptBox mfhd;
};

struct TrafRecord {
    uint32_t moof;
    KeptBox tfhd, tfdt;
};

struct RunRecord {
    uint32_t traf;
    KeptBox trun;
};

struct SidxRecord {
    uint64_t offset;
    uint64_t declaredEnd;
    KeptBox sidx;
};

// Fragment samples per track, for the cut-file count.
struct FragmentTrack {
    uint32_t trackId;
    uint64_t samples;
    uint64_t pastEnd;
    uint64_t firstPastEnd;
    uint64_t lastWholeEnd;
    uint64_t lastDecodeTime;
    int hasDecodeTime;
};

// Adds a zeroed item to array (NULL when memory runs out).
void *GrowArray(GrowingArray *array, size_t itemSize);

template <typename T>
inline T *Add(FileReferences *references, GrowingArray *array)
{
    T *item = (T *)GrowArray(array, sizeof(T));
    if (item == 0)
        references->outOfMemory = 1;
    return item;
}

template <typename T>
inline T *At(const GrowingArray *array, uint32_t index)
{
    return (T *)array->items + index;
}

struct Checking {
    const FileReferences *references;
    const unsigned char *file;
    uint64_t fileSize;
    const ReferenceReportSink *sink;
};

// What became of a track's samples.
struct SamplePlacement {
    uint64_t placed;
    uint64_t pastEnd;
    uint64_t firstPastEnd;
    uint64_t lastWholeEnd;
    uint64_t outside;
    uint64_t firstOutside;
};

void Report(const Checking *checking, uint64_t offset, int note, const char *reason,
            const char *format, ...) __attribute__((format(printf, 5, 6)));
const unsigned char *Payload(const Checking *checking, const KeptBox *box);
// The track_ID of a tkhd.
uint32_t ReadTrackId(const Checking *checking, const KeptBox *tkhd);
// The mdat whose payload holds [start, end), or NULL.
const MdatRecord *MdatHolding(const Checking *checking, uint64_t start, uint64_t end);
void PlaceSample(const Checking *checking, SamplePlacement *placement, uint64_t start,
                 uint64_t size);
void PlaceEqualSamples(const Checking *checking, SamplePlacement *placement, uint64_t start,
                       uint64_t count, uint64_t size);
// The lines of samples past the end and outside every mdat, for what (such
// as "track 1").
void ReportPlacement(const Checking *checking, const char *what, uint64_t total,
                     const SamplePlacement *placement);

// The checks, in the order the report gives them.
void CheckTrack(const Checking *checking, const TrackRecord *track, uint32_t number);
void CheckFragments(const Checking *checking, FileReferences *references);
void CheckSegmentIndexes(const Checking *checking, const FileReferences *references);
void CheckItemLocations(const Checking *checking, const FileReferences *references);
