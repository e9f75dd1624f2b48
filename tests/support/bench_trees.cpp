#include "tests/support/bench_trees.h"
#include "atoms/atom_file.h"
#include "platform/heap.h"

// Frees a record at once, or keeps it as the tree's root when it owns the
// buffer the walk still reads.
static void TakeRecord(AtomNodeRecord **root, AtomNodeRecord *record)
{
    if (record->ownsBuffer)
        *root = record;
    else
        HeapFreeBlock(record);
}

static void FreeRoot(AtomNodeRecord **root)
{
    FreeAtomNodeRecord(*root);
    *root = 0;
}

static void *CountAtom(void *context, void *, const char *, AtomNodeRecord *record)
{
    CountingTree *tree = (CountingTree *)context;
    TakeRecord(&tree->root, record);
    return (void *)(uintptr_t)++tree->atoms;
}

static void CountDescriptionLine(void *context, void *, const char *)
{
    ((CountingTree *)context)->descriptionLines++;
}

static void DeleteCounted(void *context)
{
    FreeRoot(&((CountingTree *)context)->root);
}

void InitCountingTree(CountingTree *tree)
{
    InitAtomTree(&tree->service, tree, CountAtom, DeleteCounted, CountDescriptionLine);
    tree->root = 0;
    tree->atoms = 0;
    tree->descriptionLines = 0;
}

static void *RecordAtom(void *context, void *parent, const char *text, AtomNodeRecord *record)
{
    RecordingTree *tree = (RecordingTree *)context;
    tree->items.push_back({(uint32_t)(uintptr_t)parent, true, *record, text});
    TakeRecord(&tree->root, record);
    return (void *)(uintptr_t)tree->items.size();
}

static void RecordDescriptionLine(void *context, void *parent, const char *text)
{
    RecordingTree *tree = (RecordingTree *)context;
    tree->items.push_back({(uint32_t)(uintptr_t)parent, false, AtomNodeRecord(), text});
}

static void DeleteRecorded(void *context)
{
    FreeRoot(&((RecordingTree *)context)->root);
}

void InitRecordingTree(RecordingTree *tree)
{
    InitAtomTree(&tree->service, tree, RecordAtom, DeleteRecorded, RecordDescriptionLine);
    tree->root = 0;
    tree->items.clear();
}
