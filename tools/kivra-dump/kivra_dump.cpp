// kivra-dump: prints the atom tree that kivra shows for a file, one line per
// tree item in tree order, indented by two spaces per level.

#include "atoms/atom_file.h"
#include "atoms/atom_tree_memory.h"
#include "defs/definition_text.h"

#include <stdio.h>
#include <string.h>

static const char usage[] = "usage: kivra-dump [--defs FILE | --no-defs] FILE\n";

static int UsageError(const char *message, const char *argument)
{
    fprintf(stderr, "kivra-dump: %s%s\n%s", message, argument, usage);
    return 2;
}

static void PrintTree(const MemoryTree *tree)
{
    for (const MemoryTreeNode *node = NextMemoryTreeNode(tree, 0); node != 0;
         node = NextMemoryTreeNode(tree, node)) {
        for (uint32_t level = 0; level < node->depth; level++)
            fputs("  ", stdout);
        fputs(node->text, stdout);
        fputc('\n', stdout);
    }
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

    MemoryTree tree;
    InitMemoryTree(&tree);
    AtomFileLoad result = LoadAtomFileIntoTree(&tree.service, PlatformFileReadService(), path);
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
        PrintTree(&tree);
        fprintf(stderr, "kivra-dump: %s could not be read whole; shown as far as it was read\n",
                path);
        status = 1;
        break;
    case ATOM_FILE_LOADED:
        PrintTree(&tree);
        break;
    }
    if (fflush(stdout) != 0) {
        fprintf(stderr, "kivra-dump: cannot write the tree\n");
        status = 1;
    }
    ClearMemoryTree(&tree);
    FreeDefinitionText();
    return status;
}
