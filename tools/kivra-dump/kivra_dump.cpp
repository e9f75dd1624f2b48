// kivra-dump: prints the atom tree that kivra shows for a file, one line per
// tree item in tree order, indented by two spaces per level.

#include "atoms/atom_file.h"
#include "atoms/atom_walk.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tools/kivra-dump/file_map.h"

#include <stdio.h>
#include <string.h>

static const char usage[] = "usage: kivra-dump [--defs FILE | --no-defs] FILE\n";

static int UsageError(const char *message, const char *argument)
{
    fprintf(stderr, "kivra-dump: %s%s\n%s", message, argument, usage);
    return 2;
}

// Output goes through one large buffer written out in big chunks.
struct OutputBuffer {
    char *data;
    size_t used;
    size_t capacity;
    int failed;
};

static void FlushOutput(OutputBuffer *out)
{
    if (out->used != 0 && fwrite(out->data, 1, out->used, stdout) != out->used)
        out->failed = 1;
    out->used = 0;
}

static void AppendBytes(OutputBuffer *out, const char *bytes, size_t count)
{
    while (count > 0) {
        if (out->used == out->capacity)
            FlushOutput(out);
        size_t room = out->capacity - out->used;
        size_t n = count < room ? count : room;
        memcpy(out->data + out->used, bytes, n);
        out->used += n;
        bytes += n;
        count -= n;
    }
}

static void AppendSpaces(OutputBuffer *out, size_t count)
{
    static const char spaces[] = "                                                                ";
    while (count > 0) {
        size_t n = count < sizeof spaces - 1 ? count : sizeof spaces - 1;
        AppendBytes(out, spaces, n);
        count -= n;
    }
}

// The tree printed as it is filled: the walk inserts every item after its
// parent and before its parent's next sibling, description lines before
// child atoms, which is the order of the listing. An item's handle is its
// depth + 1, all a child needs to be indented.
struct PrintingTree {
    AtomTree service;
    OutputBuffer *out;
    AtomNodeRecord *root;  // when the file was read, its record owns the buffer
};

static void PrintItem(PrintingTree *tree, uintptr_t depth, const char *text)
{
    AppendSpaces(tree->out, 2 * (size_t)depth);
    AppendBytes(tree->out, text, strlen(text));
    AppendBytes(tree->out, "\n", 1);
}

static void ReleaseRoot(PrintingTree *tree)
{
    if (tree->root != 0) {
        HeapFreeBlock(tree->root->base);
        HeapFreeBlock(tree->root);
        tree->root = 0;
    }
}

static void *PrintAtomItem(void *context, void *parentItem, const char *text,
                           AtomNodeRecord *record)
{
    PrintingTree *tree = (PrintingTree *)context;
    uintptr_t depth = (uintptr_t)parentItem;
    PrintItem(tree, depth, text);
    if (record->ownsBuffer) {
        ReleaseRoot(tree);
        tree->root = record;
    } else {
        HeapFreeBlock(record);
    }
    return (void *)(depth + 1);
}

static void PrintDescriptionItem(void *context, void *parentItem, const char *text)
{
    PrintItem((PrintingTree *)context, (uintptr_t)parentItem, text);
}

static void ForgetPrintedItems(void *context)
{
    ReleaseRoot((PrintingTree *)context);
}

// Shows a regular file through a mapping of it; anything else (a pipe, a
// file that cannot be mapped) is read whole as kivra does, which also
// reports why a file cannot be shown.
static AtomFileLoad PrintAtomFile(PrintingTree *tree, const char *path)
{
    MappedFile file;
    if (!MapFileForReading(path, &file))
        return LoadAtomFileIntoTree(&tree->service, PlatformFileReadService(), path);
    PrintItem(tree, 0, path);
    // The walk only reads the bytes; the records it makes are released at once.
    WalkAtoms(&tree->service, (void *)1, (unsigned char *)file.bytes, file.size, 0, file.size);
    UnmapFile(&file);
    return ATOM_FILE_LOADED;
}

int main(int argc, char **argv)
{
    const char *definitionPath = 0;
    int noDefinitions = 0;
    const char *path = 0;
    int optionsEnded = 0;
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        if (!optionsEnded && strcmp(argument, "--") == 0) {
            optionsEnded = 1;
        } else if (!optionsEnded && strcmp(argument, "--help") == 0) {
            fputs(usage, stdout);
            return 0;
        } else if (!optionsEnded && strcmp(argument, "--defs") == 0) {
            if (i + 1 >= argc)
                return UsageError("--defs needs a file", "");
            definitionPath = argv[++i];
        } else if (!optionsEnded && strcmp(argument, "--no-defs") == 0) {
            noDefinitions = 1;
        } else if (!optionsEnded && argument[0] == '-' && argument[1] != '\0') {
            return UsageError("unknown option ", argument);
        } else if (path == 0) {
            path = argument;
        } else {
            return UsageError("more than one file: ", argument);
        }
    }
    if (path == 0)
        return UsageError("no file given", "");
    if (definitionPath != 0 && noDefinitions)
        return UsageError("--defs and --no-defs exclude each other", "");

    if (definitionPath != 0) {
        if (!LoadDefinitionTextFromPath(definitionPath)) {
            fprintf(stderr, "kivra-dump: cannot read definition file %s\n", definitionPath);
            return 1;
        }
    } else if (!noDefinitions) {
        // As kivra does: atom.def beside the executable, silently none if absent.
        LoadDefinitionText();
    }

    static char outputBytes[1 << 20];
    OutputBuffer output = {outputBytes, 0, sizeof outputBytes, 0};
    PrintingTree tree;
    tree.service.context = &tree;
    tree.service.insertItem = PrintAtomItem;
    tree.service.deleteAllItems = ForgetPrintedItems;
    tree.service.descriptions.context = &tree;
    tree.service.descriptions.insertChildText = PrintDescriptionItem;
    tree.out = &output;
    tree.root = 0;
    AtomFileLoad result = PrintAtomFile(&tree, path);
    FlushOutput(&output);
    int status = 0;
    switch (result) {
    case ATOM_FILE_NOT_OPENED:
        fprintf(stderr, "kivra-dump: cannot open %s\n", path);
        status = 1;
        break;
    case ATOM_FILE_SIZE_UNKNOWN:
        fprintf(stderr, "kivra-dump: cannot take the size of %s\n", path);
        status = 1;
        break;
    case ATOM_FILE_TOO_LARGE:
        fprintf(stderr, "kivra-dump: %s is 4 GiB or larger\n", path);
        status = 1;
        break;
    case ATOM_FILE_NO_MEMORY:
        fprintf(stderr, "kivra-dump: not enough memory to read %s\n", path);
        status = 1;
        break;
    case ATOM_FILE_SHORT_READ:
        fprintf(stderr, "kivra-dump: %s could not be read whole; shown as far as it was read\n",
                path);
        status = 1;
        break;
    case ATOM_FILE_LOADED:
        break;
    }
    if (output.failed || fflush(stdout) != 0) {
        fprintf(stderr, "kivra-dump: cannot write the tree\n");
        status = 1;
    }
    ReleaseRoot(&tree);
    FreeDefinitionText();
    return status;
}
