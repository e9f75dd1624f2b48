// kivra-dump: prints the atom tree that kivra shows for each file named, one
// line per tree item in tree order, indented by two spaces per level, or
// the same tree as JSON; with --check, where and why the walk stopped and
// where the file's own references do not hold.

#include "atoms/atom_file.h"
#include "atoms/atom_walk.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tools/kivra-dump/dump_options.h"
#include "tools/kivra-dump/dump_tree.h"
#include "tools/kivra-dump/file_map.h"
#include "tools/kivra-dump/json_tree.h"
#include "tools/kivra-dump/output_writer.h"
#include "tools/kivra-dump/stop_report.h"

#include <stdio.h>
#include <string.h>

#ifndef KIVRA_VERSION
#define KIVRA_VERSION "unknown"
#endif
// Where "cmake --install" puts atom.def, relative to kivra-dump's directory.
#ifndef KIVRA_INSTALLED_ATOM_DEF
#define KIVRA_INSTALLED_ATOM_DEF "../share/kivra/atom.def"
#endif

static const char usage[] = "usage: kivra-dump [OPTION...] FILE...\n";

static const char help[] =
    "Prints the atom tree of each FILE, one after the other, as kivra walks it.\n"
    "\n"
    "  --defs FILE  take the atom descriptions from FILE instead of atom.def\n"
    "               beside kivra-dump (or, installed, in ../share/kivra/)\n"
    "  --no-defs    show no descriptions\n"
    "  --check      after each tree, report every place where the walk stopped\n"
    "               taking bytes as atoms, where kivra's window shows less, and\n"
    "               where the file's own offsets and counts (sample tables,\n"
    "               fragments, segment index, items) do not hold; exit code 3\n"
    "               when a problem was found\n"
    "  --quiet      print the report alone, without the tree (implies --check)\n"
    "  --json       print the tree and its report as JSON, one array of files\n"
    "  --window     show exactly the tree of kivra's window: a size field of 1\n"
    "               (a 64-bit size) is not followed, and files of 4 GiB or more\n"
    "               are refused; without it, the file as it is\n"
    "  --fields     under each atom, the fields its box holds (tables: their\n"
    "               first 5 entries); with --check or --quiet, the report also\n"
    "               names each box too short or inconsistent for its layout\n"
    "  --fields=all the same with every entry of every table\n"
    "  --version    print the version and exit\n"
    "  --help       print this help and exit\n"
    "  --           the arguments after it are files\n"
    "\n"
    "Exit codes: 0 shown; 1 a file or the definition file could not be read\n"
    "or the output not written; 2 a wrong command line; 3 with --check, a\n"
    "problem reported. With several files, the highest of their codes.\n";

// What kivra does with a file that is no regular one (a pipe, a device):
// it reads it whole, with 32-bit sizes. Fills *buffer (the caller frees
// it) and *bytesRead.
static AtomFileLoad ReadWholeFile(const char *path, unsigned char **buffer, uint32_t *bytesRead)
{
    const FileReadService *files = PlatformFileReadService();
    void *file = files->open(files->context, path);
    if (file == 0)
        return ATOM_FILE_NOT_OPENED;
    return ReadOpenedAtomFile(files, file, buffer, bytesRead);
}

// How a file failed to show beyond what loading reports: too large for the
// address space of a 32-bit kivra-dump.
static const int DUMP_TOO_LARGE_TO_MAP = ATOM_FILE_LOADED + 1;

// Shows a regular file through a mapping of it; anything else (a pipe, a
// file that cannot be mapped) is read whole as kivra does, which also
// reports why a file cannot be shown. Returns an AtomFileLoad or
// DUMP_TOO_LARGE_TO_MAP.
static int ShowFile(DumpTree *tree, const char *path)
{
    const int window = tree->options->window;
    MappedFile file;
    const FileMapResult mapped = MapFileForReading(path, &file);
    if (mapped == FILE_TOO_LARGE_TO_MAP)
        return window && file.size > 0xFFFFFFFFu ? (int)ATOM_FILE_TOO_LARGE : DUMP_TOO_LARGE_TO_MAP;
    if (mapped == FILE_MAPPED) {
        // The window's tree has 32-bit offsets: it refuses such a file.
        if (window && file.size > 0xFFFFFFFFu) {
            UnmapFile(&file);
            return ATOM_FILE_TOO_LARGE;
        }
        ShowDumpBytes(tree, file.bytes, file.size);
        UnmapFile(&file);
        return ATOM_FILE_LOADED;
    }
    unsigned char *buffer = 0;
    uint32_t bytesRead = 0;
    const AtomFileLoad result = ReadWholeFile(path, &buffer, &bytesRead);
    if (result == ATOM_FILE_LOADED || result == ATOM_FILE_SHORT_READ)
        ShowDumpBytes(tree, buffer, bytesRead);
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
    if (result == DUMP_TOO_LARGE_TO_MAP)
        return {"%s is too large for the address space of this 32-bit kivra-dump; the 64-bit "
                "kivra-dump shows it",
                "too large for the address space of this 32-bit kivra-dump"};
    switch ((AtomFileLoad)result) {
    case ATOM_FILE_NOT_OPENED: return {"cannot open %s", "cannot open"};
    case ATOM_FILE_SIZE_UNKNOWN: return {"cannot take the size of %s", "cannot take the size"};
    case ATOM_FILE_TOO_LARGE:
        return {"%s is 4 GiB or larger, which kivra's window does not show", "4 GiB or larger"};
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
    InitDumpTree(&tree, options, out, path);
    if (options->json && !first)
        OutputText(out, ",\n");

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
        OutputReportLines(out, &tree.report);
    }
    int status = failure.format != 0 ? 1 : 0;
    if (options->check && tree.report.problems > 0 && status == 0)
        status = 3;
    // Said without --check too: the tree shown is not the file's.
    if (tree.report.outOfMemory > 0) {
        FlushDumpOutput(out);
        fprintf(stderr, "kivra-dump: not enough memory to show all of %s\n", path);
        status = 1;
    }
    if (tree.report.failed) {
        FlushDumpOutput(out);
        fprintf(stderr, "kivra-dump: not enough memory for the report of %s\n", path);
        status = 1;
    }
    FreeDumpTree(&tree);
    return status;
}

int main(int argc, char **argv)
{
    DumpOptions options;
    DumpUsageError error;
    switch (ParseDumpOptions(argc, argv, &options, &error)) {
    case DUMP_SHOW_HELP:
        fputs(usage, stdout);
        fputs(help, stdout);
        return 0;
    case DUMP_SHOW_VERSION: fputs("kivra-dump " KIVRA_VERSION "\n", stdout); return 0;
    case DUMP_USAGE_ERROR:
        fprintf(stderr, "kivra-dump: %s%s\n%s", error.message, error.argument, usage);
        return 2;
    case DUMP_SHOW_FILES: break;
    }

    if (options.definitionPath != 0) {
        if (!LoadDefinitionTextFromPath(options.definitionPath)) {
            fprintf(stderr, "kivra-dump: cannot read definition file %s\n", options.definitionPath);
            return 1;
        }
    } else if (!options.noDefinitions) {
        // As kivra does: atom.def beside the executable, silently none if
        // absent; installed, kivra-dump finds it under share/kivra.
        if (!LoadDefinitionTextNearExecutable("atom.def"))
            LoadDefinitionTextNearExecutable(KIVRA_INSTALLED_ATOM_DEF);
    }

    static char outputBytes[1 << 20];
    DumpOutput output = {outputBytes, 0, sizeof outputBytes, 0};
    if (options.json)
        OutputText(&output, "[\n");
    int status = 0;
    for (int i = 0; i < options.fileCount; i++) {
        int fileStatus = DumpFile(&options, &output, options.files[i], i == 0);
        if (fileStatus > status)
            status = fileStatus;
    }
    if (options.json)
        OutputText(&output, "\n]\n");
    FlushDumpOutput(&output);
    if (output.failed || fflush(stdout) != 0) {
        fprintf(stderr, "kivra-dump: cannot write the tree\n");
        status = 1;
    }
    FreeDefinitionText();
    return status;
}
