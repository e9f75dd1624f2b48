#include "controls/binedit/binedit_navigation.h"
#include "tests/support/binedit_scroll_bar.h"

#include <gtest/gtest.h>

// The rules only read size, caret, column and the cell; no bytes are needed.
namespace {

BinEditState StateOf(uint32_t size, uint32_t caret, int32_t cellWidth = 8, int32_t cellHeight = 12)
{
    BinEditState state = {};
    state.size = size;
    state.caret = caret;
    state.cellWidth = cellWidth;
    state.cellHeight = cellHeight;
    return state;
}

// Applies the requests of the caret rule to a scroll bar over `size` bytes.
int32_t TopAfterCaretRule(const BinEditState &state, int32_t clientHeight, int32_t top)
{
    BinEditScrollBar bar = {0, 0, 0};
    SetBinEditScrollRange(&bar, 0, GetBinEditLastRow(state.size));
    SetBinEditScrollPosition(&bar, top);
    int32_t requests[2];
    int count = GetBinEditCaretScrollRequests(&state, clientHeight, bar.position, requests);
    for (int i = 0; i < count; i++)
        SetBinEditScrollPosition(&bar, requests[i]);
    return bar.position;
}

}  // namespace

TEST(BinEditKeys, CaretMovesAsTheKeyTableSays)
{
    struct Case {
        uint32_t size;
        uint32_t caret;
        uint32_t key;
        int ctrl;
        uint32_t expected;
    } cases[] = {
        // 300-byte view: Page Down, Page Up and Ctrl+Page Down
        {300, 0, BINEDIT_KEY_PAGE_DOWN, 0, 256},
        {300, 256, BINEDIT_KEY_PAGE_DOWN, 0, 299},
        {300, 299, BINEDIT_KEY_PAGE_UP, 0, 43},
        {300, 43, BINEDIT_KEY_PAGE_UP, 0, 0},
        {300, 0, BINEDIT_KEY_PAGE_DOWN, 1, 299},
        {300, 299, BINEDIT_KEY_PAGE_UP, 1, 0},
        {8000, 5000, BINEDIT_KEY_PAGE_UP, 1, 904},
        {8000, 100, BINEDIT_KEY_PAGE_DOWN, 1, 4196},
        // 40-byte view: End and Home with and without Ctrl
        {40, 0x25, BINEDIT_KEY_END, 0, 0x27},
        {40, 0x05, BINEDIT_KEY_END, 0, 0x0F},
        {40, 0x25, BINEDIT_KEY_HOME, 0, 0x20},
        {40, 0x25, BINEDIT_KEY_END, 1, 39},
        {40, 0x25, BINEDIT_KEY_HOME, 1, 0},
        // arrows and their letters, at and away from the ends
        {40, 0, BINEDIT_KEY_LEFT, 0, 0},
        {40, 5, BINEDIT_KEY_LEFT, 0, 4},
        {40, 5, BINEDIT_KEY_H, 0, 4},
        {40, 0, BINEDIT_KEY_UP, 0, 0},
        {40, 15, BINEDIT_KEY_UP, 0, 15},
        {40, 15, BINEDIT_KEY_K, 0, 15},
        {40, 16, BINEDIT_KEY_UP, 0, 0},
        {40, 39, BINEDIT_KEY_RIGHT, 0, 39},
        {40, 38, BINEDIT_KEY_L, 0, 39},
        {40, 23, BINEDIT_KEY_DOWN, 0, 39},
        {40, 24, BINEDIT_KEY_DOWN, 0, 24},  // only 15 bytes follow
        {40, 24, BINEDIT_KEY_J, 0, 24},
        {40, 5, BINEDIT_KEY_LEFT, 1, 4},  // Ctrl changes only four keys
        {40, 5, 0x41, 0, 5},              // any other key
        {40, 5, 0x41, 1, 5},
        // a caret past the end (only BEM_SETCARET makes one) comes back
        {40, 50, BINEDIT_KEY_PAGE_DOWN, 0, 39},
        {40, 50, BINEDIT_KEY_END, 0, 39},
        {40, 50, BINEDIT_KEY_UP, 0, 34},
        // no bytes: size - 1 is the largest value, so nothing clamps
        {0, 0, BINEDIT_KEY_PAGE_DOWN, 0, 256},
        {0, 0, BINEDIT_KEY_END, 0, 15},
        {0, 0, BINEDIT_KEY_END, 1, 0xFFFFFFFFu},
        {0, 0, BINEDIT_KEY_RIGHT, 0, 0},
        {0, 0, BINEDIT_KEY_DOWN, 0, 0},
        // read as signed, a caret from 2 GiB on is "below 0"
        {0, 0x80000100u, BINEDIT_KEY_PAGE_UP, 0, 0},
        {0, 0x80000005u, BINEDIT_KEY_LEFT, 0, 0x80000005u},
        {0, 0x80000000u, BINEDIT_KEY_LEFT, 0, 0x7FFFFFFFu},
    };
    for (const Case &c : cases) {
        BinEditState state = StateOf(c.size, c.caret);
        ApplyBinEditKey(&state, c.key, c.ctrl);
        EXPECT_EQ(state.caret, c.expected)
            << "size " << c.size << " caret " << c.caret << " key " << c.key << " ctrl " << c.ctrl;
        EXPECT_EQ(state.column, BINEDIT_HEX_COLUMN);
    }
}

TEST(BinEditKeys, EveryKeyLeavesASingleByteViewOnByteZero)
{
    const uint32_t keys[] = {BINEDIT_KEY_TAB, BINEDIT_KEY_PAGE_UP, BINEDIT_KEY_PAGE_DOWN,
                             BINEDIT_KEY_END, BINEDIT_KEY_HOME,    BINEDIT_KEY_LEFT,
                             BINEDIT_KEY_UP,  BINEDIT_KEY_RIGHT,   BINEDIT_KEY_DOWN,
                             BINEDIT_KEY_H,   BINEDIT_KEY_J,       BINEDIT_KEY_K,
                             BINEDIT_KEY_L};
    for (uint32_t key : keys)
        for (int ctrl = 0; ctrl < 2; ctrl++) {
            BinEditState state = StateOf(1, 0);
            ApplyBinEditKey(&state, key, ctrl);
            EXPECT_EQ(state.caret, 0u) << key << " ctrl " << ctrl;
        }
}

TEST(BinEditKeys, TabTogglesTheColumnAndKeepsTheCaret)
{
    BinEditState state = StateOf(40, 0x25);
    ApplyBinEditKey(&state, BINEDIT_KEY_TAB, 0);
    EXPECT_EQ(state.column, BINEDIT_TEXT_COLUMN);
    EXPECT_EQ(state.caret, 0x25u);
    ApplyBinEditKey(&state, BINEDIT_KEY_TAB, 1);
    EXPECT_EQ(state.column, BINEDIT_HEX_COLUMN);
    EXPECT_EQ(state.caret, 0x25u);
}

TEST(BinEditKeys, OnlyTheFourPagingKeysAskForCtrl)
{
    EXPECT_TRUE(IsBinEditCtrlFormKey(BINEDIT_KEY_PAGE_UP));
    EXPECT_TRUE(IsBinEditCtrlFormKey(BINEDIT_KEY_PAGE_DOWN));
    EXPECT_TRUE(IsBinEditCtrlFormKey(BINEDIT_KEY_END));
    EXPECT_TRUE(IsBinEditCtrlFormKey(BINEDIT_KEY_HOME));
    EXPECT_FALSE(IsBinEditCtrlFormKey(BINEDIT_KEY_LEFT));
    EXPECT_FALSE(IsBinEditCtrlFormKey(BINEDIT_KEY_TAB));
}

TEST(BinEditClick, ColumnsOfAnEightByTwelveCell)
{
    struct Case {
        int32_t x;
        int32_t y;
        int32_t top;
        uint32_t size;
        int hit;
        uint32_t offset;
        int32_t column;
    } cases[] = {
        {0, 12, 0, 300, 1, 0, BINEDIT_HEX_COLUMN},  // the offset column picks hex byte 0
        {63, 23, 0, 300, 1, 0, BINEDIT_HEX_COLUMN},
        {87, 12, 0, 300, 1, 0, BINEDIT_HEX_COLUMN},  // the blank after byte 0's digits
        {88, 12, 0, 300, 1, 1, BINEDIT_HEX_COLUMN},
        {447, 12, 0, 300, 1, 15, BINEDIT_HEX_COLUMN},  // column 55, the blank after the hex column
        {448, 12, 0, 300, 1, 0, BINEDIT_TEXT_COLUMN},  // column 56
        {456, 12, 0, 300, 1, 0, BINEDIT_TEXT_COLUMN},
        {576, 12, 0, 300, 1, 15, BINEDIT_TEXT_COLUMN},
        {583, 23, 0, 300, 1, 15, BINEDIT_TEXT_COLUMN},
        {584, 12, 0, 300, 0, 0, 0},  // right of the text column
        {2000, 12, 0, 300, 0, 0, 0},
        {100, 0, 0, 300, 0, 0, 0},  // the header row
        {100, 11, 0, 300, 0, 0, 0},
        {100, 24, 0, 300, 1, 17, BINEDIT_HEX_COLUMN},  // second data row
        {100, 12, 2, 300, 1, 33, BINEDIT_HEX_COLUMN},  // top row 2
        {-5, 12, 0, 300, 1, 0, BINEDIT_HEX_COLUMN},    // left of the client area
        {100, -1, 0, 300, 0, 0, 0},
        {136, 24, 0, 20, 1, 19, BINEDIT_HEX_COLUMN},  // last byte of a short last row
        {184, 24, 0, 20, 0, 0, 0},                    // right of that last byte
        {500, 24, 0, 20, 0, 0, 0},
        {100, 12, 0, 0, 0, 0, 0},  // no bytes
    };
    for (const Case &c : cases) {
        BinEditState state = StateOf(c.size, 0);
        BinEditHit hit = {0xDEADu, -1};
        int accepted = HitTestBinEdit(&state, c.x, c.y, c.top, &hit);
        EXPECT_EQ(accepted, c.hit) << "x " << c.x << " y " << c.y;
        if (accepted && c.hit) {
            EXPECT_EQ(hit.offset, c.offset) << "x " << c.x << " y " << c.y;
            EXPECT_EQ(hit.column, c.column) << "x " << c.x << " y " << c.y;
        }
    }
}

TEST(BinEditClick, IgnoredWithoutACellSize)
{
    BinEditState state = StateOf(300, 0, 0, 0);
    BinEditHit hit;
    EXPECT_EQ(HitTestBinEdit(&state, 100, 30, 0, &hit), 0);
    state = StateOf(300, 0, 8, 0);
    EXPECT_EQ(HitTestBinEdit(&state, 100, 30, 0, &hit), 0);
}

TEST(BinEditScroll, ScrollBarActionsThenTheScrollBarsClamp)
{
    struct Case {
        uint32_t size;
        int32_t height;
        int32_t top;
        uint32_t code;
        uint32_t thumb;
        int32_t asked;
        int32_t shown;
    } cases[] = {
        {100000, 400, 0, BINEDIT_SCROLL_PAGE_DOWN, 0, 15, 15},  // (33 - 2) / 2
        {100000, 400, 20, BINEDIT_SCROLL_PAGE_UP, 0, 5, 5},
        {100000, 400, 10, BINEDIT_SCROLL_PAGE_UP, 0, 0, 0},
        {100000, 400, 0, BINEDIT_SCROLL_LINE_UP, 0, 0, 0},
        {100000, 400, 3, BINEDIT_SCROLL_LINE_DOWN, 0, 4, 4},
        {100000, 400, 3, BINEDIT_SCROLL_THUMB_POSITION, 70, 70, 70},
        {100000, 400, 3, BINEDIT_SCROLL_THUMB_TRACK, 71, 71, 71},
        {100000, 400, 30, BINEDIT_SCROLL_TOP, 0, 0, 0},
        {32, 400, 0, BINEDIT_SCROLL_BOTTOM, 0, 2, 1},  // row 2 asked, row 1 the maximum
        {300, 400, 0, BINEDIT_SCROLL_BOTTOM, 0, 18, 18},
        {100000, 400, 9, 8, 0, 9, 9},  // SB_ENDSCROLL
        {100000, 400, 9, 99, 0, 9, 9},
        {300, 400, 10, BINEDIT_SCROLL_PAGE_DOWN, 0, 18, 18},  // past size / 16
        {300, 400, 0, BINEDIT_SCROLL_THUMB_TRACK, 5000, 18, 18},
        {0x2000000u, 400, 0, BINEDIT_SCROLL_THUMB_TRACK, 70000, 70000, 70000},  // past 16 bits
        {0, 400, 0, BINEDIT_SCROLL_LINE_DOWN, 0, 0, 0},
        {100000, 12, 5, BINEDIT_SCROLL_PAGE_DOWN, 0, 5, 5},  // (1 - 2) / 2 truncates to 0
    };
    for (const Case &c : cases) {
        BinEditState state = StateOf(c.size, 0);
        int32_t asked = GetBinEditScrollTarget(&state, c.height, c.top, c.code, c.thumb);
        EXPECT_EQ(asked, c.asked) << "code " << c.code << " size " << c.size;
        BinEditScrollBar bar = {0, 0, 0};
        SetBinEditScrollRange(&bar, 0, GetBinEditLastRow(c.size));
        SetBinEditScrollPosition(&bar, asked);
        EXPECT_EQ(bar.position, c.shown) << "code " << c.code << " size " << c.size;
    }
}

TEST(BinEditScroll, PageStepIsZeroWithoutACellSize)
{
    BinEditState state = StateOf(100000, 0, 0, 0);
    EXPECT_EQ(GetBinEditPageStep(&state, 400), 0);
    EXPECT_EQ(GetBinEditScrollTarget(&state, 400, 7, BINEDIT_SCROLL_PAGE_DOWN, 0), 7);
    EXPECT_EQ(GetBinEditScrollTarget(&state, 400, 7, BINEDIT_SCROLL_PAGE_UP, 0), 7);
    EXPECT_EQ(GetBinEditScrollTarget(&state, 400, 7, BINEDIT_SCROLL_LINE_DOWN, 0), 8);
}

TEST(BinEditWheel, RowsPerNotchAndOnePagePerNotch)
{
    struct Case {
        int32_t top;
        int32_t delta;
        uint32_t lines;
        int32_t asked;
    } cases[] = {
        {10, 120, 3, 7},
        {10, -240, 3, 16},
        {10, 60, 3, 10},  // 60 / 120 truncates to 0
        {10, -119, 3, 10},
        {10, 360, 3, 1},
        {1, 120, 3, -2},  // the scroll bar clamps it to 0
        {10, 120, 0, 10},
        {10, -120, BINEDIT_WHEEL_PAGE_SCROLL, 25},  // one page step (15) a notch
        {40, 240, BINEDIT_WHEEL_PAGE_SCROLL, 10},
    };
    for (const Case &c : cases) {
        BinEditState state = StateOf(100000, 0);
        EXPECT_EQ(GetBinEditWheelTarget(&state, 400, c.top, c.delta, c.lines), c.asked)
            << "top " << c.top << " delta " << c.delta << " lines " << c.lines;
    }
    BinEditState noCell = StateOf(100000, 0, 0, 0);
    EXPECT_EQ(GetBinEditWheelTarget(&noCell, 400, 10, -120, BINEDIT_WHEEL_PAGE_SCROLL), 10);
    EXPECT_EQ(GetBinEditWheelTarget(&noCell, 400, 10, -120, 3), 13);
}

TEST(BinEditCaretVisible, ScrollsTheCaretRowIntoView)
{
    // client height 120, cell height 12: V = 10, rows 0 to 8 lie whole in view
    struct Case {
        uint32_t size;
        int32_t height;
        int32_t top;
        uint32_t caret;
        int32_t expectedTop;
    } cases[] = {
        {0x1000, 120, 0, 0x80, 0},  // row 8: the last whole row
        {0x1000, 120, 0, 0x8F, 0},  // same row past its first byte sets the same top
        {0x1000, 120, 0, 0x90, 1},  // row 9
        {0x1000, 120, 5, 0x3F, 3},  // above the view: its row goes to the top
        {0x1000, 120, 5, 0x50, 5},
        {0x1000, 120, 5, 0xD0, 5},
        {0x1000, 120, 5, 0xE0, 6},
        {0x1000, 120, 0, 0xFFF, 0xFF - 8},
        {0x1000, 400, 0, 0x300, 0x30 - 31},
        {40, 120, 0, 50, 0},  // past the end: the scroll bar holds its range
    };
    for (const Case &c : cases) {
        BinEditState state = StateOf(c.size, c.caret);
        EXPECT_EQ(TopAfterCaretRule(state, c.height, c.top), c.expectedTop)
            << "top " << c.top << " caret " << c.caret;
    }
}

TEST(BinEditCaretVisible, AskedInOrderAndNothingWithoutACellSize)
{
    BinEditState state = StateOf(0x1000, 0x8F);
    int32_t requests[2] = {-7, -7};
    EXPECT_EQ(GetBinEditCaretScrollRequests(&state, 120, 0, requests), 1);
    EXPECT_EQ(requests[0], 0);
    state.caret = 0x80;
    EXPECT_EQ(GetBinEditCaretScrollRequests(&state, 120, 0, requests), 0);
    // a client shorter than two cells: both rules act, the second wins
    state.caret = 0x4F;
    EXPECT_EQ(GetBinEditCaretScrollRequests(&state, 12, 5, requests), 2);
    EXPECT_EQ(requests[0], 4);
    EXPECT_EQ(requests[1], 5);
    BinEditState noCell = StateOf(0x1000, 0x900, 0, 0);
    EXPECT_EQ(GetBinEditCaretScrollRequests(&noCell, 120, 0, requests), 0);
}
