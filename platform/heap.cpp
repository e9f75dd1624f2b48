#include "platform/heap.h"

void *HeapAllocBlock(size_t bytes)
{
    return ProcessHeapAlloc(bytes);
}

void HeapFreeBlock(void *block)
{
    ProcessHeapFree(block);
}
