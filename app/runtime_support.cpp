// kivra.exe links without the C runtime, but the compiler may still emit
// calls to these four for structure copies and zeroing. This file is built
// with -fno-builtin and -fno-tree-loop-distribute-patterns so that the loops
// below are not turned back into calls to themselves.
#include <stddef.h>

extern "C" {

void *memset(void *destination, int value, size_t count)
{
    unsigned char *out = (unsigned char *)destination;
    for (size_t i = 0; i < count; i++)
        out[i] = (unsigned char)value;
    return destination;
}

void *memcpy(void *destination, const void *source, size_t count)
{
    unsigned char *out = (unsigned char *)destination;
    const unsigned char *in = (const unsigned char *)source;
    for (size_t i = 0; i < count; i++)
        out[i] = in[i];
    return destination;
}

void *memmove(void *destination, const void *source, size_t count)
{
    unsigned char *out = (unsigned char *)destination;
    const unsigned char *in = (const unsigned char *)source;
    if (out < in) {
        for (size_t i = 0; i < count; i++)
            out[i] = in[i];
    } else {
        for (size_t i = count; i > 0; i--)
            out[i - 1] = in[i - 1];
    }
    return destination;
}

int memcmp(const void *left, const void *right, size_t count)
{
    const unsigned char *a = (const unsigned char *)left;
    const unsigned char *b = (const unsigned char *)right;
    for (size_t i = 0; i < count; i++) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}
}
