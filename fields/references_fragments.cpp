// Movie fragments and segment indexes.
#include "fields/references_internal.h"
#include "platform/heap.h"

#include <stdio.h>

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

void CheckFragments(const Checking *checking, FileReferences *references)
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
                // Past 2^64 a run stays there (saturated), never wrapping back
                // into the file.
                int wrapped = start == UINT64_MAX;
                if (run.recordSize == 0) {
                    // Every sample of the default size: counted, not walked.
                    PlaceEqualSamples(checking, &placement, start, run.sampleCount, defaultSize);
                    track->samples += run.sampleCount;
                    if (placement.pastEnd != 0 && track->pastEnd == 0)
                        track->firstPastEnd = placement.firstPastEnd;
                    track->pastEnd += placement.pastEnd;
                    if (placement.lastWholeEnd > track->lastWholeEnd)
                        track->lastWholeEnd = placement.lastWholeEnd;
                    uint64_t total = (uint64_t)run.sampleCount * defaultSize;
                    wrapped = wrapped || total > UINT64_MAX - start;
                    at = wrapped ? UINT64_MAX : start + total;
                }
                for (uint64_t i = 0; run.recordSize != 0 && i < run.available; i++) {
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
                    wrapped = wrapped || at + size < at;
                    at = at + size < at ? UINT64_MAX : at + size;
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

void CheckSegmentIndexes(const Checking *checking, const FileReferences *references)
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
