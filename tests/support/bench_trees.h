#pragma once
// Trees for the benchmarks, which measure the core and not a tree control.
#include "atoms/atom_tree.h"

#include <stdint.h>
#include <string>
#include <vector>

// Keeps nothing but counts. Atom records are freed as they come, except the
// root's, which owns the file buffer: deleteAllItems frees that one.
struct CountingTree {
    AtomTree service;  // context points at this record
    AtomNodeRecord *root;
    uint64_t atoms;
    uint64_t descriptionLines;
};

void InitCountingTree(CountingTree *tree);

// One inserted item as the recording tree keeps it.
struct RecordedItem {
    uint32_t parent;  // index + 1 of the parent item, 0 for a top-level item
    bool isAtom;
    AtomNodeRecord record;  // a copy; meaningless for a description line
    std::string text;
};

// Keeps every item in insertion order, to be inserted again elsewhere (the
// floor the walk is measured against). Records are freed as they come but
// for the root's, as in the counting tree; deleteAllItems frees that one
// and keeps the recorded items.
struct RecordingTree {
    AtomTree service;  // context points at this record
    AtomNodeRecord *root;
    std::vector<RecordedItem> items;
};

void InitRecordingTree(RecordingTree *tree);
