#include "platform/heap.h"

#include <windows.h>

void *ProcessHeapAlloc(size_t bytes)
{
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}

void ProcessHeapFree(void *block)
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}
