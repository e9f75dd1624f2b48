#include "platform/executable_path.h"

#include <windows.h>

int GetExecutablePath(char *buffer, uint32_t capacity)
{
    DWORD length = GetModuleFileNameA(NULL, buffer, capacity);
    // A path that filled the buffer was cut short.
    return length != 0 && length < capacity;
}

char ExecutablePathSeparator(void)
{
    return '\\';
}
