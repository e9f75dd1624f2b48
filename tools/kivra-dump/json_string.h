#pragma once
#include "tools/kivra-dump/output_writer.h"

#include <stddef.h>

// text as a JSON string with its quotes. Bytes outside printable ASCII are
// written as \u00XX, one escape per byte (the bytes read as Latin-1), so
// that any bytes give valid JSON and each can be told back.
void OutputJsonString(DumpOutput *out, const char *text, size_t length);

// The same at out, which has room for 6 bytes per byte and the quotes;
// returns the end.
char *PutJsonString(char *out, const char *text, size_t length);
