#include "platform/file_read.h"

#include <windows.h>

static void *OpenWin32File(void *, const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    return file == INVALID_HANDLE_VALUE ? NULL : (void *)file;
}

static int QueryWin32FileSize(void *, void *file, uint64_t *size)
{
    DWORD high = 0;
    DWORD low = GetFileSize((HANDLE)file, &high);
    // INVALID_FILE_SIZE is also a valid low part; only the error code tells.
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return 0;
    *size = ((uint64_t)high << 32) | low;
    return 1;
}

static uint32_t ReadWin32File(void *, void *file, void *buffer, uint32_t bytes)
{
    DWORD got = 0;
    if (!ReadFile((HANDLE)file, buffer, bytes, &got, NULL))
        return 0;
    return got;
}

static void CloseWin32File(void *, void *file)
{
    CloseHandle((HANDLE)file);
}

static const FileReadService win32FileReadService = {
    NULL, OpenWin32File, QueryWin32FileSize, ReadWin32File, CloseWin32File,
};

const FileReadService *PlatformFileReadService(void)
{
    return &win32FileReadService;
}
