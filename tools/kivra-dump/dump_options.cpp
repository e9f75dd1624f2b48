#include "tools/kivra-dump/dump_options.h"

#include <string.h>

// The options that only set a flag.
struct DumpFlagOption {
    const char *name;
    int DumpOptions::*flag;
};

static const DumpFlagOption flagOptions[] = {
    {"--check", &DumpOptions::check},
    {"--quiet", &DumpOptions::quiet},
    {"--json", &DumpOptions::json},
    {"--window", &DumpOptions::window},
    {"--no-defs", &DumpOptions::noDefinitions},
    {"--fields", &DumpOptions::fields},
    {"--fields=all", &DumpOptions::fieldsAll},
};

static DumpCommand Refuse(DumpUsageError *error, const char *message, const char *argument)
{
    error->message = message;
    error->argument = argument;
    return DUMP_USAGE_ERROR;
}

DumpCommand ParseDumpOptions(int argc, char **argv, DumpOptions *options, DumpUsageError *error)
{
    *options = {};
    options->files = argv + 1;
    int optionsEnded = 0;
    for (int i = 1; i < argc; i++) {
        char *argument = argv[i];
        if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
            // Never ahead of i: the entry it overwrites was read already.
            options->files[options->fileCount++] = argument;
            continue;
        }
        if (strcmp(argument, "--") == 0) {
            optionsEnded = 1;
            continue;
        }
        if (strcmp(argument, "--help") == 0)
            return DUMP_SHOW_HELP;
        if (strcmp(argument, "--version") == 0)
            return DUMP_SHOW_VERSION;
        if (strcmp(argument, "--defs") == 0) {
            if (i + 1 >= argc)
                return Refuse(error, "--defs needs a file", "");
            options->definitionPath = argv[++i];
            continue;
        }
        int known = 0;
        for (const DumpFlagOption &option : flagOptions) {
            if (strcmp(argument, option.name) == 0) {
                options->*option.flag = 1;
                known = 1;
            }
        }
        if (!known)
            return Refuse(error, "unknown option ", argument);
    }
    if (options->fieldsAll)
        options->fields = 1;
    // The report alone is still the report.
    if (options->quiet)
        options->check = 1;
    if (options->fileCount == 0)
        return Refuse(error, "no file given", "");
    if (options->definitionPath != 0 && options->noDefinitions)
        return Refuse(error, "--defs and --no-defs exclude each other", "");
    return DUMP_SHOW_FILES;
}
