#pragma once
#include "atoms/atom_node_record.h"
#include "atoms/atom_tree.h"
#include "tools/kivra-dump/dump_fields.h"
#include "tools/kivra-dump/dump_options.h"
#include "tools/kivra-dump/json_tree.h"
#include "tools/kivra-dump/output_writer.h"
#include "tools/kivra-dump/stop_report.h"

#include <stdint.h>

// One file being shown. The walk fills service; items are printed as they
// come, since the walk inserts every item after its parent and before its
// parent's next sibling, description lines before child atoms, which is
// the order of the listing. An item's handle is its depth + 1 (the file's
// item is 1, a top-level atom 2).
struct DumpTree {
    AtomTree service;
    const DumpOptions *options;
    DumpOutput *out;
    const char *path;
    AtomNodeRecord *root;       // when the file was read, its record owns the buffer
    const unsigned char *base;  // the bytes being shown, once the root is in
    uint32_t size;
    int rootShown;
    // The handle of the outermost mdat whose payload the walk is in; 0 when
    // it is in none.
    uint32_t mediaDataItem;
    StopReport report;
    JsonNesting nesting;
    DumpFields fields;
};

// Makes tree ready for one file, with the text or JSON printers as options
// say.
void InitDumpTree(DumpTree *tree, const DumpOptions *options, DumpOutput *out, const char *path);
// Frees the report and the buffer the file was read into, if any.
void FreeDumpTree(DumpTree *tree);

// For the printers: takes an inserted item's record (keeps the root's, which
// may own the buffer the walk reads, frees every other at once) and notes
// where the media data of an mdat begins and ends. Returns the new item's
// handle.
void *TakeDumpItem(DumpTree *tree, void *parentItem, AtomNodeRecord *record);
