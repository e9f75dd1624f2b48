#pragma once
#include <stddef.h>
#include <stdint.h>

struct StopReport;

// kivra-dump's standard output: one large buffer written out in big chunks.
struct DumpOutput {
    char *data;
    size_t used;
    size_t capacity;
    int failed;  // a write failed
};

void FlushDumpOutput(DumpOutput *out);
void AppendBytes(DumpOutput *out, const char *bytes, size_t count);
void AppendText(DumpOutput *out, const char *text);
void AppendDecimal(DumpOutput *out, uint32_t value);
// A line of the text listing: indent spaces, text, a line end.
void AppendTextLine(DumpOutput *out, size_t indent, const char *text);
// text as a JSON string with its quotes. Bytes outside printable ASCII are
// written as \u00XX, one escape per byte (the bytes read as Latin-1), so
// that any bytes give valid JSON and each can be told back.
void AppendJsonString(DumpOutput *out, const char *text, size_t length);

// Where the streamed JSON tree stands: for each open item, from the file
// (level 0) down, whether its description list or its child list is open
// and whether that list has an element yet.
struct JsonNesting {
    unsigned char state[4100];  // the walk's depth limit and the file's level
    uint32_t open;              // levels open
};

void InitJsonNesting(JsonNesting *nesting);
// Opens the file's object: its path, size and list of top-level atoms.
void BeginJsonFile(DumpOutput *out, JsonNesting *nesting, const char *path, uint32_t size);
// Opens the object of an atom whose parent is at level depth - 1; header
// points at its 8 header bytes.
void AppendJsonAtom(DumpOutput *out, JsonNesting *nesting, uint32_t depth,
                    const unsigned char *header, uint32_t offset, uint32_t payloadSize);
// A description line of the item at level parentDepth.
void AppendJsonDescription(DumpOutput *out, JsonNesting *nesting, uint32_t parentDepth,
                           const char *text);
// Closes the description list of the atom at level depth, the one opened
// last, and writes the key of its fields, whose object comes next. 0 (and
// nothing written) when that atom is not the one open.
int BeginJsonFields(DumpOutput *out, JsonNesting *nesting, uint32_t depth);
// Closes every open item and the file's object, with its report and, when
// error is not NULL, why the file could not be shown whole.
void EndJsonFile(DumpOutput *out, JsonNesting *nesting, const StopReport *report,
                 const char *error);
