#pragma once
#include "atoms/atom_tree.h"

#include <stdint.h>

// Inserts one item per atom found in base[offset, offset + length) under
// parentItem, each followed by its description lines and its own child
// atoms, in file order. bufferSize is the number of bytes in the buffer at
// base; the range must lie inside it. Nothing outside the range is read and
// no record's range leaves it. Uses an explicit stack, so any nesting depth
// is walked without exhausting the call stack.
// A size field past the end of its range is clamped to the range only where
// the range was itself cut short by the end of the file: the range walked
// first when it reaches the end of the buffer, and the payload of an atom
// that was clamped. Anywhere else such a size stops the range, so an atom's
// children do not depend on where the atom stands in the file.
// The deepest level of atoms the walk descends to: an atom at this depth
// (1 for the atoms of the range walked first) is shown without its child
// atoms. The platform's tree view slows down until the window hangs when it
// is filled, or emptied, much deeper than this (see README's Limits).
#define ATOM_WALK_DEPTH_LIMIT 4096u

void WalkAtoms(const AtomTree *tree, void *parentItem, unsigned char *base, uint32_t bufferSize,
               uint32_t offset, uint32_t length);

// An atom item's label: "%s (+0x%08X:%u[0x%X])" of its four type bytes, its
// absolute offset and its payload size (twice). Returns the label's length.
#define ATOM_LABEL_CAPACITY 64
uint32_t FormatAtomLabel(char *label, const unsigned char *type, uint32_t offset,
                         uint32_t payloadSize);
