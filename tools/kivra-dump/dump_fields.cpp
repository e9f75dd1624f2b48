#include "tools/kivra-dump/dump_fields.h"
#include "fields/field_printers.h"

#include <stdio.h>
#include <string.h>

void InitDumpFields(DumpFields *fields, int show, uint64_t tableLimit, int check, int checkLayout,
                    int json, DumpOutput *out, JsonNesting *nesting, StopReport *report)
{
    fields->show = show;
    fields->check = check;
    fields->checkLayout = checkLayout;
    fields->json = json;
    fields->tableLimit = tableLimit;
    fields->out = out;
    fields->nesting = nesting;
    fields->report = report;
    fields->pending = 0;
    InitFileReferences(&fields->references);
}

void FreeDumpFields(DumpFields *fields)
{
    FreeFileReferences(&fields->references);
}

static void WriteToOutput(void *context, const char *bytes, size_t count)
{
    OutputBytes((DumpOutput *)context, bytes, count);
}

static void IgnoreNumber(void *, const char *, uint64_t, FieldFormat) {}
static void IgnoreText(void *, const char *, const char *, size_t) {}
static void IgnoreTable(void *, const char *) {}
static void IgnoreEntry(void *) {}
static void IgnoreEndTable(void *, uint64_t) {}

// A problem of a box's layout goes to the report too, and to the printer.
struct ProblemRelay {
    FieldSink sink;
    const FieldSink *printer;  // NULL when the fields are not shown
    DumpFields *fields;
    const FieldBox *box;
};

static void RelayNumber(void *context, const char *name, uint64_t value, FieldFormat format)
{
    const FieldSink *printer = ((ProblemRelay *)context)->printer;
    printer->number(printer->context, name, value, format);
}
static void RelayText(void *context, const char *name, const char *bytes, size_t length)
{
    const FieldSink *printer = ((ProblemRelay *)context)->printer;
    printer->text(printer->context, name, bytes, length);
}
static void RelayBeginTable(void *context, const char *name)
{
    const FieldSink *printer = ((ProblemRelay *)context)->printer;
    printer->beginTable(printer->context, name);
}
static void RelayBeginEntry(void *context)
{
    const FieldSink *printer = ((ProblemRelay *)context)->printer;
    printer->beginEntry(printer->context);
}
static void RelayEndEntry(void *context)
{
    const FieldSink *printer = ((ProblemRelay *)context)->printer;
    printer->endEntry(printer->context);
}
static void RelayEndTable(void *context, uint64_t leftOut)
{
    const FieldSink *printer = ((ProblemRelay *)context)->printer;
    printer->endTable(printer->context, leftOut);
}

static void RelayProblem(void *context, uint64_t offset, const char *text)
{
    ProblemRelay *relay = (ProblemRelay *)context;
    if (relay->printer != 0)
        relay->printer->problem(relay->printer->context, offset, text);
    if (relay->fields->checkLayout) {
        char sentence[320];
        const FieldBox *box = relay->box;
        snprintf(sentence, sizeof sentence, "'%.4s' at 0x%08llX: %s", (const char *)box->type,
                 (unsigned long long)box->payloadOffset - 8, text);
        AddLineToReport(relay->fields->report, offset, 0, "field-layout", sentence);
    }
}

static void PrintPendingFields(DumpFields *fields)
{
    if (!fields->pending)
        return;
    fields->pending = 0;
    const FieldBox *box = &fields->pendingBox;
    // The JSON fields member opens only for a box that has fields; the text
    // printer writes nothing until the decoder sends something.
    if (fields->show && fields->json && !HasBoxFields(box))
        return;
    // Only the references are checked: the boxes need no decoding.
    if (!fields->show && !fields->checkLayout)
        return;
    ProblemRelay relay;
    relay.fields = fields;
    relay.box = box;
    relay.printer = 0;
    FieldTextPrinter text;
    FieldJsonPrinter json;
    if (fields->show && !fields->json) {
        InitFieldTextPrinter(&text, WriteToOutput, fields->out,
                             2 * ((size_t)fields->pendingLevel + 1));
        relay.printer = &text.sink;
    } else if (fields->show &&
               BeginJsonFields(fields->out, fields->nesting, fields->pendingLevel)) {
        InitFieldJsonPrinter(&json, WriteToOutput, fields->out);
        relay.printer = &json.sink;
    }
    if (relay.printer != 0)
        relay.sink = {&relay,          RelayNumber,   RelayText,     RelayBeginTable,
                      RelayBeginEntry, RelayEndEntry, RelayEndTable, RelayProblem};
    else
        relay.sink = {&relay,      IgnoreNumber, IgnoreText,     IgnoreTable,
                      IgnoreEntry, IgnoreEntry,  IgnoreEndTable, RelayProblem};
    // Checking alone needs no entries: the layout's problems show without.
    DecodeBoxFields(box, relay.printer != 0 ? fields->tableLimit : 0, &relay.sink);
    if (relay.printer == &json.sink)
        FinishFieldJsonPrinter(&json);
}

void TakeAtomFields(DumpFields *fields, const unsigned char *base, const AtomWalkAtom *atom)
{
    PrintPendingFields(fields);
    const uint32_t level = atom->depth;
    if (level == 0 || level > ATOM_WALK_DEPTH_LIMIT + 1)
        return;
    const uint64_t payloadOffset = atom->offset + atom->headerSize;
    memcpy(fields->types + 4 * level, atom->header + 4, 4);
    FieldBox *box = &fields->pendingBox;
    memcpy(box->type, atom->header + 4, 4);
    box->payload = base + payloadOffset;
    box->payloadSize = atom->payloadSize;
    box->payloadOffset = payloadOffset;
    box->parentTypes = fields->types + 4;
    box->parentCount = level - 1;
    fields->pending = 1;
    fields->pendingLevel = level;
    if (fields->check) {
        CheckedAtom checked;
        memcpy(checked.type, atom->header + 4, 4);
        checked.offset = atom->offset;
        checked.sizeField = atom->size;
        checked.payloadOffset = payloadOffset;
        checked.payloadSize = atom->payloadSize;
        checked.depth = level;
        AddCheckedAtom(&fields->references, &checked);
    }
}

static void ReportReference(void *context, uint64_t offset, int note, const char *reason,
                            const char *text)
{
    AddLineToReport((StopReport *)context, offset, note, reason, text);
}

void FinishDumpFields(DumpFields *fields, const unsigned char *file, uint64_t fileSize)
{
    PrintPendingFields(fields);
    if (!fields->check || file == 0)
        return;
    ReferenceReportSink sink = {fields->report, ReportReference};
    FinishFileReferences(&fields->references, file, fileSize, &sink);
}
