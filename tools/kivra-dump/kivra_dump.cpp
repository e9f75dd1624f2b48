// kivra-dump: prints the atom tree that kivra shows for each file named, one
// line per tree item in tree order, indented by two spaces per level, or
// the same tree as JSON; with --check, where and why the walk stopped.

#include "atoms/atom_file.h"
#include "atoms/atom_walk.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tools/kivra-dump/dump_fields.h"
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
    "               taking bytes as atoms; exit code 3 when a problem was found\n"
    "  --quiet      print the report alone, without the tree (implies --check)\n"
    "  --json       print the tree and its report as JSON, one array of files\n"
    "  --fields     under each atom, the fields its box holds (tables: their\n"
    "               first 5 entries); with --check or --quiet, the report also\n"
    "               checks the fields and the file's own references (sample\n"
    "               tables, fragments, segment index, items)\n"
    "  --fields=all the same with every entry of every table\n"
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
    int fields;
    uint64_t tableLimit;
};

// One file being shown. The walk fills service; items are printed as they
// come, since the walk inserts every item after its parent and before its
// parent's next sibling, description lines before child atoms, which is
// the order of the listing. An item's handle is its depth + 1.
struct DumpTree {
    AtomTree service;
    const DumpOptions *options;
    DumpOutput *out;
    const char *path;
    AtomNodeRecord *root;       // when the file was read, its record owns the buffer
    const unsigned char *base;  // the bytes being shown, once the root is in
    uint32_t size;
    int rootShown;
    StopReport report;
    JsonNesting nesting;
    DumpFields fields;
};

static void ReleaseRoot(DumpTree *tree)
{
    if (tree->root != 0) {
        HeapFreeBlock(tree->root->base);
        HeapFreeBlock(tree->root);
        tree->root = 0;
    }
}

// Takes an inserted record: keeps the root's (it may own the buffer the walk
// reads), frees every other at once.
static void TakeRecord(DumpTree *tree, void *parentItem, AtomNodeRecord *record)
{
    if (parentItem == 0) {
        tree->base = record->base;
        tree->size = record->payloadSize;
        tree->rootShown = 1;
    }
    if (record->ownsBuffer) {
        ReleaseRoot(tree);
        tree->root = record;
    } else {
        HeapFreeBlock(record);
    }
}

static void *PrintAtomItem(void *context, void *parentItem, const char *text,
                           AtomNodeRecord *record)
{
    DumpTree *tree = (DumpTree *)context;
    uintptr_t depth = (uintptr_t)parentItem;
    if (parentItem != 0 && DumpFieldsWanted(&tree->fields))
        TakeAtomFields(&tree->fields, (uint32_t)depth, record->base, record->payloadOffset - 8,
                       record->payloadOffset, record->payloadSize);
    if (!tree->options->quiet)
        AppendTextLine(tree->out, 2 * (size_t)depth, text);
    TakeRecord(tree, parentItem, record);
    return (void *)(depth + 1);
}

static void PrintDescriptionItem(void *context, void *parentItem, const char *text)
{
    DumpTree *tree = (DumpTree *)context;
    if (!tree->options->quiet)
        AppendTextLine(tree->out, 2 * (size_t)(uintptr_t)parentItem, text);
}

static void *PrintJsonItem(void *context, void *parentItem, const char *text,
                           AtomNodeRecord *record)
{
    DumpTree *tree = (DumpTree *)context;
    uintptr_t depth = (uintptr_t)parentItem;
    if (parentItem != 0 && DumpFieldsWanted(&tree->fields))
        TakeAtomFields(&tree->fields, (uint32_t)depth, record->base, record->payloadOffset - 8,
                       record->payloadOffset, record->payloadSize);
    if (parentItem == 0) {
        BeginJsonFile(tree->out, &tree->nesting, text, record->payloadSize);
    } else if (!tree->options->quiet) {
        const unsigned char *header = record->base + record->payloadOffset - 8;
        AppendJsonAtom(tree->out, &tree->nesting, (uint32_t)depth, header,
                       record->payloadOffset - 8, record->payloadSize);
    }
    TakeRecord(tree, parentItem, record);
    return (void *)(depth + 1);
}

static void PrintJsonDescription(void *context, void *parentItem, const char *text)
{
    DumpTree *tree = (DumpTree *)context;
    // The handle of the atom at level n is n + 1.
    if (!tree->options->quiet)
        AppendJsonDescription(tree->out, &tree->nesting, (uint32_t)(uintptr_t)parentItem - 1, text);
}

static void ForgetPrintedItems(void *context)
{
    ReleaseRoot((DumpTree *)context);
}

static void ReportStop(void *context, const AtomWalkStop *stop)
{
    DumpTree *tree = (DumpTree *)context;
    AddStopToReport(&tree->report, tree->base, stop);
}

// Shows a regular file through a mapping of it; anything else (a pipe, a
// file that cannot be mapped) is read whole as kivra does, which also
// reports why a file cannot be shown.
static AtomFileLoad ShowFile(DumpTree *tree, const char *path)
{
    MappedFile file;
    if (!MapFileForReading(path, &file)) {
        AtomFileLoad result = LoadAtomFileIntoTree(&tree->service, PlatformFileReadService(), path);
        if (tree->root != 0)
            FinishDumpFields(&tree->fields, tree->base, tree->size);
        return result;
    }
    // The walk only reads the bytes: the root's record does not own them.
    int shown = ShowAtomFileBuffer(&tree->service, path, (unsigned char *)file.bytes, file.size, 0);
    // The fields of the last atom and the references need the bytes too.
    if (shown && tree->rootShown)
        FinishDumpFields(&tree->fields, tree->base, tree->size);
    UnmapFile(&file);
    return shown ? ATOM_FILE_LOADED : ATOM_FILE_NO_MEMORY;
}

// What went wrong with a load: for stderr (a format taking the path) and for
// the JSON file object. Both NULL when nothing did.
struct LoadFailure {
    const char *format;
    const char *text;
};

static LoadFailure DescribeLoadFailure(AtomFileLoad result)
{
    switch (result) {
    case ATOM_FILE_NOT_OPENED: return {"cannot open %s", "cannot open"};
    case ATOM_FILE_SIZE_UNKNOWN: return {"cannot take the size of %s", "cannot take the size"};
    case ATOM_FILE_TOO_LARGE: return {"%s is 4 GiB or larger", "4 GiB or larger"};
    case ATOM_FILE_NO_MEMORY: return {"not enough memory to read %s", "not enough memory to read"};
    case ATOM_FILE_SHORT_READ:
        return {"%s could not be read whole; shown as far as it was read",
                "could not be read whole; shown as far as it was read"};
    case ATOM_FILE_LOADED: break;
    }
    return {0, 0};
}

// Shows one file and its report; returns its exit code.
static int DumpFile(const DumpOptions *options, DumpOutput *out, const char *path, int first)
{
    DumpTree tree;
    if (options->json)
        InitAtomTree(&tree.service, &tree, PrintJsonItem, ForgetPrintedItems, PrintJsonDescription);
    else
        InitAtomTree(&tree.service, &tree, PrintAtomItem, ForgetPrintedItems, PrintDescriptionItem);
    tree.service.reportStop = ReportStop;
    tree.service.stopContext = &tree;
    tree.options = options;
    tree.out = out;
    tree.path = path;
    tree.root = 0;
    tree.base = 0;
    tree.size = 0;
    tree.rootShown = 0;
    InitStopReport(&tree.report, path, options->json);
    InitJsonNesting(&tree.nesting);
    // The fields' problems and the file's references join the report when
    // the fields are asked for: --check alone reports the walk as before.
    InitDumpFields(&tree.fields, options->fields && !options->quiet, options->tableLimit,
                   options->check && options->fields, options->json, out, &tree.nesting,
                   &tree.report);
    if (options->json && !first)
        AppendText(out, ",\n");

    AtomFileLoad result = ShowFile(&tree, path);
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
    FreeDumpFields(&tree.fields);
    ReleaseRoot(&tree);
    return status;
}

int main(int argc, char **argv)
{
    const char *definitionPath = 0;
    int noDefinitions = 0;
    DumpOptions options = {0, 0, 0, 0, FIELD_TABLE_DEFAULT};
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
        } else if (strcmp(argument, "--fields") == 0) {
            options.fields = 1;
        } else if (strcmp(argument, "--fields=all") == 0) {
            options.fields = 1;
            options.tableLimit = FIELD_TABLE_ALL;
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
