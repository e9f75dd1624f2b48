#pragma once
#include <stdint.h>

// A regular file mapped whole for reading, so that kivra-dump touches only
// the pages the walk reads (atom headers) instead of copying the file. The
// 64-bit builds map files of any size; a 32-bit build maps what its address
// space holds (about 2 GiB, up to 4 under 64-bit Windows) and no more.
struct MappedFile {
    const unsigned char *bytes;  // NULL for an empty file
    uint64_t size;
    void *mapping;  // the platform's handles, for UnmapFile
    void *file;
};

enum FileMapResult {
    FILE_MAPPED,
    // Not mapped (cannot be opened, not a regular file, mapping refused):
    // the caller reads it the ordinary way, which reports why.
    FILE_NOT_MAPPED,
    // A regular file larger than this build can map or read: out->size
    // holds its size.
    FILE_TOO_LARGE_TO_MAP
};

FileMapResult MapFileForReading(const char *path, MappedFile *out);

void UnmapFile(MappedFile *file);
