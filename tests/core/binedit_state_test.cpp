#include "controls/binedit/binedit_navigation.h"
#include "tests/support/binedit_scroll_bar.h"
#include "controls/binedit/binedit_state.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"

#include <gtest/gtest.h>

namespace {

BinEditState EmptyState()
{
    BinEditState state = {};
    return state;
}

}  // namespace

TEST(BinEditState, SetDataKeepsAPrivateCopyAndPutsTheCaretOnByteZero)
{
    BinEditState state = EmptyState();
    state.caret = 7;
    state.column = BINEDIT_TEXT_COLUMN;
    unsigned char bytes[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(ReplaceBinEditData(&state, 5, bytes), 1);
    bytes[0] = 99;  // the sender may reuse its bytes at once
    ASSERT_NE(state.data, nullptr);
    EXPECT_NE(state.data, bytes);
    EXPECT_EQ(state.size, 5u);
    EXPECT_EQ(state.data[0], 1);
    EXPECT_EQ(state.data[4], 5);
    EXPECT_EQ(state.caret, 0u);
    EXPECT_EQ(state.column, BINEDIT_TEXT_COLUMN);  // the column survives
    FreeBinEditData(&state);
    EXPECT_EQ(state.data, nullptr);
    EXPECT_EQ(state.size, 0u);
}

TEST(BinEditState, ZeroCountOrNullBytesEmptyTheView)
{
    unsigned char bytes[3] = {1, 2, 3};
    struct Case {
        uint32_t count;
        const unsigned char *bytes;
    } cases[] = {
        {0, bytes},
        {3, nullptr},
        {0, nullptr},
    };
    for (const Case &c : cases) {
        BinEditState state = EmptyState();
        ReplaceBinEditData(&state, 3, bytes);
        state.caret = 2;
        EXPECT_EQ(ReplaceBinEditData(&state, c.count, c.bytes), 1);
        EXPECT_EQ(state.data, nullptr);
        EXPECT_EQ(state.size, 0u);
        EXPECT_EQ(state.caret, 0u);
    }
}

TEST(BinEditState, ACopyThatCannotBeAllocatedLeavesAnEmptyView)
{
    BinEditState state = EmptyState();
    unsigned char bytes[4] = {9, 8, 7, 6};
    ReplaceBinEditData(&state, 4, bytes);
    SetHeapFailureCountdown(0);
    int result = ReplaceBinEditData(&state, 4, bytes);
    SetHeapFailureCountdown(-1);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(state.data, nullptr);  // the old copy is freed, never shown again
    EXPECT_EQ(state.size, 0u);
    EXPECT_EQ(state.caret, 0u);
}

TEST(BinEditGrid, OffsetTwentyFiveHexLiesInRowTwoAtItsCells)
{
    uint32_t offset = 0x25;
    EXPECT_EQ(GetBinEditRowOfOffset(offset), 2u);
    EXPECT_EQ(GetBinEditHexCell(offset & 15), 23);
    EXPECT_EQ(GetBinEditHexCell(offset & 15) + 1, 24);
    EXPECT_EQ(GetBinEditTextCell(offset & 15), 62);
    EXPECT_EQ(GetBinEditHexCell(7) + 2, BINEDIT_HEX_DASH_CELL);
    EXPECT_EQ(GetBinEditHexCell(15) + 1, 54);
    EXPECT_EQ(GetBinEditTextCell(15), 72);
}

TEST(BinEditScroll, RangeBySizeAndTheScrollBarClampsItsPosition)
{
    struct Case {
        uint32_t size;
        int32_t lastRow;
    } cases[] = {
        {0, -1},
        {1, 0},
        {16, 0},
        {17, 1},
        {300, 18},
        {0xFFFFFFF0u, 0x0FFFFFFE},
        {0xFFFFFFFFu, 0x0FFFFFFF},  // no wrap near the top
    };
    for (const Case &c : cases) {
        EXPECT_EQ(GetBinEditLastRow(c.size), c.lastRow) << c.size;
        BinEditScrollBar bar = {0, 0, 0};
        SetBinEditScrollRange(&bar, 0, GetBinEditLastRow(c.size));
        SetBinEditScrollPosition(&bar, 5);
        EXPECT_EQ(bar.position, c.lastRow < 5 ? (c.lastRow < 0 ? 0 : c.lastRow) : 5) << c.size;
        SetBinEditScrollPosition(&bar, -3);
        EXPECT_EQ(bar.position, 0) << c.size;
    }
}

TEST(BinEditScroll, NarrowingTheRangePullsThePositionIn)
{
    BinEditScrollBar bar = {0, 0, 0};
    SetBinEditScrollRange(&bar, 0, 18);
    SetBinEditScrollPosition(&bar, 18);
    SetBinEditScrollRange(&bar, 0, 1);
    EXPECT_EQ(bar.position, 1);
    SetBinEditScrollRange(&bar, 0, -1);
    EXPECT_EQ(bar.position, 0);
}
