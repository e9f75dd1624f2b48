#include "tools/kivra-dump/dump_tree.h"
#include "tools/kivra-dump/text_tree.h"

#include <stdio.h>
#include <string.h>

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
        InitJsonPrinters(&tree->sink, tree);
    else
        InitTextPrinters(&tree->sink, tree);
    tree->sink.reportStop = CollectStop;
    tree->sink.stopContext = tree;
    tree->options = options;
    tree->out = out;
    tree->path = path;
    tree->windowNotes = (options->check || options->json) && !options->window;
    tree->windowShows[0] = 1;
    InitStopReport(&tree->report, path, options->json);
    InitJsonNesting(&tree->nesting);
    // --check adds the file's references to the walk's report; the boxes'
    // layout problems join it when the fields are decoded too.
    InitDumpFields(&tree->fields, options->fields && !options->quiet,
                   options->fieldsAll ? FIELD_TABLE_ALL : FIELD_TABLE_DEFAULT, options->check,
                   options->check && options->fields, options->json, out, &tree->nesting,
                   &tree->report);
}

void FreeDumpTree(DumpTree *tree)
{
    FreeStopReport(&tree->report);
    FreeDumpFields(&tree->fields);
}

void ShowDumpBytes(DumpTree *tree, const unsigned char *base, uint64_t size)
{
    tree->base = base;
    tree->size = size;
    tree->rootShown = 1;
    if (tree->options->json)
        BeginJsonFile(tree->out, &tree->nesting, tree->path, size);
    else if (!tree->options->quiet)
        OutputTextLine(tree->out, 0, tree->path);
    // Of a file of 4 GiB or more the window shows no tree at all: that is
    // all there is to say.
    if (tree->windowNotes && size > 0xFFFFFFFFu) {
        AddWindowNoteToReport(&tree->report, 0,
                              "the file is 4 GiB or larger: kivra's window shows no tree of it");
        tree->windowNotes = 0;
    }
    WalkAtomsWith(&tree->sink,
                  tree->options->window ? ATOM_WALK_32BIT_SIZES : ATOM_WALK_64BIT_SIZES, (void *)1,
                  base, size, 0, size);
    // The fields of the last atom and the references, while the bytes are
    // still there.
    FinishDumpFields(&tree->fields, base, size);
}

// Notes the first atom of a range that the window's tree leaves out: one
// with a 64-bit size, in a range the window reaches, before which it shows
// every atom of the range.
static void NoteWhereTheWindowStops(DumpTree *tree, const AtomWalkAtom *atom)
{
    const uint32_t depth = atom->depth;
    if (depth + 1 >= DUMP_TREE_LEVELS)
        return;
    tree->windowStopped[depth + 1] = 0;
    const int shown = tree->windowShows[depth - 1] && !tree->windowStopped[depth];
    tree->windowShows[depth] = (unsigned char)(shown && atom->headerSize == 8);
    if (!shown || atom->headerSize == 8)
        return;
    tree->windowStopped[depth] = 1;
    char sentence[160];
    snprintf(sentence, sizeof sentence,
             "kivra's window does not follow the 64-bit size of '%.4s' (size field 1): it shows "
             "neither this atom nor the atoms after it in %s",
             (const char *)atom->header + 4, depth == 1 ? "the file" : "its parent");
    AddWindowNoteToReport(&tree->report, atom->offset, sentence);
}

void *TakeDumpItem(DumpTree *tree, void *parentItem, const AtomWalkAtom *atom)
{
    const uintptr_t item = (uintptr_t)parentItem + 1;
    // An item at the mdat's level or above means the mdat has ended.
    if (tree->mediaDataItem != 0 && item <= tree->mediaDataItem)
        tree->mediaDataItem = 0;
    if (tree->mediaDataItem == 0 && memcmp(atom->header + 4, "mdat", 4) == 0)
        tree->mediaDataItem = (uint32_t)item;
    if (tree->windowNotes)
        NoteWhereTheWindowStops(tree, atom);
    return (void *)item;
}
