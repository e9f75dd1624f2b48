#include "platform/heap.h"

#include <stdlib.h>

void *ProcessHeapAlloc(size_t bytes)
{
    // malloc(0) may return NULL; the process heap hands out a block.
    return malloc(bytes ? bytes : 1);
}

void ProcessHeapFree(void *block)
{
    free(block);
}
