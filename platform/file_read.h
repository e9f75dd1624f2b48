#pragma once
#include <stdint.h>

// Reading whole files, as a small table of functions so that tests can make
// any step fail. The platform's own table reads real files (CreateFileA,
// GetFileSize, ReadFile, CloseHandle on Windows; open/fstat/read elsewhere).
struct FileReadService {
    void *context;
    // Opens an existing file for reading, sharing read access. NULL on failure.
    void *(*open)(void *context, const char *path);
    // Stores the file's full size; returns 0 when it cannot be had.
    int (*querySize)(void *context, void *file, uint64_t *size);
    // Reads up to bytes bytes into buffer; returns how many were read.
    uint32_t (*read)(void *context, void *file, void *buffer, uint32_t bytes);
    void (*close)(void *context, void *file);
};

const FileReadService *PlatformFileReadService(void);
