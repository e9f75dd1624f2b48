#pragma once

// Finds the file argument in a process command line: everything after the
// program path and one separating character, verbatim (quotes kept, spaces
// not trimmed, further words included). Returns a pointer into commandLine,
// or NULL when nothing follows the program path.
const char *FindFileArgument(const char *commandLine);
