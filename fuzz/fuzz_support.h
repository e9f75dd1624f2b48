#pragma once
// Shared by the harnesses: a check that aborts with a message (a finding),
// and a copy of fuzz bytes into a heap block of exactly their size, so that
// AddressSanitizer sees any read past their end.

#include "platform/heap.h"
#include "tests/support/heap_fault.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                            \
        }                                                                                       \
    } while (0)

inline unsigned char *CopyToExactBlock(const uint8_t *data, size_t size)
{
    unsigned char *block = (unsigned char *)HeapAllocBlock(size);
    FUZZ_CHECK(block != 0);
    for (size_t i = 0; i < size; i++)
        block[i] = data[i];
    return block;
}

// A NUL-terminated copy: the bytes, then one NUL, in a block of size + 1.
inline char *CopyToText(const uint8_t *data, size_t size)
{
    char *text = (char *)HeapAllocBlock(size + 1);
    FUZZ_CHECK(text != 0);
    for (size_t i = 0; i < size; i++)
        text[i] = (char)data[i];
    text[size] = '\0';
    return text;
}
