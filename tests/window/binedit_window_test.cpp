#include "binedit_test_window.h"

#include "platform/heap.h"
#include "tests/support/heap_fault.h"

#include <vector>

namespace {

std::vector<unsigned char> Counting(size_t count)
{
    std::vector<unsigned char> bytes(count);
    for (size_t i = 0; i < count; i++)
        bytes[i] = (unsigned char)i;
    return bytes;
}

// The style a binary view has right after its WM_CREATE, seen by a hook.
LONG StyleAfterCreate = 0;

LRESULT CALLBACK RecordStyleAfterCreate(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *call = (const CWPRETSTRUCT *)lParam;
    char className[64] = "";
    if (code == HC_ACTION && call->message == WM_CREATE) {
        GetClassNameA(call->hwnd, className, sizeof(className));
        if (lstrcmpA(className, BINEDIT_CLASS_NAME) == 0)
            StyleAfterCreate = GetWindowLongA(call->hwnd, GWL_STYLE);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

}  // namespace

TEST_F(BinEditWindowTest, ClassHasOnePointerOfExtraBytesAnArrowAndNoBackground)
{
    WNDCLASSEXA info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(NULL), "vek_BinEditWndClass", &info));
    EXPECT_EQ(info.cbWndExtra, (int)sizeof(void *));
    EXPECT_EQ(info.hbrBackground, (HBRUSH)NULL);
    EXPECT_EQ(info.hCursor, LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    EXPECT_EQ(info.lpfnWndProc, BinEditWndProc);
    EXPECT_EQ(RegisterBinEditClass(), 0);  // already registered: refused
    UnregisterBinEditClass();
    EXPECT_TRUE(GetClassInfoExA(GetModuleHandleA(NULL), "vek_BinEditWndClass", &info));
}

TEST_F(BinEditWindowTest, CreatedEmptyWithAScrollBarAndMeasuredByItsFont)
{
    HHOOK hook =
        SetWindowsHookExA(WH_CALLWNDPROCRET, RecordStyleAfterCreate, NULL, GetCurrentThreadId());
    ASSERT_NE(hook, (HHOOK)NULL);
    StyleAfterCreate = 0;
    HWND fresh = CreateView();
    UnhookWindowsHookEx(hook);
    ASSERT_NE(fresh, (HWND)NULL);
    EXPECT_TRUE(StyleAfterCreate & WS_VSCROLL);  // whatever style it was created with
    BinEditState *state = (BinEditState *)GetWindowState(fresh);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->data, nullptr);
    EXPECT_EQ(state->size, 0u);
    EXPECT_EQ(state->caret, 0u);
    EXPECT_EQ(state->column, 0);
    EXPECT_EQ(state->font, nullptr);
    EXPECT_EQ(state->cellWidth, 0);
    EXPECT_EQ(state->cellHeight, 0);
    EXPECT_EQ(state->caretShown, 0u);
    DestroyWindow(fresh);

    ASSERT_GT(cellWidth, 0);
    EXPECT_EQ(State()->font, (void *)font);
    EXPECT_EQ(State()->cellWidth, cellWidth);
    EXPECT_EQ(State()->cellHeight, cellHeight);
    EXPECT_EQ(ClientHeight(), 10 * cellHeight);
}

TEST_F(BinEditWindowTest, NoWindowWhenItsRecordCannotBeAllocated)
{
    SetHeapFailureCountdown(0);
    HWND refused = CreateView();
    SetHeapFailureCountdown(-1);
    EXPECT_EQ(refused, (HWND)NULL);
}

TEST_F(BinEditWindowTest, SetDataCopiesTheBytesAndResetsCaretAndScrolling)
{
    std::vector<unsigned char> bytes = Counting(300);
    SetData(bytes.data(), bytes.size());
    Scroll(SB_PAGEDOWN);
    ASSERT_GT(TopRow(), 0);
    State()->column = 1;
    State()->caret = 77;

    std::vector<unsigned char> other = Counting(17);
    SetData(other.data(), other.size());
    other[0] = 0xAA;  // the sender may reuse its bytes at once
    BinEditState *state = State();
    ASSERT_NE(state->data, nullptr);
    EXPECT_NE(state->data, other.data());
    EXPECT_EQ(state->size, 17u);
    EXPECT_EQ(state->data[0], 0);
    EXPECT_EQ(state->data[16], 16);
    EXPECT_EQ(state->caret, 0u);
    EXPECT_EQ(state->column, 1);
    EXPECT_EQ(TopRow(), 0);
    int minimum = -5, maximum = -5;
    GetScrollRange(view, SB_VERT, &minimum, &maximum);
    EXPECT_EQ(minimum, 0);
    EXPECT_EQ(maximum, 1);

    SetData(bytes.data(), bytes.size());
    GetScrollRange(view, SB_VERT, &minimum, &maximum);
    EXPECT_EQ(maximum, 18);
}

TEST_F(BinEditWindowTest, ZeroCountNullPointerOrAFailedCopyEmptyTheView)
{
    std::vector<unsigned char> bytes = Counting(40);
    struct Case {
        WPARAM count;
        const unsigned char *bytes;
        int failCopy;
    } cases[] = {
        {0, bytes.data(), 0},
        {40, nullptr, 0},
        {0, nullptr, 0},
        {40, bytes.data(), 1},
    };
    for (const Case &c : cases) {
        SetData(bytes.data(), bytes.size());
        Scroll(SB_BOTTOM);
        if (c.failCopy)
            SetHeapFailureCountdown(0);
        SetData(c.bytes, c.count);
        SetHeapFailureCountdown(-1);
        EXPECT_EQ(State()->data, nullptr);
        EXPECT_EQ(State()->size, 0u);
        EXPECT_EQ(State()->caret, 0u);
        EXPECT_EQ(TopRow(), 0);
        Scroll(SB_LINEDOWN);
        EXPECT_EQ(TopRow(), 0);  // nothing to scroll to
    }
}

TEST_F(BinEditWindowTest, KeysMoveTheCaretAndBringItsRowIntoView)
{
    // 10 rows of client area: rows 0 to 8 of the view lie whole inside it
    std::vector<unsigned char> bytes = Counting(300);
    SetData(bytes.data(), bytes.size());
    Key(VK_NEXT);
    EXPECT_EQ(State()->caret, 256u);
    EXPECT_EQ(TopRow(), 16 - 8);
    Key(VK_NEXT);
    EXPECT_EQ(State()->caret, 299u);
    EXPECT_EQ(TopRow(), 18 - 8);
    Key(VK_PRIOR);
    EXPECT_EQ(State()->caret, 43u);
    EXPECT_EQ(TopRow(), 2);
    Key('K');
    EXPECT_EQ(State()->caret, 27u);
    EXPECT_EQ(TopRow(), 1);
    Key(VK_HOME);
    EXPECT_EQ(State()->caret, 16u);
    Key(VK_TAB);
    EXPECT_EQ(State()->column, 1);
    Key(VK_TAB);
    EXPECT_EQ(State()->column, 0);
    Key(0x41);  // any other key: no change, and never the default handling
    EXPECT_EQ(State()->caret, 16u);
}

TEST_F(BinEditWindowTest, SetCaretMovesTheCaretWithoutScrolling)
{
    std::vector<unsigned char> bytes = Counting(40);
    SetData(bytes.data(), bytes.size());
    State()->column = 1;
    SendMessageA(view, BEM_SETCARET, 50, 0);
    EXPECT_EQ(State()->caret, 50u);
    EXPECT_EQ(State()->column, 1);
    EXPECT_EQ(TopRow(), 0);
    Key(VK_END);
    EXPECT_EQ(State()->caret, 39u);

    std::vector<unsigned char> many = Counting(3000);
    SetData(many.data(), many.size());
    SendMessageA(view, BEM_SETCARET, 2000, 0);
    EXPECT_EQ(TopRow(), 0);
}

TEST_F(BinEditWindowTest, ClickTakesTheFocusAndPicksTheByte)
{
    std::vector<unsigned char> bytes = Counting(40);
    SetData(bytes.data(), bytes.size());
    ASSERT_NE(GetFocus(), view);
    // the header row: only the focus changes
    Click(60 * cellWidth, cellHeight / 2);
    EXPECT_EQ(GetFocus(), view);
    EXPECT_EQ(State()->caret, 0u);
    // text byte 3 of the second data row
    Click(60 * cellWidth + 1, 2 * cellHeight + 1);
    EXPECT_EQ(State()->caret, 19u);
    EXPECT_EQ(State()->column, 1);
    // hex byte 2 of the third row, on the blank after its digits
    Click(16 * cellWidth, 3 * cellHeight);
    EXPECT_EQ(State()->caret, 34u);
    EXPECT_EQ(State()->column, 0);
    // past the last byte, and right of the text column
    Click(8 * 3 * cellWidth + 8 * cellWidth, 3 * cellHeight);
    Click(74 * cellWidth, cellHeight);
    EXPECT_EQ(State()->caret, 34u);
    EXPECT_EQ(State()->column, 0);
}

TEST_F(BinEditWindowTest, ClickOnARowBelowTheLastWholeRowScrollsIt)
{
    std::vector<unsigned char> bytes = Counting(300);
    SetData(bytes.data(), bytes.size());
    Click(9 * cellWidth, 10 * cellHeight + 1);  // row 9, below the last whole row
    EXPECT_EQ(State()->caret, 9u * 16u);
    EXPECT_EQ(TopRow(), 1);
}

TEST_F(BinEditWindowTest, ScrollBarActions)
{
    std::vector<unsigned char> bytes = Counting(300);
    SetData(bytes.data(), bytes.size());
    Scroll(SB_PAGEDOWN);
    EXPECT_EQ(TopRow(), (10 - 2) / 2);
    Scroll(SB_LINEDOWN);
    EXPECT_EQ(TopRow(), 5);
    Scroll(SB_THUMBTRACK, 11);
    EXPECT_EQ(TopRow(), 11);
    Scroll(SB_PAGEUP);
    EXPECT_EQ(TopRow(), 7);
    Scroll(SB_BOTTOM);
    EXPECT_EQ(TopRow(), 18);
    Scroll(SB_LINEDOWN);
    EXPECT_EQ(TopRow(), 18);
    Scroll(SB_ENDSCROLL);
    EXPECT_EQ(TopRow(), 18);
    Scroll(SB_TOP);
    EXPECT_EQ(TopRow(), 0);
    Scroll(SB_LINEUP);
    EXPECT_EQ(TopRow(), 0);
    EXPECT_EQ(State()->caret, 0u);  // the caret never moves

    std::vector<unsigned char> two = Counting(32);
    SetData(two.data(), two.size());
    Scroll(SB_BOTTOM);
    EXPECT_EQ(TopRow(), 1);
}

TEST_F(BinEditWindowTest, WheelScrollsByTheSystemRowsPerNotch)
{
    UINT lines = 0;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
    if (lines == 0 || lines == WHEEL_PAGESCROLL || lines > 20)
        GTEST_SKIP() << "unusual wheel setting " << lines;
    std::vector<unsigned char> bytes = Counting(16 * 100);
    SetData(bytes.data(), bytes.size());
    Wheel(-240);
    EXPECT_EQ(TopRow(), 2 * (int)lines);
    Wheel(60);
    EXPECT_EQ(TopRow(), 2 * (int)lines);
    Wheel(120);
    EXPECT_EQ(TopRow(), (int)lines);
    Wheel(1200);
    EXPECT_EQ(TopRow(), 0);
    Wheel(-120 * 200);
    EXPECT_EQ(TopRow(), 99);
}

TEST_F(BinEditWindowTest, ResizingShowsTheFirstRowAgainAndKeepsTheCaret)
{
    std::vector<unsigned char> bytes = Counting(300);
    SetData(bytes.data(), bytes.size());
    Key(VK_NEXT);
    ASSERT_GT(TopRow(), 0);
    SizeClientInCells(12);
    EXPECT_EQ(TopRow(), 0);
    EXPECT_EQ(State()->caret, 256u);
}

TEST_F(BinEditWindowTest, FocusCreatesTheCaretAndPaintingShowsAndHidesIt)
{
    std::vector<unsigned char> bytes = Counting(300);
    SetData(bytes.data(), bytes.size());
    SetFocus(view);
    ASSERT_EQ(GetFocus(), view);
    EXPECT_EQ(State()->caretShown, 0u);  // created hidden
    UpdateWindow(view);
    EXPECT_EQ(State()->caretShown, 1u);
    POINT at;
    ASSERT_TRUE(GetCaretPos(&at));
    EXPECT_EQ(at.x, 8 * cellWidth);
    EXPECT_EQ(at.y, cellHeight);

    Key(VK_TAB);
    UpdateWindow(view);
    ASSERT_TRUE(GetCaretPos(&at));
    EXPECT_EQ(at.x, 57 * cellWidth);
    EXPECT_EQ(State()->caretShown, 1u);

    // scrolled out of view the caret is hidden, brought back it shows
    Scroll(SB_LINEDOWN);
    UpdateWindow(view);
    EXPECT_EQ(State()->caretShown, 0u);
    Scroll(SB_LINEUP);
    UpdateWindow(view);
    EXPECT_EQ(State()->caretShown, 1u);

    // past the end: hidden
    SendMessageA(view, BEM_SETCARET, 310, 0);
    UpdateWindow(view);
    EXPECT_EQ(State()->caretShown, 0u);

    SetFocus(parent);
    EXPECT_NE(GetFocus(), view);
    EXPECT_EQ(State()->caretShown, 0u);
}

TEST_F(BinEditWindowTest, EmptyViewShowsTheCaretOnTheFirstHexCell)
{
    State()->column = 1;
    SetFocus(view);
    UpdateWindow(view);
    EXPECT_EQ(State()->caretShown, 1u);
    POINT at;
    ASSERT_TRUE(GetCaretPos(&at));
    EXPECT_EQ(at.x, 8 * cellWidth);
    EXPECT_EQ(at.y, cellHeight);
}

TEST_F(BinEditWindowTest, WithoutAFontNothingDividesByTheEmptyCell)
{
    HWND fresh = CreateView();
    ASSERT_NE(fresh, (HWND)NULL);
    std::vector<unsigned char> bytes = Counting(300);
    SendMessageA(fresh, BEM_SETDATA, bytes.size(), (LPARAM)bytes.data());
    SendMessageA(fresh, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 40));
    SendMessageA(fresh, WM_KEYDOWN, VK_NEXT, 1);
    SendMessageA(fresh, WM_VSCROLL, SB_PAGEDOWN, 0);
    SendMessageA(fresh, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-120), 0);
    UpdateWindow(fresh);
    BinEditState *state = (BinEditState *)GetWindowState(fresh);
    EXPECT_EQ(state->caret, 256u);
    EXPECT_EQ(GetFocus(), fresh);  // the click still took the focus
    DestroyWindow(fresh);
}
