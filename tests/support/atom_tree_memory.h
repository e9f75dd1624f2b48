#pragma once
#include "atoms/atom_tree.h"

#include <stdint.h>

// An AtomTree kept in memory, as the tests, fuzz harnesses and benchmarks
// inspect it. Deleting items frees their records as the main window does.
struct MemoryTreeNode {
    char *text;
    AtomNodeRecord *record;  // NULL for description items
    MemoryTreeNode *parent;
    MemoryTreeNode *firstChild;
    MemoryTreeNode *lastChild;
    MemoryTreeNode *nextSibling;
    uint32_t depth;  // 0 for top-level items
};

struct MemoryTree {
    AtomTree service;  // context points at this record
    MemoryTreeNode *firstTop;
    MemoryTreeNode *lastTop;
    uint32_t itemCount;
};

void InitMemoryTree(MemoryTree *tree);
// Deletes every item (the tree stays usable).
void ClearMemoryTree(MemoryTree *tree);
// The item after node in tree order (pre-order), or NULL after the last one.
// Pass NULL for the first item.
MemoryTreeNode *NextMemoryTreeNode(const MemoryTree *tree, const MemoryTreeNode *node);
