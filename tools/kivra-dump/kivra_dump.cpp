// kivra-dump: prints the atom tree that kivra shows for each file named, one
// line per tree item in tree order, indented by two spaces per level, or
// the same tree as JSON; with --check, where and why the walk stopped.

#include "atoms/atom_file.h"
#include "atoms/atom_walk.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tools/kivra-dump/dump_output.h"
#include "tools/kivra-dump/file_map.h"
#include "tools/kivra-dump/stop_report.h"

#include <stdio.h>
#include <string.h>

#ifndef KIVRA_VERSION
#define KIVRA_VERSION "unknown"
#endif

static const char usage[] = "usage: kivra-dump [OPTION...] FILE...\n";

static const char help[] =
    "Prints the atom tree that kivra shows for each FILE, one after the other.\n"
    "\n"
    "  --defs FILE  take the atom descriptions from FILE instead of atom.def\n"
    "               beside kivra-dump\n"
    "  --no-defs    show no descriptions\n"
    "  --check      after each tree, report every place where the walk stopped\n"
    "               taking bytes as atoms, and where kivra's window shows less;\n"
    "               exit code 3 when a problem was found\n"
    "  --quiet      print the report alone, without the tree (implies --check)\n"
    "  --json       print the tree and its report as JSON, one array of files\n"
    "  --window     show exactly the tree of kivra's window: a size field of 1\n"
    "               (a 64-bit size) is not followed, and files of 4 GiB or more\n"
    "               are refused; without it, the file as it is\n"
    "  --version    print the version and exit\n"
    "  --help       print this help and exit\n"
    "  --           the arguments after it are files\n"
    "\n"
    "Exit codes: 0 shown; 1 a file or the definition file could not be read\n"
    "or the output not written; 2 a wrong command line; 3 with --check, a\n"
    "problem reported. With several files, the highest of their codes.\n";

static int UsageError(const char *message, const char *argument)
{
    fprintf(stderr, "kivra-dump: %s%s\n%s", message, argument, usage);
    return 2;
}

struct DumpOptions {
    int check;
    int quiet;
    int json;
    int window;  // the window's tree: size 1 stops, 4 GiB and more refused
};

// The deepest level of atoms, and the file's level.
#define DUMP_LEVELS (ATOM_WALK_DEPTH_LIMIT + 2)

// One file being shown. The walk hands its atoms to sink; items are printed
// as they come, since the walk inserts every item after its parent and
// before its parent's next sibling, description lines before child atoms,
// which is the order of the listing. An item's handle is its depth + 1.
struct DumpTree {
    AtomWalkSink sink;
    const DumpOptions *options;
    DumpOutput *out;
    const char *path;
    const unsigned char *base;  // the bytes being shown
    uint64_t size;
    int rootShown;
    StopReport report;
    JsonNesting nesting;
    // Where the window's tree stops short of this one (64-bit sizes
    // followed): windowShows[d], the open atom at depth d is in the window's
    // tree too; windowStopped[d], the window stopped in the range holding
    // the atoms at depth d, at a 64-bit header before them.
    unsigned char windowShows[DUMP_LEVELS];
    unsigned char windowStopped[DUMP_LEVELS];
    int windowNotes;  // the report says where the window's tree stops short
};

static void ShowRoot(DumpTree *tree)
{
    if (tree->options->json)
        BeginJsonFile(tree->out, &tree->nesting, tree->path, tree->size);
    else if (!tree->options->quiet)
        AppendTextLine(tree->out, 0, tree->path);
    tree->rootShown = 1;
}

// Notes the first atom of a range that the window's tree leaves out: one
// with a 64-bit size where the window shows its parent and all before it.
static void NoteWhereTheWindowStops(DumpTree *tree, const AtomWalkAtom *atom)
{
    const uint32_t depth = atom->depth;
    if (depth >= DUMP_LEVELS - 1)
        return;
    tree->windowStopped[depth + 1] = 0;
    const int parentShown = depth == 1 || tree->windowShows[depth - 1];
    const int shown = parentShown && !tree->windowStopped[depth];
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

static int PrintAtom(void *context, void *parentItem, const AtomWalkAtom *atom, void **item)
{
    DumpTree *tree = (DumpTree *)context;
    uintptr_t depth = (uintptr_t)parentItem;
    if (tree->options->quiet) {
        // Nothing printed.
    } else if (tree->options->json) {
        AppendJsonAtom(tree->out, &tree->nesting, (uint32_t)depth, atom->header + 4, atom->offset,
                       atom->size, atom->headerSize, atom->payloadSize);
    } else {
        char label[ATOM_WIDE_LABEL_CAPACITY];
        FormatWideAtomLabel(label, atom->header + 4, atom->offset, atom->payloadSize);
        AppendTextLine(tree->out, 2 * (size_t)depth, label);
    }
    if (tree->windowNotes)
        NoteWhereTheWindowStops(tree, atom);
    *item = (void *)(depth + 1);
    return 1;
}

static void PrintDescriptionItem(void *context, void *parentItem, const char *text)
{
    DumpTree *tree = (DumpTree *)context;
    if (!tree->options->quiet)
        AppendTextLine(tree->out, 2 * (size_t)(uintptr_t)parentItem, text);
}

static void PrintJsonDescription(void *context, void *parentItem, const char *text)
{
    DumpTree *tree = (DumpTree *)context;
    // The handle of the atom at level n is n + 1.
    if (!tree->options->quiet)
        AppendJsonDescription(tree->out, &tree->nesting, (uint32_t)(uintptr_t)parentItem - 1, text);
}

static void ReportStop(void *context, const AtomWalkStop *stop)
{
    DumpTree *tree = (DumpTree *)context;
    AddStopToReport(&tree->report, tree->base, stop);
}

// Shows the size bytes at base: the root, then the walk under it.
static void ShowBytes(DumpTree *tree, const unsigned char *base, uint64_t size)
{
    tree->base = base;
    tree->size = size;
    ShowRoot(tree);
    // The window shows no tree at all of a file of 4 GiB or more: that is
    // all there is to say.
    if (tree->windowNotes && size > 0xFFFFFFFFu) {
        AddWindowNoteToReport(&tree->report, 0,
                              "the file is 4 GiB or larger: kivra's window shows no tree of it");
        tree->windowNotes = 0;
    }
    WalkAtomsWith(&tree->sink,
                  tree->options->window ? ATOM_WALK_32BIT_SIZES : ATOM_WALK_64BIT_SIZES, (void *)1,
                  base, size, 0, size);
}

// What kivra does with a file that is no regular one (a pipe, a device):
// it reads it whole, with 32-bit sizes. Fills *buffer (the caller frees
// it) and *bytesRead.
static AtomFileLoad ReadWholeFile(const char *path, unsigned char **buffer, uint32_t *bytesRead)
{
    const FileReadService *files = PlatformFileReadService();
    void *file = files->open(files->context, path);
    if (file == 0)
        return ATOM_FILE_NOT_OPENED;
    uint64_t size = 0;
    if (!files->querySize(files->context, file, &size)) {
        files->close(files->context, file);
        return ATOM_FILE_SIZE_UNKNOWN;
    }
    if (size > 0xFFFFFFFFu) {
        files->close(files->context, file);
        return ATOM_FILE_TOO_LARGE;
    }
    *buffer = (unsigned char *)HeapAllocBlock((uint32_t)size);
    if (*buffer == 0 && size != 0) {
        files->close(files->context, file);
        return ATOM_FILE_NO_MEMORY;
    }
    *bytesRead = files->read(files->context, file, *buffer, (uint32_t)size);
    files->close(files->context, file);
    if (*bytesRead > size)
        *bytesRead = (uint32_t)size;
    return *bytesRead == size ? ATOM_FILE_LOADED : ATOM_FILE_SHORT_READ;
}

// How a file failed to show beyond what loading reports.
static const int DUMP_TOO_LARGE_TO_MAP = ATOM_FILE_LOADED + 1;

// Shows a regular file through a mapping of it; anything else is read
// whole as kivra does, which also reports why a file cannot be shown.
static int ShowFile(DumpTree *tree, const char *path)
{
    MappedFile file;
    const FileMapResult mapped = MapFileForReading(path, &file);
    if (mapped == FILE_TOO_LARGE_TO_MAP)
        return tree->options->window && file.size > 0xFFFFFFFFu ? ATOM_FILE_TOO_LARGE
                                                                : DUMP_TOO_LARGE_TO_MAP;
    if (mapped == FILE_MAPPED) {
        // The window's tree has 32-bit offsets: it refuses such a file.
        if (tree->options->window && file.size > 0xFFFFFFFFu) {
            UnmapFile(&file);
            return ATOM_FILE_TOO_LARGE;
        }
        ShowBytes(tree, file.bytes, file.size);
        UnmapFile(&file);
        return ATOM_FILE_LOADED;
    }
    unsigned char *buffer = 0;
    uint32_t bytesRead = 0;
    const AtomFileLoad result = ReadWholeFile(path, &buffer, &bytesRead);
    if (result == ATOM_FILE_LOADED || result == ATOM_FILE_SHORT_READ)
        ShowBytes(tree, buffer, bytesRead);
    HeapFreeBlock(buffer);
    return result;
}

// What went wrong with a load: for stderr (a format taking the path) and for
// the JSON file object. Both NULL when nothing did.
struct LoadFailure {
    const char *format;
    const char *text;
};

static LoadFailure DescribeLoadFailure(int result)
{
    switch (result) {
    case ATOM_FILE_NOT_OPENED: return {"cannot open %s", "cannot open"};
    case ATOM_FILE_SIZE_UNKNOWN: return {"cannot take the size of %s", "cannot take the size"};
    case ATOM_FILE_TOO_LARGE:
        return {"%s is 4 GiB or larger, which kivra's window does not show", "4 GiB or larger"};
    case ATOM_FILE_NO_MEMORY: return {"not enough memory to read %s", "not enough memory to read"};
    case ATOM_FILE_SHORT_READ:
        return {"%s could not be read whole; shown as far as it was read",
                "could not be read whole; shown as far as it was read"};
    }
    if (result == DUMP_TOO_LARGE_TO_MAP)
        return {"%s is too large for the address space of this 32-bit kivra-dump; the 64-bit "
                "kivra-dump shows it",
                "too large for the address space of this 32-bit kivra-dump"};
    return {0, 0};
}

// Shows one file and its report; returns its exit code.
static int DumpFile(const DumpOptions *options, DumpOutput *out, const char *path, int first)
{
    DumpTree tree;
    tree.sink.context = &tree;
    tree.sink.insertAtom = PrintAtom;
    tree.sink.descriptions.context = &tree;
    tree.sink.descriptions.insertChildText =
        options->json ? PrintJsonDescription : PrintDescriptionItem;
    tree.sink.reportStop = ReportStop;
    tree.sink.stopContext = &tree;
    tree.options = options;
    tree.out = out;
    tree.path = path;
    tree.base = 0;
    tree.size = 0;
    tree.rootShown = 0;
    tree.windowShows[0] = 1;
    tree.windowStopped[1] = 0;
    tree.windowNotes = (options->check || options->json) && !options->window;
    InitStopReport(&tree.report, path, options->json);
    InitJsonNesting(&tree.nesting);
    if (options->json && !first)
        AppendText(out, ",\n");

    const int result = ShowFile(&tree, path);
    const LoadFailure failure = DescribeLoadFailure(result);
    if (failure.format != 0) {
        // What was printed so far comes before the error, as it was found.
        FlushDumpOutput(out);
        fputs("kivra-dump: ", stderr);
        fprintf(stderr, failure.format, path);
        fputc('\n', stderr);
    }
    if (options->json) {
        if (!tree.rootShown)
            BeginJsonFile(out, &tree.nesting, path, 0);
        EndJsonFile(out, &tree.nesting, &tree.report, failure.text);
    } else if (options->check && tree.rootShown) {
        AppendReportLines(out, &tree.report);
    }
    int status = failure.format != 0 ? 1 : 0;
    if (options->check && tree.report.problems > 0 && status == 0)
        status = 3;
    if (tree.report.failed) {
        FlushDumpOutput(out);
        fprintf(stderr, "kivra-dump: not enough memory for the report of %s\n", path);
        status = 1;
    }
    FreeStopReport(&tree.report);
    return status;
}

int main(int argc, char **argv)
{
    const char *definitionPath = 0;
    int noDefinitions = 0;
    DumpOptions options = {0, 0, 0, 0};
    int fileCount = 0;
    int optionsEnded = 0;
    // Options first, wherever they stand; the files are taken in order below.
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
            fileCount++;
        } else if (strcmp(argument, "--") == 0) {
            optionsEnded = 1;
        } else if (strcmp(argument, "--help") == 0) {
            fputs(usage, stdout);
            fputs(help, stdout);
            return 0;
        } else if (strcmp(argument, "--version") == 0) {
            fputs("kivra-dump " KIVRA_VERSION "\n", stdout);
            return 0;
        } else if (strcmp(argument, "--defs") == 0) {
            if (i + 1 >= argc)
                return UsageError("--defs needs a file", "");
            definitionPath = argv[++i];
        } else if (strcmp(argument, "--no-defs") == 0) {
            noDefinitions = 1;
        } else if (strcmp(argument, "--check") == 0) {
            options.check = 1;
        } else if (strcmp(argument, "--quiet") == 0) {
            options.quiet = 1;
            options.check = 1;
        } else if (strcmp(argument, "--json") == 0) {
            options.json = 1;
        } else if (strcmp(argument, "--window") == 0) {
            options.window = 1;
        } else {
            return UsageError("unknown option ", argument);
        }
    }
    if (fileCount == 0)
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
    DumpOutput output = {outputBytes, 0, sizeof outputBytes, 0};
    if (options.json)
        AppendText(&output, "[\n");
    int status = 0;
    int shown = 0;
    optionsEnded = 0;
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        if (!optionsEnded && argument[0] == '-' && argument[1] != '\0') {
            if (strcmp(argument, "--") == 0)
                optionsEnded = 1;
            else if (strcmp(argument, "--defs") == 0)
                i++;
            continue;
        }
        int fileStatus = DumpFile(&options, &output, argument, shown == 0);
        shown++;
        if (fileStatus > status)
            status = fileStatus;
    }
    if (options.json)
        AppendText(&output, "\n]\n");
    FlushDumpOutput(&output);
    if (output.failed || fflush(stdout) != 0) {
        fprintf(stderr, "kivra-dump: cannot write the tree\n");
        status = 1;
    }
    FreeDefinitionText();
    return status;
}
