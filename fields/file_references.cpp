#include "fields/file_references.h"
#include "fields/box_tables.h"
#include "platform/heap.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

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

static void *GrowArray(GrowingArray *array, size_t itemSize)
{
    if (array->count == array->capacity) {
        uint32_t capacity = array->capacity ? array->capacity * 2 : 16;
        if (capacity <= array->capacity || capacity > (size_t)-1 / itemSize)
            return 0;
        void *items = HeapAllocBlock(capacity * itemSize);
        if (items == 0)
            return 0;
        if (array->count != 0)
            memcpy(items, array->items, array->count * itemSize);
        HeapFreeBlock(array->items);
        array->items = items;
        array->capacity = capacity;
    }
    unsigned char *item = (unsigned char *)array->items + array->count * itemSize;
    memset(item, 0, itemSize);
    array->count++;
    return item;
}

template <typename T>
static T *Add(FileReferences *references, GrowingArray *array)
{
    T *item = (T *)GrowArray(array, sizeof(T));
    if (item == 0)
        references->outOfMemory = 1;
    return item;
}

template <typename T>
static T *At(const GrowingArray *array, uint32_t index)
{
    return (T *)array->items + index;
}

void InitFileReferences(FileReferences *references)
{
    *references = {};
    references->openTrack = references->openMoof = references->openTraf = -1;
}

void FreeFileReferences(FileReferences *references)
{
    GrowingArray *arrays[] = {&references->tracks, &references->mdats,  &references->topLevel,
                              &references->moofs,  &references->trafs,  &references->runs,
                              &references->trexes, &references->sidxes, &references->metas};
    for (GrowingArray *array : arrays) {
        HeapFreeBlock(array->items);
        *array = {};
    }
}

static int TypeIs(const CheckedAtom *atom, const char *type)
{
    return memcmp(atom->type, type, 4) == 0;
}

static KeptBox Keep(const CheckedAtom *atom)
{
    KeptBox box = {1, atom->payloadOffset, atom->payloadSize};
    return box;
}

// Where the atom's size says it ends (0: to the end of its range, which for
// the top level is the file's end).
static uint64_t DeclaredEnd(const CheckedAtom *atom)
{
    if (atom->sizeField == 0)
        return atom->payloadOffset + atom->payloadSize;
    uint64_t end = atom->offset + atom->sizeField;
    return end < atom->offset ? UINT64_MAX : end;
}

void AddCheckedAtom(FileReferences *references, const CheckedAtom *atom)
{
    // Leaving a trak, moof or traf.
    if (references->openTrack >= 0 && atom->depth <= references->trackDepth)
        references->openTrack = -1;
    if (references->openMoof >= 0 && atom->depth <= references->moofDepth)
        references->openMoof = -1;
    if (references->openTraf >= 0 && atom->depth <= references->trafDepth)
        references->openTraf = -1;

    if (atom->depth == 1) {
        TopLevelRecord *top = Add<TopLevelRecord>(references, &references->topLevel);
        if (top != 0) {
            top->offset = atom->offset;
            top->declaredEnd = DeclaredEnd(atom);
        }
        if (TypeIs(atom, "moov") && references->firstMoov == 0)
            references->firstMoov = atom->offset + 1;
        if (TypeIs(atom, "mdat") && references->firstMdat == 0)
            references->firstMdat = atom->offset + 1;
    }
    if (TypeIs(atom, "mdat")) {
        MdatRecord *mdat = Add<MdatRecord>(references, &references->mdats);
        if (mdat != 0) {
            mdat->offset = atom->offset;
            mdat->payloadOffset = atom->payloadOffset;
            mdat->declaredEnd = DeclaredEnd(atom);
        }
        return;
    }
    if (TypeIs(atom, "trak")) {
        TrackRecord *track = Add<TrackRecord>(references, &references->tracks);
        if (track != 0) {
            track->trakOffset = atom->offset;
            references->openTrack = (int32_t)references->tracks.count - 1;
            references->trackDepth = atom->depth;
        }
        return;
    }
    if (TypeIs(atom, "moof")) {
        MoofRecord *moof = Add<MoofRecord>(references, &references->moofs);
        if (moof != 0) {
            moof->offset = atom->offset;
            references->openMoof = (int32_t)references->moofs.count - 1;
            references->moofDepth = atom->depth;
        }
        return;
    }
    if (TypeIs(atom, "trex")) {
        KeptBox *trex = Add<KeptBox>(references, &references->trexes);
        if (trex != 0)
            *trex = Keep(atom);
        return;
    }
    if (TypeIs(atom, "meta")) {
        KeptBox *meta = Add<KeptBox>(references, &references->metas);
        if (meta != 0)
            *meta = Keep(atom);
        return;
    }
    if (TypeIs(atom, "sidx") && atom->depth == 1) {
        SidxRecord *sidx = Add<SidxRecord>(references, &references->sidxes);
        if (sidx != 0) {
            sidx->offset = atom->offset;
            sidx->declaredEnd = DeclaredEnd(atom);
            sidx->sidx = Keep(atom);
        }
        return;
    }
    if (references->openMoof >= 0) {
        MoofRecord *moof = At<MoofRecord>(&references->moofs, (uint32_t)references->openMoof);
        if (TypeIs(atom, "mfhd")) {
            moof->mfhd = Keep(atom);
        } else if (TypeIs(atom, "traf")) {
            TrafRecord *traf = Add<TrafRecord>(references, &references->trafs);
            if (traf != 0) {
                traf->moof = (uint32_t)references->openMoof;
                references->openTraf = (int32_t)references->trafs.count - 1;
                references->trafDepth = atom->depth;
            }
        } else if (references->openTraf >= 0) {
            TrafRecord *traf = At<TrafRecord>(&references->trafs, (uint32_t)references->openTraf);
            if (TypeIs(atom, "tfhd")) {
                traf->tfhd = Keep(atom);
            } else if (TypeIs(atom, "tfdt")) {
                traf->tfdt = Keep(atom);
            } else if (TypeIs(atom, "trun")) {
                RunRecord *run = Add<RunRecord>(references, &references->runs);
                if (run != 0) {
                    run->traf = (uint32_t)references->openTraf;
                    run->trun = Keep(atom);
                }
            }
        }
        return;
    }
    if (references->openTrack >= 0) {
        TrackRecord *track = At<TrackRecord>(&references->tracks, (uint32_t)references->openTrack);
        struct {
            const char *type;
            KeptBox *box;
        } kept[] = {{"stsz", &track->stsz}, {"stz2", &track->stz2}, {"stts", &track->stts},
                    {"stsc", &track->stsc}, {"stco", &track->stco}, {"co64", &track->co64},
                    {"ctts", &track->ctts}, {"stss", &track->stss}, {"tkhd", &track->tkhd}};
        for (auto &k : kept) {
            if (TypeIs(atom, k.type) && !k.box->present)
                *k.box = Keep(atom);
        }
    }
}

// The checks, with the file's bytes.
struct Checking {
    const FileReferences *references;
    const unsigned char *file;
    uint64_t fileSize;
    const ReferenceReportSink *sink;
};

static void Report(const Checking *checking, uint64_t offset, int note, const char *reason,
                   const char *format, ...) __attribute__((format(printf, 5, 6)));

static void Report(const Checking *checking, uint64_t offset, int note, const char *reason,
                   const char *format, ...)
{
    char text[320];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    checking->sink->report(checking->sink->context, offset, note, reason, text);
}

static const unsigned char *Payload(const Checking *checking, const KeptBox *box)
{
    return checking->file + box->offset;
}

// The track_ID of a tkhd: after version, flags and two times of 4 or 8 bytes.
static uint32_t ReadTrackId(const Checking *checking, const KeptBox *tkhd)
{
    if (tkhd->size < 4)
        return 0;
    const unsigned char *payload = Payload(checking, tkhd);
    uint64_t at = payload[0] == 1 ? 20 : 12;
    if (tkhd->size < at + 4)
        return 0;
    return (uint32_t)ReadFieldBytes(payload + at, 4);
}

// The mdat whose payload holds [start, end), or NULL.
static const MdatRecord *MdatHolding(const Checking *checking, uint64_t start, uint64_t end)
{
    const GrowingArray *mdats = &checking->references->mdats;
    // The last mdat whose payload starts at or before start (they come in
    // file order).
    uint32_t low = 0, high = mdats->count;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (At<MdatRecord>(mdats, middle)->payloadOffset <= start)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == 0)
        return 0;
    const MdatRecord *mdat = At<MdatRecord>(mdats, low - 1);
    return end <= mdat->declaredEnd ? mdat : 0;
}

// What became of a track's samples.
struct SamplePlacement {
    uint64_t placed;
    uint64_t pastEnd;
    uint64_t firstPastEnd;
    uint64_t lastWholeEnd;
    uint64_t outside;
    uint64_t firstOutside;
};

static void PlaceSample(const Checking *checking, SamplePlacement *placement, uint64_t start,
                        uint64_t size)
{
    placement->placed++;
    uint64_t end = start + size;
    if (end < start || end > checking->fileSize) {
        if (placement->pastEnd++ == 0)
            placement->firstPastEnd = start;
        return;
    }
    if (end > placement->lastWholeEnd)
        placement->lastWholeEnd = end;
    if (MdatHolding(checking, start, end) == 0 && placement->outside++ == 0)
        placement->firstOutside = start;
}

// count samples of size bytes each, one after the other from start, in
// one computation (a table may give billions of equal samples).
static void PlaceEqualSamples(const Checking *checking, SamplePlacement *placement, uint64_t start,
                              uint64_t count, uint64_t size)
{
    if (count == 0)
        return;
    placement->placed += count;
    uint64_t whole = 0;
    if (start <= checking->fileSize)
        whole = size == 0 ? count : (checking->fileSize - start) / size;
    if (whole > count)
        whole = count;
    if (whole < count) {
        if (placement->pastEnd == 0)
            placement->firstPastEnd = start + whole * size;
        placement->pastEnd += count - whole;
    }
    if (whole == 0)
        return;
    uint64_t end = start + whole * size;
    if (end > placement->lastWholeEnd)
        placement->lastWholeEnd = end;
    if (MdatHolding(checking, start, end) == 0) {
        if (placement->outside == 0)
            placement->firstOutside = start;
        placement->outside += whole;
    }
}

static void ReportPlacement(const Checking *checking, const char *what, uint64_t total,
                            const SamplePlacement *placement)
{
    if (placement->pastEnd != 0) {
        if (placement->lastWholeEnd != 0)
            Report(checking, placement->firstPastEnd, 0, "samples-past-end",
                   "%s: %llu of %llu samples lie past the end of the file; the last whole sample "
                   "ends at 0x%08llX",
                   what, (unsigned long long)placement->pastEnd, (unsigned long long)total,
                   (unsigned long long)placement->lastWholeEnd);
        else
            Report(checking, placement->firstPastEnd, 0, "samples-past-end",
                   "%s: %llu of %llu samples lie past the end of the file; none is whole", what,
                   (unsigned long long)placement->pastEnd, (unsigned long long)total);
    }
    if (placement->outside != 0)
        Report(checking, placement->firstOutside, 0, "sample-outside-mdat",
               "%s: %llu samples lie inside the file but outside every mdat's payload, the first "
               "at 0x%08llX",
               what, (unsigned long long)placement->outside,
               (unsigned long long)placement->firstOutside);
}

static int OpenKeptTable(const Checking *checking, const KeptBox *box, const char *type,
                         FlatTable *table)
{
    if (!box->present)
        return 0;
    return OpenFlatTable(FindFlatTableLayout((const unsigned char *)type), Payload(checking, box),
                         box->size, box->offset, 0, table);
}

// The sum of a column over a table's entries that are there.
static uint64_t SumColumn(const FlatTable *table, unsigned column)
{
    uint64_t sum = 0;
    for (uint64_t i = 0; i < table->available; i++)
        sum += FlatTableValue(table, i, column);
    return sum;
}

static void CheckTrack(const Checking *checking, const TrackRecord *track, uint32_t number)
{
    char what[48];
    snprintf(what, sizeof what, "track %u", (unsigned)(track->trackId ? track->trackId : number));
    // Sample sizes: stsz, or stz2.
    FlatTable stsz;
    CompactSampleSizes stz2;
    int hasStsz = OpenKeptTable(checking, &track->stsz, "stsz", &stsz);
    int hasStz2 = !hasStsz && track->stz2.present &&
        OpenCompactSampleSizes(Payload(checking, &track->stz2), track->stz2.size,
                               track->stz2.offset, 0, &stz2);
    if (!hasStsz && !hasStz2)
        return;
    const uint64_t samples = hasStsz ? stsz.header[1] : stz2.sampleCount;
    const char *sizesName = hasStsz ? "stsz" : "stz2";

    FlatTable stts, ctts, stsc, chunks, stss;
    if (OpenKeptTable(checking, &track->stts, "stts", &stts)) {
        uint64_t count = SumColumn(&stts, 0);
        if (count != samples && stts.available == stts.count)
            Report(checking, track->stts.offset - 8, 0, "sample-counts",
                   "%s: stts counts %llu samples, %s %llu", what, (unsigned long long)count,
                   sizesName, (unsigned long long)samples);
    }
    if (OpenKeptTable(checking, &track->ctts, "ctts", &ctts)) {
        uint64_t count = SumColumn(&ctts, 0);
        if (count != samples && ctts.available == ctts.count)
            Report(checking, track->ctts.offset - 8, 0, "sample-counts",
                   "%s: ctts counts %llu samples, %s %llu", what, (unsigned long long)count,
                   sizesName, (unsigned long long)samples);
    }
    if (OpenKeptTable(checking, &track->stss, "stss", &stss)) {
        for (uint64_t i = 0; i < stss.available; i++) {
            uint64_t number = FlatTableValue(&stss, i, 0);
            if (number == 0 || number > samples) {
                Report(checking, stss.entriesOffset + 4 * i, 0, "sync-sample-range",
                       "%s: stss entry %llu names sample %llu of %llu", what,
                       (unsigned long long)i + 1, (unsigned long long)number,
                       (unsigned long long)samples);
                break;
            }
        }
    }
    const KeptBox *chunkBox = track->stco.present ? &track->stco : &track->co64;
    if (!OpenKeptTable(checking, &track->stsc, "stsc", &stsc) ||
        !OpenKeptTable(checking, chunkBox, track->stco.present ? "stco" : "co64", &chunks))
        return;

    // Every sample, chunk by chunk: the runs of stsc over the chunk offsets.
    SamplePlacement placement = {};
    const uint64_t sizesThere =
        hasStsz ? (stsz.header[0] != 0 ? samples : stsz.available) : stz2.available;
    uint64_t sample = 0;
    uint64_t chunkTotal = 0;  // samples the stsc runs give over the chunks there
    int orderBroken = 0;
    for (uint64_t run = 0; run < stsc.available && !orderBroken; run++) {
        uint64_t first = FlatTableValue(&stsc, run, 0);
        uint64_t perChunk = FlatTableValue(&stsc, run, 1);
        uint64_t next =
            run + 1 < stsc.available ? FlatTableValue(&stsc, run + 1, 0) : chunks.available + 1;
        if (first == 0 || next <= first) {
            if (run + 1 < stsc.available || first == 0 || first > chunks.available + 1) {
                Report(checking, stsc.entriesOffset + 12 * run, 0, "sample-counts",
                       "%s: stsc entry %llu starts at chunk %llu, not after the one before", what,
                       (unsigned long long)run + 1, (unsigned long long)first);
                orderBroken = 1;
            }
            break;
        }
        uint64_t last = next - 1 < chunks.available ? next - 1 : chunks.available;
        if (first > last)
            continue;
        chunkTotal += (last - first + 1) * perChunk;
        for (uint64_t chunk = first; chunk <= last && sample < sizesThere; chunk++) {
            uint64_t at = FlatTableValue(&chunks, chunk - 1, 0);
            if (hasStsz && stsz.header[0] != 0) {
                uint64_t count = perChunk < sizesThere - sample ? perChunk : sizesThere - sample;
                PlaceEqualSamples(checking, &placement, at, count, stsz.header[0]);
                sample += count;
                continue;
            }
            for (uint64_t k = 0; k < perChunk && sample < sizesThere; k++) {
                uint64_t size = hasStsz
                    ? (stsz.header[0] != 0 ? stsz.header[0] : FlatTableValue(&stsz, sample, 0))
                    : CompactSampleSize(&stz2, sample);
                PlaceSample(checking, &placement, at, size);
                at += size;
                sample++;
            }
        }
    }
    if (!orderBroken && chunkTotal != samples && chunks.available == chunks.count &&
        stsc.available == stsc.count)
        Report(checking, track->stsc.offset - 8, 0, "sample-counts",
               "%s: stsc over %llu chunks gives %llu samples, %s %llu", what,
               (unsigned long long)chunks.available, (unsigned long long)chunkTotal, sizesName,
               (unsigned long long)samples);
    ReportPlacement(checking, what, samples, &placement);
}

static FragmentTrack *FragmentTrackFor(FileReferences *references, GrowingArray *tracks,
                                       uint32_t trackId)
{
    for (uint32_t i = 0; i < tracks->count; i++) {
        FragmentTrack *track = At<FragmentTrack>(tracks, i);
        if (track->trackId == trackId)
            return track;
    }
    FragmentTrack *track = Add<FragmentTrack>(references, tracks);
    if (track != 0)
        track->trackId = trackId;
    return track;
}

// The defaults of trex for a track: duration and size.
static int TrexDefaultSize(const Checking *checking, uint32_t trackId, uint32_t *size)
{
    const GrowingArray *trexes = &checking->references->trexes;
    for (uint32_t i = 0; i < trexes->count; i++) {
        const KeptBox *trex = At<KeptBox>(trexes, i);
        if (trex->size < 24)
            continue;
        const unsigned char *payload = Payload(checking, trex);
        if (ReadFieldBytes(payload + 4, 4) == trackId) {
            *size = (uint32_t)ReadFieldBytes(payload + 16, 4);
            return 1;
        }
    }
    return 0;
}

static void CheckFragments(const Checking *checking, FileReferences *references)
{
    GrowingArray tracks = {};
    const GrowingArray *moofs = &references->moofs;
    const GrowingArray *trafs = &references->trafs;
    const GrowingArray *runs = &references->runs;
    uint32_t trafIndex = 0, runIndex = 0;
    uint64_t lastSequence = 0;
    int hasSequence = 0;
    // Each kind of fragment finding is reported for the first 20 places, then
    // counted: a file broken in every fragment gives a short report.
    uint32_t outsideReports = 0, sequenceReports = 0, timeReports = 0;
    for (uint32_t m = 0; m < moofs->count; m++) {
        const MoofRecord *moof = At<MoofRecord>(moofs, m);
        if (moof->mfhd.present && moof->mfhd.size >= 8) {
            uint64_t sequence = ReadFieldBytes(Payload(checking, &moof->mfhd) + 4, 4);
            if (hasSequence && sequence <= lastSequence && sequenceReports++ < 20)
                Report(checking, moof->mfhd.offset - 8, 0, "sequence-not-increasing",
                       "the mfhd of the moof at 0x%08llX has sequence number %llu after %llu",
                       (unsigned long long)moof->offset, (unsigned long long)sequence,
                       (unsigned long long)lastSequence);
            lastSequence = sequence;
            hasSequence = 1;
        }
        // The mdat after the moof.
        const MdatRecord *next = 0;
        for (uint32_t low = 0, high = references->mdats.count; low < high;) {
            uint32_t middle = low + (high - low) / 2;
            if (At<MdatRecord>(&references->mdats, middle)->offset > moof->offset) {
                next = At<MdatRecord>(&references->mdats, middle);
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        uint64_t previousTrafEnd = moof->offset;
        for (; trafIndex < trafs->count && At<TrafRecord>(trafs, trafIndex)->moof == m;
             trafIndex++) {
            const TrafRecord *traf = At<TrafRecord>(trafs, trafIndex);
            TrackFragmentHeader tfhd;
            int whole = traf->tfhd.present &&
                ReadTrackFragmentHeader(Payload(checking, &traf->tfhd), traf->tfhd.size,
                                        traf->tfhd.offset, 0, &tfhd);
            FragmentTrack *track = whole ? FragmentTrackFor(references, &tracks, tfhd.trackId) : 0;
            if (track != 0 && traf->tfdt.present && traf->tfdt.size >= 8) {
                const unsigned char *payload = Payload(checking, &traf->tfdt);
                uint64_t time = payload[0] == 1 && traf->tfdt.size >= 12
                    ? ReadFieldBytes(payload + 4, 8)
                    : ReadFieldBytes(payload + 4, 4);
                if (track->hasDecodeTime && time < track->lastDecodeTime && timeReports++ < 20)
                    Report(checking, traf->tfdt.offset - 8, 0, "tfdt-goes-back",
                           "track %u: tfdt %llu comes after %llu", (unsigned)tfhd.trackId,
                           (unsigned long long)time, (unsigned long long)track->lastDecodeTime);
                track->lastDecodeTime = time;
                track->hasDecodeTime = 1;
            }
            uint64_t base = previousTrafEnd;
            if (whole && (tfhd.flags & TFHD_BASE_DATA_OFFSET))
                base = tfhd.baseDataOffset;
            else if (whole && (tfhd.flags & TFHD_DEFAULT_BASE_IS_MOOF))
                base = moof->offset;
            uint32_t defaultSize = 0;
            if (whole && (tfhd.flags & TFHD_DEFAULT_SIZE))
                defaultSize = tfhd.defaultSampleSize;
            else if (whole)
                TrexDefaultSize(checking, tfhd.trackId, &defaultSize);
            uint64_t position = base;
            for (; runIndex < runs->count && At<RunRecord>(runs, runIndex)->traf == trafIndex;
                 runIndex++) {
                const RunRecord *record = At<RunRecord>(runs, runIndex);
                TrackRun run;
                if (!whole || track == 0 ||
                    !OpenTrackRun(Payload(checking, &record->trun), record->trun.size,
                                  record->trun.offset, 0, &run))
                    continue;
                uint64_t start = position;
                if (run.hasDataOffset) {
                    int64_t offset = run.dataOffset;
                    start = offset < 0 && (uint64_t)-offset > base ? UINT64_MAX
                                                                   : base + (uint64_t)offset;
                }
                SamplePlacement placement = {};
                uint64_t at = start;
                int wrapped = start == UINT64_MAX;
                if (run.recordSize == 0 && !wrapped) {
                    // Every sample of the default size: counted, not walked.
                    PlaceEqualSamples(checking, &placement, start, run.sampleCount, defaultSize);
                    track->samples += run.sampleCount;
                    if (placement.pastEnd != 0 && track->pastEnd == 0)
                        track->firstPastEnd = placement.firstPastEnd;
                    track->pastEnd += placement.pastEnd;
                    if (placement.lastWholeEnd > track->lastWholeEnd)
                        track->lastWholeEnd = placement.lastWholeEnd;
                    uint64_t total = (uint64_t)run.sampleCount * defaultSize;
                    wrapped = total > UINT64_MAX - start;
                    at = wrapped ? UINT64_MAX : start + total;
                }
                for (uint64_t i = 0; run.recordSize != 0 && i < run.available && !wrapped; i++) {
                    uint64_t size =
                        run.sizeAt >= 0 ? TrackRunValue(&run, i, run.sizeAt) : defaultSize;
                    track->samples++;
                    if (at + size < at || at + size > checking->fileSize) {
                        if (track->pastEnd++ == 0)
                            track->firstPastEnd = at;
                    } else if (at + size > track->lastWholeEnd) {
                        track->lastWholeEnd = at + size;
                    }
                    placement.placed++;
                    wrapped = at + size < at;
                    at += size;
                }
                uint64_t end = at;
                int inside = !wrapped && next != 0 && start >= next->payloadOffset &&
                    end <= next->declaredEnd;
                if (!inside && run.available != 0 && outsideReports++ < 20) {
                    if (next == 0)
                        Report(checking, record->trun.offset - 8, 0, "trun-outside-mdat",
                               "track %u: the trun at 0x%08llX has its samples at 0x%08llX, but "
                               "no mdat follows its moof",
                               (unsigned)tfhd.trackId, (unsigned long long)record->trun.offset - 8,
                               (unsigned long long)start);
                    else
                        Report(checking, record->trun.offset - 8, 0, "trun-outside-mdat",
                               "track %u: the samples of the trun at 0x%08llX, bytes 0x%08llX to "
                               "0x%08llX, lie outside the payload of the mdat at 0x%08llX "
                               "(0x%08llX to 0x%08llX)",
                               (unsigned)tfhd.trackId, (unsigned long long)record->trun.offset - 8,
                               (unsigned long long)start, (unsigned long long)end,
                               (unsigned long long)next->offset,
                               (unsigned long long)next->payloadOffset,
                               (unsigned long long)next->declaredEnd);
                }
                position = end;
            }
            previousTrafEnd = position;
        }
    }
    if (outsideReports > 20)
        Report(checking, 0, 0, "trun-outside-mdat", "%u more runs lie outside their mdat",
               outsideReports - 20);
    if (sequenceReports > 20)
        Report(checking, 0, 0, "sequence-not-increasing",
               "%u more mfhd sequence numbers do not increase", sequenceReports - 20);
    if (timeReports > 20)
        Report(checking, 0, 0, "tfdt-goes-back", "%u more tfdt go back", timeReports - 20);
    for (uint32_t i = 0; i < tracks.count; i++) {
        const FragmentTrack *track = At<FragmentTrack>(&tracks, i);
        if (track->pastEnd == 0)
            continue;
        char what[48];
        snprintf(what, sizeof what, "track %u (fragments)", (unsigned)track->trackId);
        SamplePlacement placement = {};
        placement.pastEnd = track->pastEnd;
        placement.firstPastEnd = track->firstPastEnd;
        placement.lastWholeEnd = track->lastWholeEnd;
        ReportPlacement(checking, what, track->samples, &placement);
    }
    HeapFreeBlock(tracks.items);
}

// Whether offset is where a top-level atom starts, or where the last ends.
static int IsTopLevelBoundary(const FileReferences *references, uint64_t offset)
{
    const GrowingArray *top = &references->topLevel;
    uint32_t low = 0, high = top->count;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        uint64_t at = At<TopLevelRecord>(top, middle)->offset;
        if (at == offset)
            return 1;
        if (at < offset)
            low = middle + 1;
        else
            high = middle;
    }
    return top->count != 0 && At<TopLevelRecord>(top, top->count - 1)->declaredEnd == offset;
}

static void CheckSegmentIndexes(const Checking *checking, const FileReferences *references)
{
    for (uint32_t i = 0; i < references->sidxes.count; i++) {
        const SidxRecord *record = At<SidxRecord>(&references->sidxes, i);
        const unsigned char *payload = Payload(checking, &record->sidx);
        FieldReader reader = MakeFieldReader(payload, record->sidx.size, record->sidx.offset);
        uint32_t version, flags;
        if (!ReadFullBoxHeader(&reader, 0, &version, &flags))
            continue;
        const unsigned timeWidth = version == 0 ? 4 : 8;
        if (FieldBytesLeft(&reader) < 8 + 2 * timeWidth + 4)
            continue;
        uint64_t firstOffset = ReadFieldBytes(payload + reader.pos + 8 + timeWidth, timeWidth);
        reader.pos += 8 + 2 * timeWidth + 2;
        uint64_t count = ReadFieldBytes(payload + reader.pos, 2);
        reader.pos += 2;
        uint64_t position = record->declaredEnd + firstOffset;
        if (position < record->declaredEnd)
            continue;
        for (uint64_t r = 0; r < count && FieldBytesLeft(&reader) >= 12; r++) {
            uint64_t word = ReadFieldBytes(payload + reader.pos, 4);
            reader.pos += 12;
            position += word & 0x7FFFFFFF;
            if (position > checking->fileSize)
                break;  // a cut file: the rest is not there to check
            if (!IsTopLevelBoundary(references, position)) {
                Report(checking, record->offset, 0, "sidx-size",
                       "the sidx at 0x%08llX: reference %llu ends at 0x%08llX, where no top-level "
                       "box starts",
                       (unsigned long long)record->offset, (unsigned long long)r + 1,
                       (unsigned long long)position);
                break;
            }
        }
    }
}

// The item locations of a meta box, read from its decoded fields: the
// fields arrive as boxes[ {box, offset, size, ... items[ {item_ID, ...
// extents[ {extent_offset, extent_length} ] } ] } ].
struct ItemLocations {
    const Checking *checking;
    unsigned depth;
    char box[5];
    uint64_t boxOffset, boxSize;
    uint64_t idatOffset, idatSize;  // the idat's payload, when found
    int hasIdat;
    uint64_t ilocOffset;
    // The item and extent being read.
    uint64_t itemId, method, dataReference, baseOffset, extentOffset, extentLength;
    // Extents of construction method 1, checked once the idat is known.
    uint64_t idatNeeded;
    uint64_t idatItem;
    int reported;
};

static void ItemNumber(void *context, const char *name, uint64_t value, FieldFormat)
{
    ItemLocations *items = (ItemLocations *)context;
    if (items->depth == 2 && strcmp(name, "offset") == 0)
        items->boxOffset = value;
    else if (items->depth == 2 && strcmp(name, "size") == 0)
        items->boxSize = value;
    if (memcmp(items->box, "iloc", 4) != 0)
        return;
    if (items->depth == 4) {
        if (strcmp(name, "item_ID") == 0) {
            items->itemId = value;
            items->method = items->dataReference = items->baseOffset = 0;
        } else if (strcmp(name, "construction_method") == 0) {
            items->method = value;
        } else if (strcmp(name, "data_reference_index") == 0) {
            items->dataReference = value;
        } else if (strcmp(name, "base_offset") == 0) {
            items->baseOffset = value;
        }
    } else if (items->depth == 6) {
        if (strcmp(name, "extent_offset") == 0)
            items->extentOffset = value;
        else if (strcmp(name, "extent_length") == 0)
            items->extentLength = value;
    }
}

static void ItemText(void *context, const char *name, const char *bytes, size_t length)
{
    ItemLocations *items = (ItemLocations *)context;
    if (items->depth == 2 && strcmp(name, "box") == 0 && length == 4) {
        memcpy(items->box, bytes, 4);
        items->boxOffset = items->boxSize = 0;
    }
}

static void ItemBegin(void *context, const char *)
{
    ((ItemLocations *)context)->depth++;
}

static void ItemBeginEntry(void *context)
{
    ItemLocations *items = (ItemLocations *)context;
    items->depth++;
    if (items->depth == 6)
        items->extentOffset = items->extentLength = 0;
}

static void ItemEndEntry(void *context)
{
    ItemLocations *items = (ItemLocations *)context;
    if (items->depth == 2 && memcmp(items->box, "idat", 4) == 0 && items->boxSize >= 8) {
        items->hasIdat = 1;
        items->idatOffset = items->boxOffset + 8;
        items->idatSize = items->boxSize - 8;
    }
    if (items->depth == 2 && memcmp(items->box, "iloc", 4) == 0)
        items->ilocOffset = items->boxOffset;
    if (items->depth == 6 && memcmp(items->box, "iloc", 4) == 0 && items->dataReference == 0 &&
        !items->reported) {
        uint64_t start = items->baseOffset + items->extentOffset;
        uint64_t end = start + items->extentLength;
        if (end < start || start < items->baseOffset) {
            end = UINT64_MAX;
        }
        const Checking *checking = items->checking;
        if (items->method == 0 && (end > checking->fileSize || start > checking->fileSize)) {
            Report(checking, items->boxOffset, 0, "iloc-extent",
                   "item %llu: its extent at 0x%08llX of %llu bytes lies past the end of the "
                   "file (%llu bytes)",
                   (unsigned long long)items->itemId, (unsigned long long)start,
                   (unsigned long long)items->extentLength, (unsigned long long)checking->fileSize);
            items->reported = 1;
        } else if (items->method == 1 && end > items->idatNeeded) {
            items->idatNeeded = end;
            items->idatItem = items->itemId;
        }
    }
    items->depth--;
}

static void ItemEndTable(void *context, uint64_t)
{
    ((ItemLocations *)context)->depth--;
}

static void ItemProblem(void *, uint64_t, const char *) {}

static void CheckItemLocations(const Checking *checking, const FileReferences *references)
{
    for (uint32_t i = 0; i < references->metas.count; i++) {
        const KeptBox *meta = At<KeptBox>(&references->metas, i);
        ItemLocations items = {};
        items.checking = checking;
        FieldSink sink = {&items,         ItemNumber,   ItemText,     ItemBegin,
                          ItemBeginEntry, ItemEndEntry, ItemEndTable, ItemProblem};
        FieldBox box;
        memcpy(box.type, "meta", 4);
        box.payload = Payload(checking, meta);
        box.payloadSize = meta->size;
        box.payloadOffset = meta->offset;
        box.parentTypes = 0;
        box.parentCount = 0;
        DecodeBoxFields(&box, FIELD_TABLE_ALL, &sink);
        if (items.idatNeeded != 0 && (!items.hasIdat || items.idatNeeded > items.idatSize))
            Report(checking, items.ilocOffset, 0, "iloc-extent",
                   "item %llu: its extent runs to byte %llu of the idat, which holds %llu",
                   (unsigned long long)items.idatItem, (unsigned long long)items.idatNeeded,
                   (unsigned long long)(items.hasIdat ? items.idatSize : 0));
    }
}

void FinishFileReferences(FileReferences *references, const unsigned char *file, uint64_t fileSize,
                          const ReferenceReportSink *sink)
{
    Checking checking = {references, file, fileSize, sink};
    if (references->firstMoov != 0 && references->firstMdat != 0 &&
        references->firstMoov > references->firstMdat)
        Report(&checking, references->firstMoov - 1, 1, "moov-after-mdat",
               "'moov' follows the 'mdat' at 0x%08llX: a player reading over a network must "
               "fetch the end of the file first",
               (unsigned long long)references->firstMdat - 1);
    for (uint32_t i = 0; i < references->tracks.count; i++) {
        TrackRecord *track = At<TrackRecord>(&references->tracks, i);
        track->trackId = track->tkhd.present ? ReadTrackId(&checking, &track->tkhd) : 0;
        CheckTrack(&checking, track, i + 1);
    }
    CheckFragments(&checking, references);
    CheckSegmentIndexes(&checking, references);
    CheckItemLocations(&checking, references);
    if (references->outOfMemory)
        Report(&checking, 0, 0, "out-of-memory",
               "not enough memory to keep every atom: the reference checks are incomplete");
}
