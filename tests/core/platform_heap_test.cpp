#include "platform/char_step.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"

#include <gtest/gtest.h>

TEST(Heap, CountdownFailsAfterTheGivenNumberOfSuccesses)
{
    SetHeapFailureCountdown(2);
    void *a = HeapAllocBlock(8);
    void *b = HeapAllocBlock(8);
    void *c = HeapAllocBlock(8);
    void *d = HeapAllocBlock(8);
    SetHeapFailureCountdown(-1);
    void *e = HeapAllocBlock(8);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(d, nullptr);
    EXPECT_NE(e, nullptr);
    HeapFreeBlock(a);
    HeapFreeBlock(b);
    HeapFreeBlock(e);
}

TEST(CharStep, ShiftJisKeepsLeadAndTrailTogetherButNeverSwallowsNul)
{
    struct Case {
        const char *text;
        int step;
    } cases[] = {
        {"A", 1},        {"\x82\x6C", 2},  // full-width M
        {"\x83\x5C", 2},                   // trail byte 0x5C is not a backslash
        {"\x82\r", 2},                     // a lead byte takes the CR into its character
        {"\x82", 1},                       // a lead byte before the final NUL stands alone
        {"\xE0\x40", 2}, {"\xFD\x40", 1},  // 0xFD is no lead byte
        {"\x80\x40", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CharStepShiftJis(c.text) - c.text, c.step) << (unsigned)(unsigned char)c.text[0];
    const char *lead = "\x82\x6C";
    EXPECT_EQ(CharStepSingleByte(lead), lead + 1);
}
