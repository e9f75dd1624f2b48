#pragma once
#include "platform/char_step.h"
#include "platform/file_read.h"

#include <stdint.h>

// The whole definition file in memory, NUL-terminated, or NULL when no file
// was read. Written only by the loaders below.
extern char *DefinitionText;

// Reads "atom.def" from the running executable's directory into
// DefinitionText, or leaves it NULL.
void LoadDefinitionText(void);

// Releases DefinitionText and sets it to NULL.
void FreeDefinitionText(void);

// Returns the line at *cursor as a new heap block (without its terminator,
// NUL-terminated; the caller frees it with HeapFreeBlock) and moves *cursor
// past the line's terminator. Returns NULL, cursor unchanged, when cursor or
// *cursor is NULL, when *cursor stands on the text's final NUL, or when the
// line's block cannot be allocated. Steps with the platform's code page.
char *ReadDefinitionLine(char **cursor);

// The same, stepping through characters with the given step (the tests use
// the Shift-JIS step to cover double-byte text on any platform).
char *ReadDefinitionLineWithStep(char **cursor, CharStep step);

// The first byte at or after p, at which a character starts, that ends a
// line: a NUL, CR or LF. Steps through characters with step.
const char *FindDefinitionLineEnd(const char *p, CharStep step);

// Replaces DefinitionText with the content of the file at path, read through
// files. Returns non-zero when a text was loaded; on any failure (open, size,
// allocation, a failed or short read) DefinitionText is left NULL.
int LoadDefinitionTextWith(const FileReadService *files, const char *path);

// The same through the platform's file service (kivra-dump's --defs).
int LoadDefinitionTextFromPath(const char *path);

// Room for the definition file's path: the platform's MAX_PATH.
#define DEFINITION_PATH_CAPACITY 260

// Writes into out (DEFINITION_PATH_CAPACITY bytes) the executable's directory,
// up to and including its last separator, followed by "atom.def". Returns
// non-zero on success and 0 when the result would not fit or the path holds
// no separator. Only bytes at which a character starts are taken for the
// separator, so a double-byte character's trail byte never is.
int BuildDefinitionPath(const char *executablePath, char separator, CharStep step, char *out);
