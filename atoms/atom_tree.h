#pragma once
#include "atoms/atom_node_record.h"
#include "defs/atom_descriptions.h"

#include <stdint.h>

// Why the walk stopped taking the bytes of a range as atoms, or showed an
// atom shorter than its size field says.
enum AtomWalkStopReason {
    // The atom's size runs past the end of the file: shown with the bytes
    // that are there, and its payload walked as a range cut short too.
    ATOM_WALK_CUT_SHORT,
    // The size runs past the enclosing atom: the range stops at this header.
    ATOM_WALK_SIZE_OVERRUNS,
    // Size field 1: other writers put a 64-bit size after the type, which
    // the walk does not follow.
    ATOM_WALK_SIZE_64BIT,
    // Size field 2 to 7: smaller than the header itself.
    ATOM_WALK_SIZE_TOO_SMALL,
    // Fewer than 8 bytes were left where a header was due.
    ATOM_WALK_HEADER_TOO_SHORT,
    // A type byte outside 0x20 to 0x7E.
    ATOM_WALK_TYPE_NOT_PRINTABLE,
    // The atom is at ATOM_WALK_DEPTH_LIMIT and its payload starts like an
    // atom: its children are not shown.
    ATOM_WALK_DEPTH_LIMIT_REACHED,
    // Notes, not faults: conventions of real writers that end a range.
    // A QuickTime container closed by a 32-bit zero.
    ATOM_WALK_ZERO_TERMINATOR,
    // An iTunes metadata item whose type begins with 0xA9 ("\xA9nam").
    ATOM_WALK_ITUNES_ITEM_TYPE,
    // Memory ran out for the atom at offset (its record, its item or the
    // walk's own stack): it and, when the walk had to end, every atom after
    // it are missing.
    ATOM_WALK_OUT_OF_MEMORY
};

// One place where the walk stopped. Offsets are absolute.
struct AtomWalkStop {
    AtomWalkStopReason reason;
    uint32_t offset;       // the header concerned, or where a header was due
    uint32_t sizeField;    // its size field; 0 when fewer than 4 bytes were left
    uint32_t bytesLeft;    // bytes from offset to the end of the range
    uint32_t rangeOffset;  // where the range holding offset starts
    uint32_t depth;        // 0 for the range walked first, 1 inside its atoms...
    uint32_t atomsBefore;  // atoms shown in the range before offset
    void *parentItem;      // the item the range's atoms go under
};

// The tree that loading and the walk fill, as a small table of functions:
// the Win32 tree view, an in-memory tree for tests, kivra-dump's printers,
// or a counter for benchmarks. Fill it with InitAtomTree.
struct AtomTree {
    void *context;
    // Inserts an item with text and record as the last child of parentItem
    // (NULL: a top-level item). Returns the new item, NULL on failure; the
    // tree takes the record only on success.
    void *(*insertItem)(void *context, void *parentItem, const char *text, AtomNodeRecord *record);
    // Deletes every item, freeing each item's record and, with the root's
    // record, the file buffer.
    void (*deleteAllItems)(void *context);
    // Text-only children for the description lookup.
    DescriptionTree descriptions;
    // Optional (NULL: nothing is reported): told where and why the walk
    // stopped, at the top level and in ranges where an atom was already
    // found, and of every atom cut short. A payload whose first bytes are no
    // header is a leaf, not a stop. Called after the items it concerns,
    // with stopContext, so that any tree can be given a listener.
    void (*reportStop)(void *stopContext, const AtomWalkStop *stop) = 0;
    void *stopContext = 0;
};

// Fills every function of tree; reportStop is left NULL. The same context
// serves the items and the description lines.
inline void InitAtomTree(AtomTree *tree, void *context,
                         void *(*insertItem)(void *, void *, const char *, AtomNodeRecord *),
                         void (*deleteAllItems)(void *),
                         void (*insertChildText)(void *, void *, const char *))
{
    tree->context = context;
    tree->insertItem = insertItem;
    tree->deleteAllItems = deleteAllItems;
    tree->descriptions.context = context;
    tree->descriptions.insertChildText = insertChildText;
    tree->reportStop = 0;
    tree->stopContext = 0;
}
