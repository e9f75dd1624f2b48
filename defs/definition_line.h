#pragma once
#include "platform/char_step.h"

// The line reader over a NUL-terminated definition text. A line ends at CR,
// LF, CR LF or the text's final NUL; only bytes at which a character starts
// are taken for a terminator, so a double-byte character's trail byte never
// is. The reader never writes into the text.

// The first byte at or after p, at which a character starts, that ends a
// line: a NUL, CR or LF. Steps through characters with step.
const char *FindDefinitionLineEnd(const char *p, CharStep step);

// The first byte of the next line, given the end of a line as found by
// FindDefinitionLineEnd: past CR LF, CR or LF, and on the NUL itself.
const char *SkipDefinitionLineTerminator(const char *end);

// Returns the line at *cursor as a new heap block (without its terminator,
// NUL-terminated; the caller frees it with HeapFreeBlock) and moves *cursor
// past the line's terminator. Returns NULL, cursor unchanged, when cursor or
// *cursor is NULL, when *cursor stands on the text's final NUL, or when the
// line's block cannot be allocated. Steps with the platform's code page.
char *ReadDefinitionLine(const char **cursor);

// The same, stepping through characters with the given step (the tests use
// the Shift-JIS step to cover double-byte text on any platform).
char *ReadDefinitionLineWithStep(const char **cursor, CharStep step);
