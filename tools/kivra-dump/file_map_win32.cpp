#include "tools/kivra-dump/file_map.h"

#include <windows.h>

FileMapResult MapFileForReading(const char *path, MappedFile *out)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return FILE_NOT_MAPPED;
    LARGE_INTEGER size;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) || size.QuadPart < 0) {
        CloseHandle(file);
        return FILE_NOT_MAPPED;
    }
    out->size = (uint64_t)size.QuadPart;
    out->bytes = 0;
    out->mapping = 0;
    out->file = file;
    if (out->size == 0)
        return FILE_MAPPED;  // an empty file cannot be mapped, and needs no bytes
    HANDLE mapping = CreateFileMappingA(file, 0, PAGE_READONLY, 0, 0, 0);
    if (mapping == 0) {
        CloseHandle(file);
        out->file = 0;
        return FILE_NOT_MAPPED;
    }
    // A 32-bit build cannot hold a view of 4 GiB or more, and reading the
    // file whole would need as much room: it is refused as too large.
    void *view = out->size <= (SIZE_T)-1
        ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, (SIZE_T)out->size)
        : 0;
    if (view == 0) {
        CloseHandle(mapping);
        CloseHandle(file);
        out->file = 0;
        return sizeof(void *) < 8 ? FILE_TOO_LARGE_TO_MAP : FILE_NOT_MAPPED;
    }
    out->mapping = mapping;
    out->bytes = (const unsigned char *)view;
    return FILE_MAPPED;
}

void UnmapFile(MappedFile *file)
{
    if (file->bytes != 0)
        UnmapViewOfFile((void *)file->bytes);
    if (file->mapping != 0)
        CloseHandle((HANDLE)file->mapping);
    if (file->file != 0)
        CloseHandle((HANDLE)file->file);
    file->bytes = 0;
    file->mapping = 0;
    file->file = 0;
}
