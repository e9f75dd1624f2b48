#include "platform/heap.h"
#include "platform/heap_countdown.h"

#include <stdlib.h>

void *HeapAllocBlock(size_t bytes)
{
    if (HeapShouldFail())
        return NULL;
    // malloc(0) may return NULL; the process heap hands out a block.
    return malloc(bytes ? bytes : 1);
}

void HeapFreeBlock(void *block)
{
    free(block);
}
