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

// This is the window's walk: 32-bit offsets and sizes, and a size field of 1
// (a 64-bit size after the type) stops the range. It runs the wide walk
// below in its 32-bit mode.
void WalkAtoms(const AtomTree *tree, void *parentItem, unsigned char *base, uint32_t bufferSize,
               uint32_t offset, uint32_t length);

// How the walk reads a size field of 1.
enum AtomWalkSizes {
    // Stops the range (ATOM_WALK_SIZE_64BIT): the window's tree.
    ATOM_WALK_32BIT_SIZES,
    // A 64-bit size follows the type and the payload starts 16 bytes after
    // the header: the file as it is, for buffers of any size.
    ATOM_WALK_64BIT_SIZES
};

// One atom the walk found, as handed to the sink.
struct AtomWalkAtom {
    const unsigned char *header;  // its size field, in the buffer
    uint64_t offset;              // absolute offset of the header
    uint64_t size;                // the decoded size: the 32-bit field, or the 64-bit one
    uint64_t payloadSize;         // clamped to the range where the atom was cut short
    uint32_t headerSize;          // 8, or 16 with a 64-bit size
    uint32_t depth;               // 1 for the atoms of the range walked first
};

// Where the wide walk puts what it finds.
struct AtomWalkSink {
    void *context;
    // Makes the item of atom under parentItem and sets *item (NULL: the atom
    // is passed over with its children). Returns 0 to end the whole walk
    // (memory ran out), 1 to go on.
    int (*insertAtom)(void *context, void *parentItem, const AtomWalkAtom *atom, void **item);
    // The atom's description lines, under its item, before its children.
    DescriptionTree descriptions;
    // As AtomTree::reportStop: optional.
    void (*reportStop)(void *stopContext, const AtomWalkStop *stop);
    void *stopContext;
};

// The walk itself, for both kinds of size: inserts the atoms of
// base[offset, offset + length) under parentItem through sink, by the rules
// described at WalkAtoms. bufferSize is the number of bytes at base.
void WalkAtomsWith(const AtomWalkSink *sink, AtomWalkSizes sizes, void *parentItem,
                   const unsigned char *base, uint64_t bufferSize, uint64_t offset,
                   uint64_t length);

// An atom item's label: "%s (+0x%08X:%u[0x%X])" of its four type bytes, its
// absolute offset and its payload size (twice). Returns the label's length.
#define ATOM_LABEL_CAPACITY 64
uint32_t FormatAtomLabel(char *label, const unsigned char *type, uint32_t offset,
                         uint32_t payloadSize);

// The same label for offsets and sizes of 64 bits: at least 8 hex digits of
// offset, more only where it needs them, so that below 4 GiB it is the
// window's label exactly.
#define ATOM_WIDE_LABEL_CAPACITY 72
uint32_t FormatWideAtomLabel(char *label, const unsigned char *type, uint64_t offset,
                             uint64_t payloadSize);
