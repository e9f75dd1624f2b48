#pragma once
#include <stddef.h>

// Every block kivra allocates comes from here: the process heap on Windows
// (HeapAlloc/HeapFree on GetProcessHeap(), no flags), malloc/free elsewhere.
// Blocks are not zeroed. A NULL result means the allocation failed.
// heap.cpp holds nothing but these two, so that a test build can link a heap
// of its own in their place.
void *HeapAllocBlock(size_t bytes);
void HeapFreeBlock(void *block);

// The process heap itself, under either of the two above.
void *ProcessHeapAlloc(size_t bytes);
void ProcessHeapFree(void *block);
