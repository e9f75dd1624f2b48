#include "platform/heap.h"
#include "platform/heap_countdown.h"

#include <windows.h>

void *HeapAllocBlock(size_t bytes)
{
    if (HeapShouldFail())
        return NULL;
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}

void HeapFreeBlock(void *block)
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}
