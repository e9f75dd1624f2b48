#include "tools/kivra-dump/text_tree.h"
#include "tools/kivra-dump/dump_tree.h"

static void *PrintAtomItem(void *context, void *parentItem, const char *text,
                           AtomNodeRecord *record)
{
    DumpTree *tree = (DumpTree *)context;
    // The fields of the atom before, after its description lines.
    if (parentItem != 0 && DumpFieldsWanted(&tree->fields))
        TakeAtomFields(&tree->fields, (uint32_t)(uintptr_t)parentItem, record->base,
                       record->payloadOffset - 8, record->payloadOffset, record->payloadSize);
    if (!tree->options->quiet)
        OutputTextLine(tree->out, 2 * (size_t)(uintptr_t)parentItem, text);
    return TakeDumpItem(tree, parentItem, record);
}

static void PrintDescriptionItem(void *context, void *parentItem, const char *text)
{
    DumpTree *tree = (DumpTree *)context;
    if (!tree->options->quiet)
        OutputTextLine(tree->out, 2 * (size_t)(uintptr_t)parentItem, text);
}

void InitTextPrinters(AtomTree *service, DumpTree *tree)
{
    InitAtomTree(service, tree, PrintAtomItem, 0, PrintDescriptionItem);
}
