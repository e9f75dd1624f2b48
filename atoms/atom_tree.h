#pragma once
#include "atoms/atom_node_record.h"
#include "defs/atom_descriptions.h"

// The tree that loading and the walk fill, as a small table of functions:
// the Win32 tree view, an in-memory tree for tests and kivra-dump, or a
// counter for benchmarks.
struct AtomTree {
    void *context;
    // Inserts an item with text and record as the last child of parentItem
    // (NULL: a top-level item). Returns the new item, NULL on failure; the
    // tree takes the record only on success.
    void *(*insertItem)(void *context, void *parentItem, const char *text,
                        AtomNodeRecord *record);
    // Deletes every item, freeing each item's record and, with the root's
    // record, the file buffer.
    void (*deleteAllItems)(void *context);
    // Text-only children for the description lookup.
    DescriptionTree descriptions;
};
