#pragma once
#include "platform/char_step.h"
#include "platform/file_read.h"

#include <stdint.h>

struct DefinitionIndex;

// The whole definition file in memory, NUL-terminated, or NULL when no file
// was read. It is kept together with its index (below): only the functions
// of this header write either, and nothing ever writes into the text.
extern const char *DefinitionText;

// The index of DefinitionText, built with it, or NULL (no text, or no room
// for the index: the lookup then scans the text line by line).
const DefinitionIndex *DefinitionTextIndex(void);

// Makes block (a NUL-terminated heap block, which this owner now frees, or
// NULL) the definition text after releasing the previous text and index, and
// indexes it as stepped through with step.
void SetDefinitionText(char *block, CharStep step);

// Reads "atom.def" from the running executable's directory into
// DefinitionText, or leaves it NULL.
void LoadDefinitionText(void);

// Reads the file at name, a path relative to the running executable's
// directory ("atom.def", "../share/kivra/atom.def"), into DefinitionText.
// Returns non-zero when a text was loaded; otherwise DefinitionText is NULL.
int LoadDefinitionTextNearExecutable(const char *name);

// Releases DefinitionText and its index and sets both to NULL.
void FreeDefinitionText(void);

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

// The same with name, a relative path, in place of "atom.def".
int BuildPathNearExecutable(const char *executablePath, char separator, CharStep step,
                            const char *name, char *out);
