#pragma once
#include "atoms/atom_tree.h"
#include "atoms/atom_walk.h"
#include "tools/kivra-dump/output_writer.h"

#include <stdint.h>

struct DumpTree;
struct StopReport;

// Where the streamed JSON tree stands: for each open item, from the file
// (level 0) down to the deepest atom the walk shows, whether its
// description list or its child list is open and whether that list has an
// element yet.
struct JsonNesting {
    unsigned char state[ATOM_WALK_DEPTH_LIMIT + 1];
    uint32_t open;  // levels open
};

void InitJsonNesting(JsonNesting *nesting);
// Opens the file's object: its path, size and list of top-level atoms.
void BeginJsonFile(DumpOutput *out, JsonNesting *nesting, const char *path, uint64_t size);
// Closes the description list of the atom at level depth, the one opened
// last, and writes the key of its fields, whose object comes next. 0 (and
// nothing written) when that atom is not the one open.
int BeginJsonFields(DumpOutput *out, JsonNesting *nesting, uint32_t depth);
// Closes every open item and the file's object, with its report and, when
// error is not NULL, why the file could not be shown whole.
void EndJsonFile(DumpOutput *out, JsonNesting *nesting, const StopReport *report,
                 const char *error);

// The JSON tree: each atom an object with its numbers, descriptions and
// children, streamed as the walk inserts items. Fills sink's item functions
// for tree.
void InitJsonPrinters(AtomWalkSink *sink, DumpTree *tree);
