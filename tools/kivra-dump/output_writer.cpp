#include "tools/kivra-dump/output_writer.h"

#include <stdio.h>
#include <string.h>

void FlushDumpOutput(DumpOutput *out)
{
    if (out->used != 0 && fwrite(out->data, 1, out->used, stdout) != out->used)
        out->failed = 1;
    out->used = 0;
}

void OutputBytes(DumpOutput *out, const char *bytes, size_t count)
{
    while (count > 0) {
        if (out->used == out->capacity)
            FlushDumpOutput(out);
        size_t room = out->capacity - out->used;
        size_t n = count < room ? count : room;
        memcpy(out->data + out->used, bytes, n);
        out->used += n;
        bytes += n;
        count -= n;
    }
}

void OutputText(DumpOutput *out, const char *text)
{
    OutputBytes(out, text, strlen(text));
}

// Two digits a step: every atom has four numbers.
char *PutDecimal(char *out, uint32_t value)
{
    static const char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char reversed[10];
    char *at = reversed + sizeof reversed;
    while (value >= 100) {
        uint32_t pair = value % 100;
        value /= 100;
        at -= 2;
        at[0] = pairs[2 * pair];
        at[1] = pairs[2 * pair + 1];
    }
    if (value >= 10) {
        at -= 2;
        at[0] = pairs[2 * value];
        at[1] = pairs[2 * value + 1];
    } else {
        *--at = (char)('0' + value);
    }
    size_t count = (size_t)(reversed + sizeof reversed - at);
    memcpy(out, at, count);
    return out + count;
}

int MakeOutputRoom(DumpOutput *out, size_t count)
{
    if (out->capacity - out->used < count)
        FlushDumpOutput(out);
    return out->capacity - out->used >= count;
}

void OutputDecimal(DumpOutput *out, uint32_t value)
{
    char digits[10];
    OutputBytes(out, digits, (size_t)(PutDecimal(digits, value) - digits));
}

static void OutputSpaces(DumpOutput *out, size_t count)
{
    static const char spaces[] = "                                                                ";
    while (count > 0) {
        size_t n = count < sizeof spaces - 1 ? count : sizeof spaces - 1;
        OutputBytes(out, spaces, n);
        count -= n;
    }
}

void OutputTextLine(DumpOutput *out, size_t indent, const char *text)
{
    OutputSpaces(out, indent);
    OutputText(out, text);
    OutputBytes(out, "\n", 1);
}
