#include "fields/file_references.h"
#include "fields/references_internal.h"
#include "platform/heap.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

void *GrowArray(GrowingArray *array, size_t itemSize)
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

void Report(const Checking *checking, uint64_t offset, int note, const char *reason,
            const char *format, ...)
{
    char text[320];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    checking->sink->report(checking->sink->context, offset, note, reason, text);
}

const unsigned char *Payload(const Checking *checking, const KeptBox *box)
{
    return checking->file + box->offset;
}

// The track_ID of a tkhd: after version, flags and two times of 4 or 8 bytes.
uint32_t ReadTrackId(const Checking *checking, const KeptBox *tkhd)
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
const MdatRecord *MdatHolding(const Checking *checking, uint64_t start, uint64_t end)
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

void PlaceSample(const Checking *checking, SamplePlacement *placement, uint64_t start,
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
void PlaceEqualSamples(const Checking *checking, SamplePlacement *placement, uint64_t start,
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

void ReportPlacement(const Checking *checking, const char *what, uint64_t total,
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
