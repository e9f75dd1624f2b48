#pragma once

// kivra-dump's command line, read once.
struct DumpOptions {
    int check;  // --check, or --quiet
    int quiet;
    int json;
    int window;  // the window's tree: size field 1 stops, 4 GiB and more refused
    int noDefinitions;
    int fields;                  // --fields: each box's fields under it
    int fieldsAll;               // --fields=all: every entry of every table
    const char *definitionPath;  // --defs FILE; NULL: atom.def beside kivra-dump
    // The files, in the order given: argv's own entries, gathered at its start.
    char **files;
    int fileCount;
};

enum DumpCommand { DUMP_SHOW_FILES, DUMP_SHOW_HELP, DUMP_SHOW_VERSION, DUMP_USAGE_ERROR };

// What a wrong command line is told: message and argument, printed together.
struct DumpUsageError {
    const char *message;
    const char *argument;
};

// Reads argv[1..argc-1]: options wherever they stand (until "--"), every
// other argument a file. The file pointers are gathered at argv[1...], so
// argv is reordered. On DUMP_USAGE_ERROR, *error says why.
DumpCommand ParseDumpOptions(int argc, char **argv, DumpOptions *options, DumpUsageError *error);
