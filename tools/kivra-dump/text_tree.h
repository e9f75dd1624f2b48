#pragma once
#include "atoms/atom_walk.h"

struct DumpTree;

// The listing: one line per item, two spaces per level, descriptions one
// level below their atom. Fills sink's item functions for tree.
void InitTextPrinters(AtomWalkSink *sink, DumpTree *tree);
