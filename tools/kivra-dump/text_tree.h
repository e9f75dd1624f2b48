#pragma once
#include "atoms/atom_tree.h"

struct DumpTree;

// The listing: one line per item, two spaces per level, descriptions one
// level below their atom. Fills service's item functions for tree.
void InitTextPrinters(AtomTree *service, DumpTree *tree);
