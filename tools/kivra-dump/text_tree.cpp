#include "tools/kivra-dump/text_tree.h"
#include "tools/kivra-dump/dump_tree.h"

static int PrintAtomItem(void *context, void *parentItem, const AtomWalkAtom *atom, void **item)
{
    DumpTree *tree = (DumpTree *)context;
    // The fields of the atom before, after its description lines.
    if (DumpFieldsWanted(&tree->fields))
        TakeAtomFields(&tree->fields, tree->base, atom);
    if (!tree->options->quiet) {
        char label[ATOM_WIDE_LABEL_CAPACITY];
        FormatWideAtomLabel(label, atom->header + 4, atom->offset, atom->payloadSize);
        OutputTextLine(tree->out, 2 * (size_t)(uintptr_t)parentItem, label);
    }
    *item = TakeDumpItem(tree, parentItem, atom);
    return 1;
}

static void PrintDescriptionItem(void *context, void *parentItem, const char *text)
{
    DumpTree *tree = (DumpTree *)context;
    if (!tree->options->quiet)
        OutputTextLine(tree->out, 2 * (size_t)(uintptr_t)parentItem, text);
}

void InitTextPrinters(AtomWalkSink *sink, DumpTree *tree)
{
    sink->context = tree;
    sink->insertAtom = PrintAtomItem;
    sink->descriptions.context = tree;
    sink->descriptions.insertChildText = PrintDescriptionItem;
}
