#pragma once

// The heap of the test builds: HeapAllocBlock and HeapFreeBlock (platform/
// heap.h) on the process heap, with a failure countdown. Linked into tests,
// fuzz harnesses and benchmarks in place of the product's heap.cpp.

// After `successes` more successful allocations, every allocation fails
// until the countdown is set to -1 (never fail, the default).
void SetHeapFailureCountdown(long successes);
