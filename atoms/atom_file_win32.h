#pragma once
#include <windows.h>

// Replaces the tree's content with the file at path: deletes every item
// (TVM_DELETEITEM with TVI_ROOT; the tree's owner frees each item's
// AtomNodeRecord on TVN_DELETEITEMA, and the root's file buffer with it),
// reads the whole file, inserts the root item labelled with path and walks
// the file's atoms under it. A file that cannot be opened leaves the tree
// as it was. Nothing is reported.
void LoadAtomFile(HWND tree, const char *path);
