#pragma once
// A FieldSink that writes what it is sent as one line per call, for the
// field decoders' tests and fuzz harness:
//   name=value    a number (as the text printer writes it) or text
//   name[ { } ]   a table, its entries and its end (+N: N entries left out)
//   ! 0xOFFSET text   a problem

#include "fields/box_fields.h"
#include "fields/field_format.h"

#include <stdio.h>
#include <string>

struct FieldTrace {
    std::string lines;
    int problems = 0;
    int depth = 0;  // open tables and entries, never below 0
    bool unbalanced = false;
};

inline void TraceNumber(void *context, const char *name, uint64_t value, FieldFormat format)
{
    char text[FIELD_NUMBER_CAPACITY];
    FormatFieldNumber(text, value, format, 0);
    ((FieldTrace *)context)->lines += std::string(name) + "=" + text + "\n";
}

inline void TraceText(void *context, const char *name, const char *bytes, size_t length)
{
    ((FieldTrace *)context)->lines += std::string(name) + "=" + std::string(bytes, length) + "\n";
}

inline void TraceBeginTable(void *context, const char *name)
{
    FieldTrace *trace = (FieldTrace *)context;
    trace->lines += std::string(name) + "[\n";
    trace->depth++;
}

inline void TraceBeginEntry(void *context)
{
    FieldTrace *trace = (FieldTrace *)context;
    trace->lines += "{\n";
    trace->depth++;
}

inline void TraceEnd(FieldTrace *trace)
{
    if (trace->depth == 0)
        trace->unbalanced = true;
    else
        trace->depth--;
}

inline void TraceEndEntry(void *context)
{
    FieldTrace *trace = (FieldTrace *)context;
    trace->lines += "}\n";
    TraceEnd(trace);
}

inline void TraceEndTable(void *context, uint64_t leftOut)
{
    FieldTrace *trace = (FieldTrace *)context;
    trace->lines += leftOut ? "]+" + std::to_string(leftOut) + "\n" : "]\n";
    TraceEnd(trace);
}

inline void TraceProblem(void *context, uint64_t offset, const char *text)
{
    FieldTrace *trace = (FieldTrace *)context;
    char head[32];
    snprintf(head, sizeof head, "! 0x%llX ", (unsigned long long)offset);
    trace->lines += head + std::string(text) + "\n";
    trace->problems++;
}

inline FieldSink MakeTraceSink(FieldTrace *trace)
{
    FieldSink sink = {trace,           TraceNumber,   TraceText,     TraceBeginTable,
                      TraceBeginEntry, TraceEndEntry, TraceEndTable, TraceProblem};
    return sink;
}
