#include "tools/kivra-dump/stop_report.h"
#include "atoms/atom_walk.h"
#include "bytes/byte_text.h"
#include "platform/heap.h"
#include "tools/kivra-dump/json_string.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

void InitStopReport(StopReport *report, const char *path, int json)
{
    *report = {};
    report->path = path;
    report->json = json;
}

void FreeStopReport(StopReport *report)
{
    HeapFreeBlock(report->data);
    report->data = 0;
    report->used = 0;
    report->capacity = 0;
}

const char *StopReasonName(AtomWalkStopReason reason)
{
    switch (reason) {
    case ATOM_WALK_CUT_SHORT: return "cut-short";
    case ATOM_WALK_SIZE_OVERRUNS: return "size-overruns";
    case ATOM_WALK_SIZE_64BIT: return "size-64bit";
    case ATOM_WALK_SIZE_TOO_SMALL: return "size-too-small";
    case ATOM_WALK_HEADER_TOO_SHORT: return "short-header";
    case ATOM_WALK_TYPE_NOT_PRINTABLE: return "type-not-printable";
    case ATOM_WALK_DEPTH_LIMIT_REACHED: return "depth-limit";
    case ATOM_WALK_ZERO_TERMINATOR: return "zero-terminator";
    case ATOM_WALK_ITUNES_ITEM_TYPE: return "itunes-item-type";
    case ATOM_WALK_OUT_OF_MEMORY: return "out-of-memory";
    }
    return "unknown";
}

// The payload of an mdat is media data: codecs whose frames begin with a
// size and a printable code (ProRes's 'icpf') make it look like atoms, even
// atoms holding atoms, up to the first frame or sample that does not, which
// says nothing of the file. A cut or a lack of memory still does.
int StopIsNote(const AtomWalkStop *stop, int inMediaData)
{
    if (stop->reason == ATOM_WALK_ZERO_TERMINATOR || stop->reason == ATOM_WALK_ITUNES_ITEM_TYPE)
        return 1;
    return inMediaData && stop->reason != ATOM_WALK_CUT_SHORT &&
        stop->reason != ATOM_WALK_OUT_OF_MEMORY;
}

// Four type bytes as 'moov' when printable, else as hex: 0xA96E616D.
static void FormatType(char *out, size_t capacity, const unsigned char *type)
{
    int printable = 1;
    for (int i = 0; i < 4; i++)
        printable = printable && IsPrintableAscii(type[i]);
    if (printable)
        snprintf(out, capacity, "'%.4s'", (const char *)type);
    else
        snprintf(out, capacity, "0x%02X%02X%02X%02X", type[0], type[1], type[2], type[3]);
}

size_t DescribeStop(char *text, size_t capacity, const unsigned char *base,
                    const AtomWalkStop *stop, int inMediaData)
{
    // The atom at the stop, when its header is there, and the atom that
    // holds the range (none at the top level).
    char type[16] = "";
    if (stop->bytesLeft >= 8)
        FormatType(type, sizeof type, base + (size_t)stop->offset + 4);
    char parent[48];
    if (stop->depth == 0)
        snprintf(parent, sizeof parent, "the file");
    else {
        char parentType[16];
        FormatType(parentType, sizeof parentType, base + (size_t)stop->parentOffset + 4);
        snprintf(parent, sizeof parent, "%s at 0x%08" PRIX64, parentType, stop->parentOffset);
    }
    // What the stop leaves out.
    char rest[112];
    if (stop->depth > 0)
        snprintf(rest, sizeof rest, "the last %" PRIu64 " bytes of %s are not shown",
                 stop->bytesLeft, parent);
    else if (stop->atomsBefore > 0)
        snprintf(rest, sizeof rest,
                 "the %" PRIu64 " bytes after the last top-level atom are not shown",
                 stop->bytesLeft);
    else
        snprintf(rest, sizeof rest, "none of the file's %" PRIu64 " bytes is shown as an atom",
                 stop->bytesLeft);

    int n = 0;
    switch (stop->reason) {
    case ATOM_WALK_CUT_SHORT:
        n = snprintf(text, capacity,
                     "%s is cut short by the end of the file: its size is %" PRIu64
                     " bytes, %" PRIu64 " are there",
                     type, stop->sizeField, stop->bytesLeft);
        break;
    case ATOM_WALK_SIZE_OVERRUNS:
        n = snprintf(text, capacity,
                     "the size of %s, %" PRIu64 " bytes, overruns the %" PRIu64
                     " bytes left in %s, which are not shown",
                     type, stop->sizeField, stop->bytesLeft, parent);
        break;
    case ATOM_WALK_SIZE_64BIT:
        n = snprintf(text, capacity,
                     "%s has size 1, a 64-bit size after its type, which is not followed; %s", type,
                     rest);
        break;
    case ATOM_WALK_SIZE_TOO_SMALL:
        n = snprintf(text, capacity, "%s has %s %" PRIu64 ", less than its own %u-byte header; %s",
                     type, stop->headerSize == 16 ? "a 64-bit size of" : "size", stop->sizeField,
                     stop->headerSize, rest);
        break;
    case ATOM_WALK_HEADER_TOO_SHORT:
        if (stop->headerSize == 16)
            n = snprintf(text, capacity,
                         "%s has size 1, but only %" PRIu64
                         " bytes are left for its 16-byte header with a 64-bit size; %s",
                         type, stop->bytesLeft, rest);
        else
            n = snprintf(text, capacity,
                         "%" PRIu64 " bytes left where an 8-byte atom header was due; %s",
                         stop->bytesLeft, rest);
        break;
    case ATOM_WALK_TYPE_NOT_PRINTABLE:
        n = snprintf(text, capacity, "type %s is not printable ASCII, so no atom starts here; %s",
                     type, rest);
        break;
    case ATOM_WALK_DEPTH_LIMIT_REACHED:
        n = snprintf(text, capacity,
                     "%s is %u levels deep, the deepest shown: its child atoms are not shown", type,
                     (unsigned)ATOM_WALK_DEPTH_LIMIT);
        break;
    case ATOM_WALK_ZERO_TERMINATOR:
        n = snprintf(text, capacity, "%s ends with a 32-bit zero, as QuickTime writes", parent);
        break;
    case ATOM_WALK_ITUNES_ITEM_TYPE:
        // The walk checked the three bytes after 0xA9: printable.
        n = snprintf(text, capacity,
                     "iTunes item type 0xA9 '%.3s': a type beginning with 0xA9 is taken for no "
                     "atom; %s",
                     (const char *)base + (size_t)stop->offset + 5, rest);
        break;
    case ATOM_WALK_OUT_OF_MEMORY:
        n = snprintf(text, capacity,
                     "memory ran out at %s: it, and the atoms after it where the walk had to end, "
                     "are not shown",
                     type);
        break;
    }
    if (n < 0)
        n = 0;
    if (inMediaData && StopIsNote(stop, inMediaData) && (size_t)n < capacity) {
        int more = snprintf(text + n, capacity - (size_t)n,
                            " (media data, which looks like atoms only by chance)");
        if (more > 0)
            n += more;
    }
    if (capacity == 0)
        return 0;
    return (size_t)n < capacity ? (size_t)n : capacity - 1;
}

static void AppendToReport(StopReport *report, const char *bytes, size_t count)
{
    if (report->failed)
        return;
    if (count > report->capacity - report->used) {
        size_t capacity = report->capacity ? report->capacity : 4096;
        while (capacity - report->used < count) {
            if (capacity > (size_t)-1 / 2) {
                report->failed = 1;
                return;
            }
            capacity *= 2;
        }
        char *data = (char *)HeapAllocBlock(capacity);
        if (data == 0) {
            report->failed = 1;
            return;
        }
        if (report->used != 0)
            memcpy(data, report->data, report->used);
        HeapFreeBlock(report->data);
        report->data = data;
        report->capacity = capacity;
    }
    memcpy(report->data + report->used, bytes, count);
    report->used += count;
}

static void AppendStringToReport(StopReport *report, const char *text)
{
    AppendToReport(report, text, strlen(text));
}

// The longest sentence a report line keeps.
static const size_t reportSentenceLimit = 1000;

// One entry of the report: its offset, severity and reason, and the
// sentence that says what happened (at most reportSentenceLimit bytes).
static void AddEntryToReport(StopReport *report, uint64_t offset, const char *reason, int note,
                             const char *sentence, size_t length)
{
    const char *severity = note ? "note" : "problem";
    if (note)
        report->notes++;
    else
        report->problems++;
    char head[96];
    if (report->json) {
        // A small output of its own, so the JSON string escape is shared.
        char escaped[6 * reportSentenceLimit + 2];
        DumpOutput string = {escaped, 0, sizeof escaped, 0};
        OutputJsonString(&string, sentence, length);
        snprintf(head, sizeof head,
                 "%s{\"offset\":%" PRIu64 ",\"reason\":\"%s\",\"severity\":\"%s\",\"text\":",
                 report->problems + report->notes > 1 ? ",\n" : "\n", offset, reason, severity);
        AppendStringToReport(report, head);
        AppendToReport(report, escaped, string.used);
        AppendStringToReport(report, "}");
    } else {
        AppendStringToReport(report, report->path);
        snprintf(head, sizeof head, ": 0x%08" PRIX64 ": %s: ", offset, severity);
        AppendStringToReport(report, head);
        AppendToReport(report, sentence, length);
        snprintf(head, sizeof head, " [%s]\n", reason);
        AppendStringToReport(report, head);
    }
}

void AddStopToReport(StopReport *report, const unsigned char *base, const AtomWalkStop *stop,
                     int inMediaData)
{
    if (stop->reason == ATOM_WALK_OUT_OF_MEMORY)
        report->outOfMemory++;
    char sentence[320];
    size_t length = DescribeStop(sentence, sizeof sentence, base, stop, inMediaData);
    AddEntryToReport(report, stop->offset, StopReasonName(stop->reason),
                     StopIsNote(stop, inMediaData), sentence, length);
}

void AddLineToReport(StopReport *report, uint64_t offset, int note, const char *reason,
                     const char *sentence)
{
    size_t length = strlen(sentence);
    if (length > reportSentenceLimit)
        length = reportSentenceLimit;
    AddEntryToReport(report, offset, reason, note, sentence, length);
}

void AddWindowNoteToReport(StopReport *report, uint64_t offset, const char *sentence)
{
    size_t length = strlen(sentence);
    if (length > 319)
        length = 319;
    AddEntryToReport(report, offset, "window-stops-short", 1, sentence, length);
}

void OutputReportLines(DumpOutput *out, const StopReport *report)
{
    OutputBytes(out, report->data, report->used);
    OutputText(out, report->path);
    if (report->problems == 0 && report->notes == 0) {
        OutputText(out, ": clean\n");
        return;
    }
    char counts[64];
    snprintf(counts, sizeof counts, ": %u problem%s, %u note%s\n", report->problems,
             report->problems == 1 ? "" : "s", report->notes, report->notes == 1 ? "" : "s");
    OutputText(out, counts);
}
