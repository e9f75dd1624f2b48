#pragma once
#include <stdint.h>

// A regular file mapped whole for reading, so that kivra-dump touches only
// the pages the walk reads (atom headers) instead of copying the file.
struct MappedFile {
    const unsigned char *bytes;  // NULL for an empty file
    uint32_t size;
    void *mapping;  // the platform's handles, for UnmapFile
    void *file;
};

// Maps the regular file at path. Returns 0 when it cannot or should not be
// mapped (cannot be opened, not a regular file, 4 GiB or larger, mapping
// refused): the caller then reads it the ordinary way, which reports why.
int MapFileForReading(const char *path, MappedFile *out);

void UnmapFile(MappedFile *file);
