// The file loader and the atom walk over arbitrary file bytes, into the
// in-memory tree. Checks every item against a plain recursive reference of
// the walk's rules (labels, order, nesting, description items first), that
// every record's range lies inside the buffer, and that a load cut short by
// a failed allocation leaves a prefix of the full tree and no leak.

#include "atoms/atom_file.h"
#include "tests/support/atom_tree_memory.h"
#include "atoms/atom_walk.h"
#include "defs/definition_index.h"
#include "defs/definition_text.h"
#include "fuzz_support.h"

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

uint32_t BigEndian32(const uint8_t *p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

bool Printable(const uint8_t *type)
{
    for (int i = 0; i < 4; i++)
        if (type[i] < 0x20 || type[i] > 0x7E)
            return false;
    return true;
}

// The walk's rules written the obvious recursive way: a range stops at a
// short or non-printable header and at a size of 1 to 7; a size beyond the
// range is clamped when the range ends at the end of the file and stops
// the range otherwise; a size of 0 runs to the range's end and ends it.
void ReferenceWalk(const uint8_t *data, uint32_t fileSize, uint32_t start, uint32_t end,
                   uint32_t depth, std::vector<ExpectedItem> &out)
{
    uint32_t pos = start;
    while (pos < end) {
        uint32_t left = end - pos;
        if (left < 8 || !Printable(data + pos + 4))
            return;
        uint32_t size = BigEndian32(data + pos);
        uint32_t payload;
        if (size == 0)
            payload = left - 8;
        else if (size < 8)
            return;
        else if (size > left) {
            if (end != fileSize)
                return;
            payload = left - 8;
        } else
            payload = size - 8;
        char label[80];
        snprintf(label, sizeof label, "%.4s (+0x%08X:%u[0x%X])", (const char *)data + pos + 4,
                 pos, payload, payload);
        out.push_back({depth, label, true, pos + 8, payload});
        out.push_back({depth + 1, "[]", false, 0, 0});
        out.push_back({depth + 1, "every atom", false, 0, 0});
        if (memcmp(data + pos + 4, "ftyp", 4) == 0) {
            out.push_back({depth + 1, "[ftyp]", false, 0, 0});
            out.push_back({depth + 1, "file type", false, 0, 0});
        }
        if (size == 0)
            return;
        // The walk shows an atom at its depth limit without children.
        if (depth + 1 < ATOM_WALK_DEPTH_LIMIT)
            ReferenceWalk(data, fileSize, pos + 8, pos + 8 + payload, depth + 1, out);
        pos += 8 + payload;
    }
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

    std::vector<ExpectedItem> expected;
    ReferenceWalk(data, (uint32_t)size, 0, (uint32_t)size, 0, expected);

    MemoryTree tree;
    InitMemoryTree(&tree);
    FUZZ_CHECK(LoadAtomFileIntoTree(&tree.service, &files, kPath) == ATOM_FILE_LOADED);
    std::vector<ExpectedItem> items = Flatten(tree);
    FUZZ_CHECK(items.size() == expected.size());
    for (size_t i = 0; i < items.size(); i++)
        FUZZ_CHECK(SameItem(items[i], expected[i]));

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
