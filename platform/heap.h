#pragma once
#include <stddef.h>

// Every block kivra allocates comes from here: the process heap on Windows
// (HeapAlloc/HeapFree on GetProcessHeap(), no flags), malloc/free elsewhere.
// Blocks are not zeroed. A NULL result means the allocation failed.
void *HeapAllocBlock(size_t bytes);
void HeapFreeBlock(void *block);

// Fault injection for tests: after `successes` more successful allocations,
// every allocation fails until the countdown is set to -1 (never fail, the
// default).
void SetHeapFailureCountdown(long successes);
