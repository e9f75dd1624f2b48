#pragma once
#include "platform/char_step.h"

#include <stdint.h>

// The one tree operation the description lookup needs: insert an item with
// the given text (copied by the tree) as the last child of parentItem.
struct DescriptionTree {
    void *context;
    void (*insertChildText)(void *context, void *parentItem, const char *text);
};

// Adds, as the last children of item, the header and body lines of every
// section of DefinitionText whose name matches the atom that starts (with
// its size field) at atom. atomSize is the decoded size field, unused.
// bufferEnd is the end of the file buffer holding the atom: a section name
// longer than the type compares payload bytes only while they lie before it,
// and a name that would run past it does not match.
void AddAtomDescriptions(const unsigned char *atom, uint32_t atomSize, const DescriptionTree *tree,
                         void *item, const unsigned char *bufferEnd);

// The same lookup over any NUL-terminated definition text, stepping through
// it with the given character step.
void AddAtomDescriptionsFromText(const char *text, CharStep step, const unsigned char *atom,
                                 uint32_t atomSize, const DescriptionTree *tree, void *item,
                                 const unsigned char *bufferEnd);
