// The file loader and the atom walk over arbitrary file bytes, into the
// in-memory tree. Checks every item and every reported stop against the
// plain recursive reference reading of the walk's rules (labels, order,
// nesting, description items first), that every record's range lies inside
// the buffer, that an atom whose size fits its range has the same children
// alone at the end of a file and followed by another atom, and that a load
// cut short by a failed allocation leaves a prefix of the full tree and no
// leak. The walk that follows 64-bit sizes is checked against the same
// reading with them followed, and against the window's walk: without a
// 64-bit header the two are one.

#include "atoms/atom_file.h"
#include "tests/support/atom_tree_memory.h"
#include "atoms/atom_walk.h"
#include "defs/definition_index.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "fuzz_support.h"
#include "tests/support/reference_atom_walk.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kPath[] = "fuzz.mp4";
const char kDefinitions[] = "[]\nevery atom\n\n[ftyp]\nfile type\n";

struct MemoryFile {
    const uint8_t *data;
    size_t size;
};

FileReadService MemoryFileService(MemoryFile *file)
{
    FileReadService service;
    service.context = file;
    service.open = [](void *context, const char *) -> void * { return context; };
    service.querySize = [](void *context, void *, uint64_t *size) -> int {
        *size = ((MemoryFile *)context)->size;
        return 1;
    };
    service.read = [](void *context, void *, void *buffer, uint32_t bytes) -> uint32_t {
        MemoryFile *f = (MemoryFile *)context;
        uint32_t n = bytes < f->size ? bytes : (uint32_t)f->size;
        memcpy(buffer, f->data, n);
        return n;
    };
    service.close = [](void *, void *) {};
    return service;
}

struct ExpectedItem {
    uint32_t depth;
    std::string text;
    bool hasRecord;
    uint32_t payloadOffset;
    uint32_t payloadSize;
};

// The items the tree should hold, from the shared reference reading, with
// the description items of kDefinitions under each atom.
std::vector<ExpectedItem> ExpectedTree(const ReferenceReading &reading)
{
    std::vector<ExpectedItem> out;
    for (const ReferenceAtom &atom : reading.atoms) {
        out.push_back({atom.depth - 1, ReferenceLabel(atom), true, atom.offset + atom.headerSize,
                       atom.payloadSize});
        out.push_back({atom.depth, "[]", false, 0, 0});
        out.push_back({atom.depth, "every atom", false, 0, 0});
        if (atom.type == "ftyp") {
            out.push_back({atom.depth, "[ftyp]", false, 0, 0});
            out.push_back({atom.depth, "file type", false, 0, 0});
        }
    }
    return out;
}

// Out of memory only where the heap is told to fail: the reference never
// reports it, so a full load that did would differ from it.
const char *const kStopNames[] = {
    "cut-short",          "size-overruns", "size-64bit",      "size-too-small",   "short-header",
    "type-not-printable", "depth-limit",   "zero-terminator", "itunes-item-type", "out-of-memory"};

void RecordStop(void *context, const AtomWalkStop *stop)
{
    std::vector<ReferenceStop> *recordedStops = (std::vector<ReferenceStop> *)context;
    FUZZ_CHECK(stop->reason <= ATOM_WALK_OUT_OF_MEMORY);
    FUZZ_CHECK(stop->offset >= stop->rangeOffset && stop->bytesLeft > 0);
    FUZZ_CHECK(stop->headerSize == 8 || stop->headerSize == 16);
    bool note =
        stop->reason == ATOM_WALK_ZERO_TERMINATOR || stop->reason == ATOM_WALK_ITUNES_ITEM_TYPE;
    recordedStops->push_back(
        {(uint32_t)stop->offset, kStopNames[stop->reason], note, false, stop->headerSize});
}

bool SameStops(const std::vector<ReferenceStop> &a, const std::vector<ReferenceStop> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        if (a[i].offset != b[i].offset || a[i].reason != b[i].reason || a[i].note != b[i].note ||
            a[i].headerSize != b[i].headerSize)
            return false;
    }
    return true;
}

// The tree in pre-order, checking each record on the way.
std::vector<ExpectedItem> Flatten(const MemoryTree &tree)
{
    std::vector<ExpectedItem> items;
    const unsigned char *base = 0;
    uint32_t fileSize = 0;
    uint32_t counted = 0;
    for (const MemoryTreeNode *node = NextMemoryTreeNode(&tree, 0); node != 0;
         node = NextMemoryTreeNode(&tree, node)) {
        counted++;
        const AtomNodeRecord *record = node->record;
        if (node->depth == 0) {
            FUZZ_CHECK(record != 0 && record->ownsBuffer == 1 && record->payloadOffset == 0);
            FUZZ_CHECK(strcmp(node->text, kPath) == 0);
            base = record->base;
            fileSize = record->payloadSize;
            continue;
        }
        if (record != 0) {
            FUZZ_CHECK(record->ownsBuffer == 0 && record->base == base);
            FUZZ_CHECK(record->payloadOffset >= 8);
            FUZZ_CHECK((uint64_t)record->payloadOffset + record->payloadSize <= fileSize);
            // Inside its parent's range, which starts at the parent's payload.
            const AtomNodeRecord *parent = node->parent->record;
            FUZZ_CHECK(parent != 0);
            FUZZ_CHECK(record->payloadOffset - 8 >= parent->payloadOffset);
            FUZZ_CHECK((uint64_t)record->payloadOffset + record->payloadSize <=
                       (uint64_t)parent->payloadOffset + parent->payloadSize);
        } else {
            // Description items come before every atom item of their parent.
            for (const MemoryTreeNode *sibling = node->parent->firstChild; sibling != node;
                 sibling = sibling->nextSibling)
                FUZZ_CHECK(sibling->record == 0);
        }
        items.push_back({node->depth - 1, node->text, record != 0,
                         record ? record->payloadOffset : 0, record ? record->payloadSize : 0});
    }
    FUZZ_CHECK(counted == tree.itemCount);
    return items;
}

bool SameItem(const ExpectedItem &a, const ExpectedItem &b)
{
    return a.depth == b.depth && a.text == b.text && a.hasRecord == b.hasRecord &&
        a.payloadOffset == b.payloadOffset && a.payloadSize == b.payloadSize;
}

// The items under node, in tree order: depth below node, the type and the
// payload range relative to node's atom, or a description line's text.
std::vector<std::string> Subtree(const MemoryTree &tree, const MemoryTreeNode *node)
{
    std::vector<std::string> out;
    const uint32_t atomOffset = node->record->payloadOffset - 8;
    for (const MemoryTreeNode *item = node->firstChild; item != 0;
         item = NextMemoryTreeNode(&tree, item)) {
        if (item->depth <= node->depth)
            break;
        std::string line = std::to_string(item->depth - node->depth) + " ";
        if (item->record != 0)
            line += std::string(item->text, 4) + " " +
                std::to_string(item->record->payloadOffset - atomOffset) + ":" +
                std::to_string(item->record->payloadSize);
        else
            line += item->text;
        out.push_back(line);
    }
    return out;
}

// An atom whose size field fits its range has the same children wherever
// it stands: alone as a whole file (the last atom, its range reaching the
// end of the file) and followed by another atom.
void CheckPlacement(const MemoryTree &tree, const MemoryTreeNode *node)
{
    const AtomNodeRecord *record = node->record;
    const unsigned char *atom = record->base + record->payloadOffset - 8;
    if (ReferenceBigEndian32(atom) != record->payloadSize + 8)
        return;  // size 0 or clamped: its range depends on where it stands
    const uint32_t atomSize = record->payloadSize + 8;
    // Each level takes 8 bytes: the depth limit must be out of reach of both.
    if (node->depth + atomSize / 8 >= ATOM_WALK_DEPTH_LIMIT)
        return;
    const std::vector<std::string> expected = Subtree(tree, node);
    for (int trailing = 0; trailing < 2; trailing++) {
        const uint32_t size = atomSize + (trailing ? 8 : 0);
        unsigned char *bytes = (unsigned char *)HeapAllocBlock(size);
        FUZZ_CHECK(bytes != 0);
        memcpy(bytes, atom, atomSize);
        if (trailing)
            memcpy(bytes + atomSize, "\0\0\0\010free", 8);
        MemoryTree alone;
        InitMemoryTree(&alone);
        WalkAtoms(&alone.service, 0, bytes, size, 0, size);
        FUZZ_CHECK(alone.firstTop != 0 && alone.firstTop->record->payloadOffset == 8);
        FUZZ_CHECK(Subtree(alone, alone.firstTop) == expected);
        ClearMemoryTree(&alone);
        HeapFreeBlock(bytes);
    }
}

// The wide walk's items, in the order it hands them over, with the
// description lines; each atom is checked against the bytes on the way.
struct WideRecording {
    const unsigned char *base;
    uint64_t size;
    std::vector<ExpectedItem> items;
    std::vector<ReferenceStop> stops;
    bool sawLargeHeader;
};

int RecordWideAtom(void *context, void *parentItem, const AtomWalkAtom *atom, void **item)
{
    WideRecording *recording = (WideRecording *)context;
    FUZZ_CHECK(atom->headerSize == 8 || atom->headerSize == 16);
    FUZZ_CHECK(atom->header == recording->base + atom->offset);
    FUZZ_CHECK(atom->offset + atom->headerSize + atom->payloadSize <= recording->size);
    FUZZ_CHECK((uintptr_t)parentItem + 1 == atom->depth);
    char label[ATOM_WIDE_LABEL_CAPACITY];
    FormatWideAtomLabel(label, atom->header + 4, atom->offset, atom->payloadSize);
    recording->items.push_back({atom->depth - 1, label, true,
                                (uint32_t)(atom->offset + atom->headerSize),
                                (uint32_t)atom->payloadSize});
    recording->sawLargeHeader = recording->sawLargeHeader || atom->headerSize == 16;
    *item = (void *)(uintptr_t)atom->depth;
    return 1;
}

void RecordWideDescription(void *context, void *parentItem, const char *text)
{
    ((WideRecording *)context)
        ->items.push_back({(uint32_t)(uintptr_t)parentItem, text, false, 0, 0});
}

void RecordWideStop(void *context, const AtomWalkStop *stop)
{
    WideRecording *recording = (WideRecording *)context;
    RecordStop(&recording->stops, stop);
    recording->sawLargeHeader = recording->sawLargeHeader || stop->headerSize == 16;
}

// The walk with 64-bit sizes followed, against the reading that follows
// them; where it met no 64-bit header, against the window's items too.
void CheckWideWalk(const uint8_t *data, size_t size, const std::vector<ExpectedItem> &windowItems,
                   const std::vector<ReferenceStop> &windowStops)
{
    const ReferenceReading reading =
        ReadAtomsForReference(data, (uint32_t)size, ATOM_WALK_DEPTH_LIMIT, true);
    const std::vector<ExpectedItem> expected = ExpectedTree(reading);
    WideRecording recording = {data, size, {}, {}, false};
    AtomWalkSink sink;
    sink.context = &recording;
    sink.insertAtom = RecordWideAtom;
    sink.descriptions.context = &recording;
    sink.descriptions.insertChildText = RecordWideDescription;
    sink.reportStop = RecordWideStop;
    sink.stopContext = &recording;
    WalkAtomsWith(&sink, ATOM_WALK_64BIT_SIZES, 0, data, size, 0, size);
    FUZZ_CHECK(recording.items.size() == expected.size());
    for (size_t i = 0; i < expected.size(); i++)
        FUZZ_CHECK(SameItem(recording.items[i], expected[i]));
    FUZZ_CHECK(SameStops(recording.stops, reading.stops));
    if (recording.sawLargeHeader)
        return;
    FUZZ_CHECK(recording.items.size() == windowItems.size());
    for (size_t i = 0; i < windowItems.size(); i++)
        FUZZ_CHECK(SameItem(recording.items[i], windowItems[i]));
    FUZZ_CHECK(SameStops(recording.stops, windowStops));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 0xFFFFFF)
        return 0;
    if (DefinitionText == 0) {
        // Lives for the process, as in kivra; the lookup goes through its index.
        SetDefinitionText(CopyToText((const uint8_t *)kDefinitions, sizeof kDefinitions - 1),
                          CharStepPlatform);
        FUZZ_CHECK(DefinitionTextIndex() != 0);
    }
    MemoryFile file = {data, size};
    FileReadService files = MemoryFileService(&file);

    const ReferenceReading reading =
        ReadAtomsForReference(data, (uint32_t)size, ATOM_WALK_DEPTH_LIMIT);
    const std::vector<ExpectedItem> expected = ExpectedTree(reading);

    MemoryTree tree;
    InitMemoryTree(&tree);
    tree.service.reportStop = RecordStop;
    std::vector<ReferenceStop> stops;
    tree.service.stopContext = &stops;
    FUZZ_CHECK(LoadAtomFileIntoTree(&tree.service, &files, kPath) == ATOM_FILE_LOADED);
    std::vector<ExpectedItem> items = Flatten(tree);
    FUZZ_CHECK(items.size() == expected.size());
    for (size_t i = 0; i < items.size(); i++)
        FUZZ_CHECK(SameItem(items[i], expected[i]));
    FUZZ_CHECK(SameStops(stops, reading.stops));
    for (const MemoryTreeNode *node = tree.firstTop ? tree.firstTop->firstChild : 0; node != 0;
         node = NextMemoryTreeNode(&tree, node)) {
        if (node->record != 0)
            CheckPlacement(tree, node);
    }
    CheckWideWalk(data, size, items, stops);

    // The same load with the heap giving out after some allocations: what
    // got in is a prefix of the full tree, and nothing leaks.
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; i++)
        hash = (hash ^ data[i]) * 16777619u;
    // One input in four: it doubles the cost of a run.
    if ((hash & 3) != 0) {
        ClearMemoryTree(&tree);
        return 0;
    }
    hash >>= 2;
    long successes = (long)(hash % (4 * (uint32_t)expected.size() + 6));
    SetHeapFailureCountdown(successes);
    AtomFileLoad cutShort = LoadAtomFileIntoTree(&tree.service, &files, kPath);
    SetHeapFailureCountdown(-1);
    if (cutShort == ATOM_FILE_LOADED) {
        std::vector<ExpectedItem> prefix = Flatten(tree);
        FUZZ_CHECK(prefix.size() <= expected.size());
        for (size_t i = 0; i < prefix.size(); i++)
            FUZZ_CHECK(SameItem(prefix[i], expected[i]));
    } else {
        FUZZ_CHECK(cutShort == ATOM_FILE_NO_MEMORY && tree.itemCount == 0);
    }
    ClearMemoryTree(&tree);
    return 0;
}
