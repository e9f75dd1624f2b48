#include "app/command_line.h"

const char *FindFileArgument(const char *commandLine)
{
    if (commandLine == 0)
        return 0;
    const char *cursor = commandLine;
    if (*cursor == '"') {
        cursor++;
        while (*cursor != '\0' && *cursor != '"')
            cursor++;
        // The closing quote, then whatever follows it (normally a space).
        if (*cursor != '\0')
            cursor++;
        if (*cursor != '\0')
            cursor++;
    } else {
        // Only a space separates: a tab stays part of the program path.
        while (*cursor != '\0' && *cursor != ' ')
            cursor++;
        if (*cursor != '\0')
            cursor++;
    }
    if (*cursor == '\0')
        return 0;
    return cursor;
}
