// The sample tables of each track against each other and the file.
#include "fields/references_internal.h"

#include <stdio.h>

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

void CheckTrack(const Checking *checking, const TrackRecord *track, uint32_t number)
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

    // stts and ctts count the samples in their first column.
    const struct {
        const KeptBox *box;
        const char *type;
    } counting[] = {{&track->stts, "stts"}, {&track->ctts, "ctts"}};
    for (const auto &counted : counting) {
        FlatTable table;
        if (!OpenKeptTable(checking, counted.box, counted.type, &table))
            continue;
        uint64_t count = SumColumn(&table, 0);
        if (count != samples && table.available == table.count)
            Report(checking, counted.box->offset - 8, 0, "sample-counts",
                   "%s: %s counts %llu samples, %s %llu", what, counted.type,
                   (unsigned long long)count, sizesName, (unsigned long long)samples);
    }
    FlatTable stsc, chunks, stss;
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
                // Past 2^64 the chunk stays there, never wrapping back into
                // the file.
                at = at + size < at ? UINT64_MAX : at + size;
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
