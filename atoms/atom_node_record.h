#pragma once
#include <stdint.h>

// Attached to every tree item that stands for the file or for one atom (the
// item's parameter); description items carry none. The root item's record
// owns the file buffer and frees it when the item is deleted.
struct AtomNodeRecord {
    uint32_t ownsBuffer;  // 1 on the root (file) item only
    unsigned char *base;  // start of the file buffer, the same in every record of a file
    // The first byte this item shows: 0 for the root, atom offset + 8 for an
    // atom.
    uint32_t payloadOffset;
    uint32_t payloadSize;  // bytes this item shows
};
