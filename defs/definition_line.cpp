#include "defs/definition_line.h"
#include "platform/heap.h"

#include <stddef.h>

const char *FindDefinitionLineEnd(const char *p, CharStep step)
{
    // A byte below 0x80 is a whole character in every code page, so the step
    // is called only for the others: a long ASCII line costs no call per byte.
    for (;;) {
        unsigned char c = (unsigned char)*p;
        if (c < 0x80) {
            if (c == '\0' || c == '\r' || c == '\n')
                return p;
            p++;
        } else {
            p = step(p);
        }
    }
}

const char *SkipDefinitionLineTerminator(const char *end)
{
    if (end[0] == '\r' && end[1] == '\n')
        return end + 2;
    if (end[0] == '\r' || end[0] == '\n')
        return end + 1;
    return end;
}

char *ReadDefinitionLineWithStep(const char **cursor, CharStep step)
{
    if (cursor == 0 || *cursor == 0 || **cursor == '\0')
        return 0;
    const char *start = *cursor;
    const char *end = FindDefinitionLineEnd(start, step);
    size_t length = (size_t)(end - start);
    char *line = (char *)HeapAllocBlock(length + 1);
    if (line == 0)
        return 0;
    for (size_t i = 0; i < length; i++)
        line[i] = start[i];
    line[length] = '\0';
    *cursor = SkipDefinitionLineTerminator(end);
    return line;
}

char *ReadDefinitionLine(const char **cursor)
{
    return ReadDefinitionLineWithStep(cursor, CharStepPlatform);
}
