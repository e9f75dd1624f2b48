#include "tools/kivra-dump/file_map.h"

#include <windows.h>

int MapFileForReading(const char *path, MappedFile *out)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    LARGE_INTEGER size;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) || size.QuadPart < 0 ||
        (uint64_t)size.QuadPart > 0xFFFFFFFFu) {
        CloseHandle(file);
        return 0;
    }
    out->size = (uint32_t)size.QuadPart;
    out->bytes = 0;
    out->mapping = 0;
    out->file = file;
    if (out->size == 0)
        return 1;  // an empty file cannot be mapped, and needs no bytes
    HANDLE mapping = CreateFileMappingA(file, 0, PAGE_READONLY, 0, 0, 0);
    if (mapping == 0) {
        CloseHandle(file);
        return 0;
    }
    void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, out->size);
    if (view == 0) {
        CloseHandle(mapping);
        CloseHandle(file);
        return 0;
    }
    out->mapping = mapping;
    out->bytes = (const unsigned char *)view;
    return 1;
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
