#pragma once
#include <stddef.h>
#include <stdint.h>

// kivra-dump's standard output: one large buffer written out in big chunks.
struct DumpOutput {
    char *data;
    size_t used;
    size_t capacity;
    int failed;  // a write failed
};

void FlushDumpOutput(DumpOutput *out);
void OutputBytes(DumpOutput *out, const char *bytes, size_t count);
void OutputText(DumpOutput *out, const char *text);
void OutputDecimal(DumpOutput *out, uint32_t value);
// A line of the text listing: indent spaces, text, a line end.
void OutputTextLine(DumpOutput *out, size_t indent, const char *text);
// Room for count more bytes at out->data + out->used, flushing first if
// needed; 0 when even an empty buffer lacks it.
int MakeOutputRoom(DumpOutput *out, size_t count);

// Writes value's decimal digits at out (room for 10); returns the end.
char *PutDecimal(char *out, uint32_t value);
