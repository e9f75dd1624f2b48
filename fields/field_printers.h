#pragma once
// The fields of one atom as lines of the text listing or as a JSON object:
// two FieldSinks that write through a callback, so that any output (the
// buffered standard output of kivra-dump, a test string) can take them.
#include "fields/field_sink.h"

#include <stddef.h>
#include <stdint.h>

typedef void (*FieldWrite)(void *context, const char *bytes, size_t count);

#define FIELD_PRINTER_LEVELS 16
#define FIELD_PRINTER_NAME 48

// Text: one line per field, "= name: value", indented like the atom's
// description lines; a table one line per entry, "= name[1]: a 1, b 2",
// tables inside an entry in brackets, and "= name: N more not shown" for
// the entries the limit left out; "= problem at 0xOFFSET: text".
struct FieldTextPrinter {
    FieldSink sink;
    FieldWrite write;
    void *writeContext;
    size_t indent;
    unsigned depth;  // tables and entries open
    uint64_t entries[FIELD_PRINTER_LEVELS];
    int first[FIELD_PRINTER_LEVELS];
    char names[FIELD_PRINTER_LEVELS][FIELD_PRINTER_NAME];
    char line[4096];
    size_t used;
    int truncated;  // the line did not fit
};

void InitFieldTextPrinter(FieldTextPrinter *printer, FieldWrite write, void *writeContext,
                          size_t indent);

// JSON: an object with one member per field ("name": number or "text"),
// tables as arrays of objects, "name_left_out": N after a table the limit
// cut, and "problem": {"offset": N, "text": "..."}. Text bytes outside
// printable ASCII are written \u00XX, one escape per byte.
struct FieldJsonPrinter {
    FieldSink sink;
    FieldWrite write;
    void *writeContext;
    unsigned depth;
    int first[FIELD_PRINTER_LEVELS];
    char names[FIELD_PRINTER_LEVELS][FIELD_PRINTER_NAME];
    // Kept here and written in large pieces.
    char buffer[4096];
    size_t used;
};

// Writes the object's opening brace; FinishFieldJsonPrinter its closing one.
void InitFieldJsonPrinter(FieldJsonPrinter *printer, FieldWrite write, void *writeContext);
void FinishFieldJsonPrinter(FieldJsonPrinter *printer);
