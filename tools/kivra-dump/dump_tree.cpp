#include "tools/kivra-dump/dump_tree.h"
#include "atoms/atom_file.h"
#include "platform/heap.h"
#include "tools/kivra-dump/text_tree.h"

#include <string.h>

static void ReleaseDumpRoot(DumpTree *tree)
{
    FreeAtomNodeRecord(tree->root);
    tree->root = 0;
}

static void ForgetPrintedItems(void *context)
{
    ReleaseDumpRoot((DumpTree *)context);
}

static void CollectStop(void *context, const AtomWalkStop *stop)
{
    DumpTree *tree = (DumpTree *)context;
    // The range's parent item is the handle of an open atom, or the file's.
    const uintptr_t parent = (uintptr_t)stop->parentItem;
    const int inMediaData = tree->mediaDataItem != 0 && tree->mediaDataItem <= parent;
    AddStopToReport(&tree->report, tree->base, stop, inMediaData);
}

void InitDumpTree(DumpTree *tree, const DumpOptions *options, DumpOutput *out, const char *path)
{
    *tree = {};
    if (options->json)
        InitJsonPrinters(&tree->service, tree);
    else
        InitTextPrinters(&tree->service, tree);
    tree->service.deleteAllItems = ForgetPrintedItems;
    tree->service.reportStop = CollectStop;
    tree->service.stopContext = tree;
    tree->options = options;
    tree->out = out;
    tree->path = path;
    InitStopReport(&tree->report, path, options->json);
    InitJsonNesting(&tree->nesting);
    // The fields' problems and the file's references join the report when
    // the fields are asked for: --check alone reports the walk as before.
    InitDumpFields(&tree->fields, options->fields && !options->quiet,
                   options->fieldsAll ? FIELD_TABLE_ALL : FIELD_TABLE_DEFAULT,
                   options->check && options->fields, options->json, out, &tree->nesting,
                   &tree->report);
}

void FreeDumpTree(DumpTree *tree)
{
    FreeStopReport(&tree->report);
    FreeDumpFields(&tree->fields);
    ReleaseDumpRoot(tree);
}

void *TakeDumpItem(DumpTree *tree, void *parentItem, AtomNodeRecord *record)
{
    const uintptr_t parent = (uintptr_t)parentItem;
    const uintptr_t item = parent + 1;
    if (parentItem == 0) {
        tree->base = record->base;
        tree->size = record->payloadSize;
        tree->rootShown = 1;
    } else {
        // An item at the mdat's level or above means the mdat has ended.
        if (tree->mediaDataItem != 0 && item <= tree->mediaDataItem)
            tree->mediaDataItem = 0;
        if (tree->mediaDataItem == 0 &&
            memcmp(record->base + record->payloadOffset - 4, "mdat", 4) == 0)
            tree->mediaDataItem = (uint32_t)item;
    }
    if (record->ownsBuffer) {
        ReleaseDumpRoot(tree);
        tree->root = record;
    } else {
        HeapFreeBlock(record);
    }
    return (void *)item;
}
