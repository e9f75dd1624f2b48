#pragma once
// Checks that the offsets and counts a file stores point at bytes that are
// there: per track, the sample tables agree and every sample lies inside
// the file and inside an mdat's payload (for a cut file, how many samples
// survived); fragments' runs lie in the mdat after their moof, sequence
// numbers increase and decode times do not go back; sidx sizes land on the
// boxes that follow; moov after mdat is noted. Built on the field decoders'
// table views. The atoms are given in tree order as the walk finds them;
// the file's bytes must stay in place until FinishFileReferences.
#include "fields/box_fields.h"

#include <stddef.h>
#include <stdint.h>

// One atom as the walk found it.
struct CheckedAtom {
    unsigned char type[4];
    uint64_t offset;     // of its header
    uint64_t sizeField;  // its size, as declared (0: to the end of its range)
    uint64_t payloadOffset;
    uint64_t payloadSize;  // the bytes there (less than declared when cut short)
    uint32_t depth;        // 1 for a top-level atom
};

// Where a finding goes: one line of the report. note: a note, else a problem.
struct ReferenceReportSink {
    void *context;
    void (*report)(void *context, uint64_t offset, int note, const char *reason, const char *text);
};

struct GrowingArray {
    void *items;
    uint32_t count;
    uint32_t capacity;
};

struct FileReferences {
    GrowingArray tracks;
    GrowingArray mdats;
    GrowingArray topLevel;
    GrowingArray moofs;
    GrowingArray trafs;
    GrowingArray runs;
    GrowingArray trexes;
    GrowingArray sidxes;
    GrowingArray metas;
    uint64_t firstMdat;  // offset + 1 of the first top-level mdat, 0 if none yet
    uint64_t firstMoov;  // likewise for moov
    // The trak, moof and traf that the atoms now coming belong to (-1 none),
    // and their depths.
    int32_t openTrack, openMoof, openTraf;
    uint32_t trackDepth, moofDepth, trafDepth;
    int outOfMemory;  // an atom could not be kept: the checks are incomplete
};

void InitFileReferences(FileReferences *references);
void FreeFileReferences(FileReferences *references);

// Takes note of one atom (in tree order). Cheap: keeps the places only.
void AddCheckedAtom(FileReferences *references, const CheckedAtom *atom);

// Runs the checks over file[0, fileSize) and reports each finding to sink.
void FinishFileReferences(FileReferences *references, const unsigned char *file, uint64_t fileSize,
                          const ReferenceReportSink *sink);
