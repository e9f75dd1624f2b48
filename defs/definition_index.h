#pragma once
#include "defs/atom_descriptions.h"
#include "platform/char_step.h"

#include <stdint.h>

// The definition text cut once into what the description lookup needs: every
// section's header and body lines (short ones copied as NUL-terminated texts,
// long ones found in the text), the sections grouped by the four type bytes
// their names start with, and the sections whose names are shorter than a
// type (they may match any atom). Line ends depend only on the text and the
// character step, never on the atom, so a lookup through the index inserts
// exactly the items the line-by-line scan would, without reading the text or
// allocating a line per atom. The whole index is one heap block.
//
// The index refers to the text it was built from, which it never writes:
// free the index before the text. A long line is copied into a heap block of
// its own while it is inserted (only hostile files have such lines).
struct DefinitionIndex;

// Builds the index of a NUL-terminated text as stepped through with step.
// Returns NULL when text is NULL or the block cannot be allocated.
DefinitionIndex *BuildDefinitionIndex(const char *text, CharStep step);

void FreeDefinitionIndex(DefinitionIndex *index);

// The text the index was built from.
const char *DefinitionIndexText(const DefinitionIndex *index);

// Lines of this many bytes or more are not copied into the index.
#define DEFINITION_INDEX_LONG_LINE 512

// Inserts under item the lines of every section of the indexed text whose
// name matches the atom, in file order, as AddAtomDescriptionsFromText does
// for the same text and step when every line can be allocated. When a long
// line's block cannot be allocated the lookup stops there, as the
// line-by-line lookup does.
void AddAtomDescriptionsFromIndex(const DefinitionIndex *index, const unsigned char *atom,
                                  const DescriptionTree *tree, void *item,
                                  const unsigned char *bufferEnd);
