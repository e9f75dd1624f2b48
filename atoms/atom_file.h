#pragma once
#include "atoms/atom_tree.h"
#include "platform/file_read.h"

// How a load ended. Only kivra-dump looks at it; the window stays silent.
enum AtomFileLoad {
    ATOM_FILE_NOT_OPENED,    // the tree was left as it was
    ATOM_FILE_SIZE_UNKNOWN,  // the size could not be had: the tree is left empty
    ATOM_FILE_TOO_LARGE,     // 4 GiB or more: the tree is left empty
    ATOM_FILE_NO_MEMORY,     // the buffer or root record could not be had: empty tree
    ATOM_FILE_SHORT_READ,    // the root item shows (and the walk covers) only the bytes read
    ATOM_FILE_LOADED
};

// Replaces the tree's content with the file at path, read through files:
// deletes all items, reads the file whole into one heap buffer, inserts the
// root item (text = path exactly as given) and walks the buffer under it.
AtomFileLoad LoadAtomFileIntoTree(const AtomTree *tree, const FileReadService *files,
                                  const char *path);

// The reading step of a load, for a file already opened through files:
// reads it whole into a new heap block *buffer (the caller frees it) and
// closes it. *bytesRead bytes were read. Returns ATOM_FILE_LOADED or
// ATOM_FILE_SHORT_READ with the block, or why there is none (size unknown,
// 4 GiB or more, no memory).
AtomFileLoad ReadOpenedAtomFile(const FileReadService *files, void *file, unsigned char **buffer,
                                uint32_t *bytesRead);

// Frees record (NULL: nothing) and, when it owns it, the file buffer.
void FreeAtomNodeRecord(AtomNodeRecord *record);

// The tail of a load, for a file whose bytes are already in memory: inserts
// the root item (text = path, record owning buffer when ownsBuffer is 1) and
// walks the size bytes at buffer under it. Returns 0 when the root item
// could not be had; the buffer is then still the caller's.
int ShowAtomFileBuffer(const AtomTree *tree, const char *path, unsigned char *buffer, uint32_t size,
                       uint32_t ownsBuffer);
