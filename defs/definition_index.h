#pragma once
#include "defs/atom_descriptions.h"
#include "platform/char_step.h"

#include <stdint.h>

// The definition text cut once into what the description lookup needs: every
// section's header and body lines (short ones copied as NUL-terminated texts,
// long ones left in the text), the sections
// grouped by the four type bytes their names start with, and the sections
// whose names are shorter than a type (they may match any atom). Line ends
// depend only on the text and the character step, never on the atom, so a
// lookup through the index inserts exactly the items the line-by-line scan
// would, without reading the text or allocating a line per atom. The whole
// index is one heap block.
//
// The index refers to the text it was built from: free the index before the
// text. While a long line is inserted, the byte that ends it in the text reads
// NUL; it is put back before the lookup returns.
struct DefinitionIndex;

// The index of DefinitionText, made by the definition loaders with the
// platform's step, or NULL (no text, or no room for the index: the lookup
// then scans the text line by line).
extern DefinitionIndex *DefinitionTextIndex;

// Builds the index of a NUL-terminated text as stepped through with step.
// Returns NULL when text is NULL or the block cannot be allocated.
DefinitionIndex *BuildDefinitionIndex(char *text, CharStep step);

void FreeDefinitionIndex(DefinitionIndex *index);

// The text the index was built from.
const char *DefinitionIndexText(const DefinitionIndex *index);

// Lines of this many bytes or more are not copied into the index.
#define DEFINITION_INDEX_LONG_LINE 512

// Inserts under item the lines of every section of the indexed text whose
// name matches the atom, in file order, as AddAtomDescriptionsFromText does
// for the same text and step when every line can be allocated.
void AddAtomDescriptionsFromIndex(const DefinitionIndex *index, const unsigned char *atom,
                                  const DescriptionTree *tree, void *item,
                                  const unsigned char *bufferEnd);
