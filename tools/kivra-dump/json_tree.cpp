#include "tools/kivra-dump/json_tree.h"
#include "tools/kivra-dump/dump_tree.h"
#include "tools/kivra-dump/json_string.h"
#include "tools/kivra-dump/stop_report.h"

#include <string.h>

enum JsonListState {
    JSON_DESCRIPTIONS_EMPTY,
    JSON_DESCRIPTIONS,
    JSON_CHILDREN_EMPTY,
    JSON_CHILDREN,
    // The descriptions are closed and the fields written; no child yet.
    JSON_FIELDS
};

static const uint32_t jsonLevels = sizeof(((JsonNesting *)0)->state);

void InitJsonNesting(JsonNesting *nesting)
{
    nesting->open = 0;
}

// Closes the items deeper than level, the last one open at each level.
static void CloseJsonLevels(DumpOutput *out, JsonNesting *nesting, uint32_t level)
{
    while (nesting->open > level + 1) {
        nesting->open--;
        if (nesting->state[nesting->open] <= JSON_DESCRIPTIONS)
            OutputText(out, "],\"children\":[]}");
        else if (nesting->state[nesting->open] == JSON_FIELDS)
            OutputText(out, ",\"children\":[]}");
        else
            OutputText(out, "]}");
    }
}

// Makes room for one more element in the list level has open, in the list
// wanted (descriptions or children).
static void StartJsonElement(DumpOutput *out, JsonNesting *nesting, uint32_t level,
                             int wantChildren)
{
    unsigned char *state = &nesting->state[level];
    if (wantChildren && *state <= JSON_DESCRIPTIONS) {
        OutputText(out, "],\"children\":[");
        *state = JSON_CHILDREN_EMPTY;
    } else if (wantChildren && *state == JSON_FIELDS) {
        OutputText(out, ",\"children\":[");
        *state = JSON_CHILDREN_EMPTY;
    }
    if (*state == JSON_DESCRIPTIONS || *state == JSON_CHILDREN)
        OutputBytes(out, ",", 1);
    else
        *state = *state == JSON_DESCRIPTIONS_EMPTY ? JSON_DESCRIPTIONS : JSON_CHILDREN;
}

void BeginJsonFile(DumpOutput *out, JsonNesting *nesting, const char *path, uint64_t size)
{
    OutputText(out, "{\"path\":");
    OutputJsonString(out, path, strlen(path));
    OutputText(out, ",\"size\":");
    OutputDecimal(out, size);
    OutputText(out, ",\"atoms\":[");
    nesting->state[0] = JSON_CHILDREN_EMPTY;
    nesting->open = 1;
}

// The atom's size is its size field, or the 64-bit size after its type when
// its header has 16 bytes.
static void OutputJsonAtom(DumpOutput *out, JsonNesting *nesting, uint32_t depth,
                           const AtomWalkAtom *atom)
{
    // The walk never goes deeper than the levels kept; an item beyond them
    // would have no parent open.
    if (depth == 0 || depth >= jsonLevels || depth > nesting->open)
        return;
    CloseJsonLevels(out, nesting, depth - 1);
    StartJsonElement(out, nesting, depth - 1, 1);
    // The whole object head in one piece: the type takes at most 26 bytes,
    // each number 20.
    char item[256];
    char *at = item;
    static const char typeKey[] = "\n{\"type\":";
    static const char offsetKey[] = ",\"offset\":";
    static const char sizeKey[] = ",\"size\":";
    static const char payloadOffsetKey[] = ",\"payloadOffset\":";
    static const char payloadSizeKey[] = ",\"payloadSize\":";
    static const char descriptionsKey[] = ",\"descriptions\":[";
    memcpy(at, typeKey, sizeof typeKey - 1);
    at = PutJsonString(at + sizeof typeKey - 1, (const char *)atom->header + 4, 4);
    memcpy(at, offsetKey, sizeof offsetKey - 1);
    at = PutDecimal(at + sizeof offsetKey - 1, atom->offset);
    memcpy(at, sizeKey, sizeof sizeKey - 1);
    at = PutDecimal(at + sizeof sizeKey - 1, atom->size);
    memcpy(at, payloadOffsetKey, sizeof payloadOffsetKey - 1);
    at = PutDecimal(at + sizeof payloadOffsetKey - 1, atom->offset + atom->headerSize);
    memcpy(at, payloadSizeKey, sizeof payloadSizeKey - 1);
    at = PutDecimal(at + sizeof payloadSizeKey - 1, atom->payloadSize);
    memcpy(at, descriptionsKey, sizeof descriptionsKey - 1);
    at += sizeof descriptionsKey - 1;
    OutputBytes(out, item, (size_t)(at - item));
    nesting->state[depth] = JSON_DESCRIPTIONS_EMPTY;
    nesting->open = depth + 1;
}

static void OutputJsonDescription(DumpOutput *out, JsonNesting *nesting, uint32_t parentDepth,
                                  const char *text)
{
    // Descriptions come right after their atom, before any child of it.
    if (parentDepth == 0 || parentDepth + 1 != nesting->open ||
        nesting->state[parentDepth] > JSON_DESCRIPTIONS)
        return;
    StartJsonElement(out, nesting, parentDepth, 0);
    OutputJsonString(out, text, strlen(text));
}

int BeginJsonFields(DumpOutput *out, JsonNesting *nesting, uint32_t depth)
{
    // Only the atom open last, before any child of it.
    if (depth == 0 || depth + 1 != nesting->open || nesting->state[depth] > JSON_DESCRIPTIONS)
        return 0;
    OutputText(out, "],\"fields\":");
    nesting->state[depth] = JSON_FIELDS;
    return 1;
}

void EndJsonFile(DumpOutput *out, JsonNesting *nesting, const StopReport *report, const char *error)
{
    CloseJsonLevels(out, nesting, 0);
    OutputText(out, "],\n\"report\":[");
    OutputBytes(out, report->data, report->used);
    OutputText(out, "],\"problems\":");
    OutputDecimal(out, report->problems);
    OutputText(out, ",\"notes\":");
    OutputDecimal(out, report->notes);
    if (error != 0) {
        OutputText(out, ",\"error\":");
        OutputJsonString(out, error, strlen(error));
    }
    OutputText(out, "}");
    nesting->open = 0;
}

static int PrintJsonItem(void *context, void *parentItem, const AtomWalkAtom *atom, void **item)
{
    DumpTree *tree = (DumpTree *)context;
    // The fields of the atom before, after its description lines.
    if (DumpFieldsWanted(&tree->fields))
        TakeAtomFields(&tree->fields, tree->base, atom);
    if (!tree->options->quiet)
        OutputJsonAtom(tree->out, &tree->nesting, (uint32_t)(uintptr_t)parentItem, atom);
    *item = TakeDumpItem(tree, parentItem, atom);
    return 1;
}

static void PrintJsonDescription(void *context, void *parentItem, const char *text)
{
    DumpTree *tree = (DumpTree *)context;
    // The handle of the atom at level n is n + 1.
    if (!tree->options->quiet)
        OutputJsonDescription(tree->out, &tree->nesting, (uint32_t)(uintptr_t)parentItem - 1, text);
}

void InitJsonPrinters(AtomWalkSink *sink, DumpTree *tree)
{
    sink->context = tree;
    sink->insertAtom = PrintJsonItem;
    sink->descriptions.context = tree;
    sink->descriptions.insertChildText = PrintJsonDescription;
}
