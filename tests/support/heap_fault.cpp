#include "tests/support/heap_fault.h"
#include "platform/heap.h"

// -1: allocations never fail. Zero-initialised storage would mean "fail
// now", so the value is stored offset by one.
static long g_countdownPlusOne;

void SetHeapFailureCountdown(long successes)
{
    g_countdownPlusOne = successes + 1;
}

static int HeapShouldFail(void)
{
    if (g_countdownPlusOne <= 0)
        return 0;
    if (g_countdownPlusOne == 1)
        return 1;
    g_countdownPlusOne--;
    return 0;
}

void *HeapAllocBlock(size_t bytes)
{
    if (HeapShouldFail())
        return 0;
    return ProcessHeapAlloc(bytes);
}

void HeapFreeBlock(void *block)
{
    ProcessHeapFree(block);
}
