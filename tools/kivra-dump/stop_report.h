#pragma once
#include "atoms/atom_tree.h"
#include "tools/kivra-dump/output_writer.h"

#include <stddef.h>
#include <stdint.h>

// The report of one file: where and why the walk stopped taking bytes as
// atoms, kept as it comes (text lines or JSON objects) and printed after
// the tree.
struct StopReport {
    const char *path;
    int json;
    char *data;
    size_t used;
    size_t capacity;
    uint32_t problems;
    uint32_t notes;
    uint32_t outOfMemory;  // stops where memory ran out: the tree is incomplete
    int failed;            // memory ran out for the report itself: it is incomplete
};

void InitStopReport(StopReport *report, const char *path, int json);
void FreeStopReport(StopReport *report);

// The name of a reason in the report, as in "[cut-short]".
const char *StopReasonName(AtomWalkStopReason reason);
// A note rather than a problem: a convention of real writers, or a stop
// anywhere inside the payload of an mdat (inMediaData), other than a cut.
int StopIsNote(const AtomWalkStop *stop, int inMediaData);

// The sentence that says what happened at stop, for a muxer developer.
// base holds the file's bytes. Returns the sentence's length (it is cut to
// capacity - 1 bytes).
size_t DescribeStop(char *text, size_t capacity, const unsigned char *base,
                    const AtomWalkStop *stop, int inMediaData);

// One line of the report: a problem, or a note when note is not 0, at
// offset, with its sentence and reason keyword.
void AddLineToReport(StopReport *report, uint64_t offset, int note, const char *reason,
                     const char *sentence);

void AddStopToReport(StopReport *report, const unsigned char *base, const AtomWalkStop *stop,
                     int inMediaData);

// A note that kivra's window shows less of the file than kivra-dump does
// from offset on ("[window-stops-short]"), with the sentence that says why.
void AddWindowNoteToReport(StopReport *report, uint64_t offset, const char *sentence);

// The report as text: its lines, then "PATH: clean" or the counts.
void OutputReportLines(DumpOutput *out, const StopReport *report);
