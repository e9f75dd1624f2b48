#pragma once
#include "atoms/atom_tree.h"
#include "atoms/atom_walk.h"
#include "tools/kivra-dump/dump_fields.h"
#include "tools/kivra-dump/dump_options.h"
#include "tools/kivra-dump/json_tree.h"
#include "tools/kivra-dump/output_writer.h"
#include "tools/kivra-dump/stop_report.h"

#include <stdint.h>

// The deepest level of atoms, and the file's level, and one more.
#define DUMP_TREE_LEVELS (ATOM_WALK_DEPTH_LIMIT + 2)

// One file being shown. The walk hands its atoms to sink; items are printed
// as they come, since the walk inserts every item after its parent and
// before its parent's next sibling, description lines before child atoms,
// which is the order of the listing. An item's handle is its depth + 1 (the
// file's item is 1, a top-level atom 2).
struct DumpTree {
    AtomWalkSink sink;
    const DumpOptions *options;
    DumpOutput *out;
    const char *path;
    const unsigned char *base;  // the bytes being shown, once the root is in
    uint64_t size;
    int rootShown;
    // The handle of the outermost mdat whose payload the walk is in; 0 when
    // it is in none.
    uint32_t mediaDataItem;
    StopReport report;
    JsonNesting nesting;
    // Whether the report says where kivra's window shows less (not with
    // --window, which shows what the window shows).
    int windowNotes;
    // windowShows[d]: the open atom at depth d is in the window's tree too;
    // windowStopped[d]: the window stopped in the range of the atoms at
    // depth d, at a 64-bit header before them.
    unsigned char windowShows[DUMP_TREE_LEVELS];
    unsigned char windowStopped[DUMP_TREE_LEVELS];
    DumpFields fields;
};

// Makes tree ready for one file, with the text or JSON printers as options
// say.
void InitDumpTree(DumpTree *tree, const DumpOptions *options, DumpOutput *out, const char *path);
// Frees the report and the fields' reference tables.
void FreeDumpTree(DumpTree *tree);

// Shows the size bytes at base: the file's item, then the walk under it,
// with 64-bit sizes followed unless options say --window.
void ShowDumpBytes(DumpTree *tree, const unsigned char *base, uint64_t size);

// For the printers: notes where the media data of an mdat begins and ends,
// and where the window's tree stops short of this one. Returns the new
// item's handle.
void *TakeDumpItem(DumpTree *tree, void *parentItem, const AtomWalkAtom *atom);
