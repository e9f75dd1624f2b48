#include "controls/divider/divider_window.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"
#include "tests/support/window_test_support.h"

#include <gtest/gtest.h>

namespace {

// The parent records what the divider relays to it and answers with a
// value of its own, so a test can see both directions of a relay.
MessageRecorder g_parentMessages;
const LRESULT kParentAnswer = 0x5A5A;

LRESULT CALLBACK TestParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_DROPFILES:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_COMMAND: g_parentMessages.Record(message, wParam, lParam); return kParentAnswer;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A pane that, while it is destroyed after its divider, asks the divider
// for things that need the divider's record.
struct LateAnswers {
    int asked;
    LRESULT paneGet;
    LRESULT paneSet;
    LRESULT size;
    LRESULT mouseMove;
    LRESULT press;
};
LateAnswers g_late;

LRESULT CALLBACK LatePaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        HWND divider = GetParent(window);
        g_late.asked++;
        g_late.paneGet = SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 0), 0);
        g_late.paneSet =
            SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, 1), (LPARAM)window);
        g_late.size = SendMessageA(divider, WM_SIZE, 0, MAKELPARAM(10, 10));
        g_late.mouseMove = SendMessageA(divider, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        g_late.press = SendMessageA(divider, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterTestClasses()
{
    ASSERT_TRUE(EnsureControlClasses());
    ASSERT_TRUE(EnsureTestClass("divider_test_parent", TestParentProc));
    ASSERT_TRUE(EnsureTestClass("divider_test_late_pane", LatePaneProc));
}

struct PaneBox {
    int x, y, width, height;
};

PaneBox PlaceOf(HWND pane)
{
    RECT rect;
    GetWindowRect(pane, &rect);
    MapWindowPoints(NULL, GetParent(pane), (POINT *)&rect, 2);
    PaneBox box = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    return box;
}

#define EXPECT_PLACE(pane, ex, ey, ew, eh) \
    do {                                   \
        PaneBox box_ = PlaceOf(pane);      \
        EXPECT_EQ(box_.x, ex);             \
        EXPECT_EQ(box_.y, ey);             \
        EXPECT_EQ(box_.width, ew);         \
        EXPECT_EQ(box_.height, eh);        \
    } while (0)

class DividerWindow : public ::testing::Test {
protected:
    HWND parent = NULL;
    HWND divider = NULL;
    HWND top = NULL;
    HWND bottom = NULL;

    void SetUp() override
    {
        RegisterTestClasses();
        g_parentMessages.Clear();
        // A popup has no frame, so its client area is its whole size.
        parent = CreateWindowExA(0, "divider_test_parent", "divider test", WS_POPUP, 0, 0, 640, 480,
                                 NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(parent, (HWND)NULL);
    }

    void TearDown() override
    {
        ReleaseCapture();
        DestroyWindow(parent);
    }

    HWND MakeDivider(UINT_PTR orientation, int width = 640, int height = 480)
    {
        return CreateWindowExA(0, DIVIDER_CLASS_NAME, "", WS_CHILD | WS_VISIBLE, 0, 0, width,
                               height, parent, NULL, GetModuleHandleA(NULL), (LPVOID)orientation);
    }

    HWND MakePane(HWND owner, int x = 3, int y = 5)
    {
        return CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, x, y, 10, 10, owner, NULL,
                               GetModuleHandleA(NULL), NULL);
    }

    void MakeStackedWithPanes(UINT_PTR orientation = DIVIDER_STACKED)
    {
        divider = MakeDivider(orientation);
        ASSERT_NE(divider, (HWND)NULL);
        top = MakePane(divider);
        bottom = MakePane(divider);
        SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, 0), (LPARAM)top);
        SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, 1), (LPARAM)bottom);
    }

    void Resize(int width, int height)
    {
        SetWindowPos(divider, NULL, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
    }
};

}  // namespace

TEST_F(DividerWindow, PaneMessageTable)
{
    divider = MakeDivider(DIVIDER_STACKED);
    ASSERT_NE(divider, (HWND)NULL);
    top = MakePane(divider);
    bottom = MakePane(divider);

    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 0), 0), 0)
        << "get of a pane never set";
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 1), 0), 0);

    // A set returns the handle and places at once.
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, 0), (LPARAM)top),
              (LRESULT)top);
    EXPECT_PLACE(top, 0, 0, 640, 200);
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, 1), (LPARAM)bottom),
              (LRESULT)bottom);
    EXPECT_PLACE(bottom, 0, 204, 640, 276);
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 0), 0), (LRESULT)top);
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 1), 0),
              (LRESULT)bottom);

    // Index 2 or more: 0, nothing stored, nothing placed.
    HWND stray = MakePane(divider, 7, 9);
    const WPARAM badIndices[] = {2, 3, 0xFFFF};
    for (WPARAM index : badIndices) {
        EXPECT_EQ(
            SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, index), (LPARAM)stray), 0)
            << index;
        EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, index), 0), 0)
            << index;
    }
    EXPECT_PLACE(stray, 7, 9, 10, 10);

    // Another operation goes to the default procedure and changes nothing.
    const WPARAM otherOperations[] = {DVM_PANE_WPARAM(2, 0), DVM_PANE_WPARAM(2, 1),
                                      DVM_PANE_WPARAM(0xFFFF, 0)};
    for (WPARAM operation : otherOperations) {
        EXPECT_EQ(SendMessageA(divider, DVM_PANE, operation, (LPARAM)stray),
                  DefWindowProcA(divider, DVM_PANE, operation, (LPARAM)stray));
    }
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 0), 0), (LRESULT)top);
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 1), 0),
              (LRESULT)bottom);
    EXPECT_PLACE(stray, 7, 9, 10, 10);

    // Clearing a pane leaves its window where it was; only the other moves.
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, 0), 0), 0);
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 0), 0), 0);
    Resize(300, 100);
    EXPECT_PLACE(top, 0, 0, 640, 200);
    EXPECT_PLACE(bottom, 0, 100, 300, 0);
}

TEST_F(DividerWindow, NewDividerPlacesNothingUntilAPaneIsSet)
{
    divider = MakeDivider(DIVIDER_SIDE_BY_SIDE);
    top = MakePane(divider, 20, 30);
    Resize(500, 400);
    EXPECT_PLACE(top, 20, 30, 10, 10);
    SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, 1), (LPARAM)top);
    EXPECT_PLACE(top, 204, 0, 296, 400);
}

TEST_F(DividerWindow, RelaysExactlyFourMessagesUnchanged)
{
    MakeStackedWithPanes();
    NMHDR header = {top, 1234, (UINT)-402};
    struct Relayed {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } relayed[] = {
        {WM_NOTIFY, 1234, (LPARAM)&header},
        {WM_KEYDOWN, VK_DELETE, 0x00530001},
        {WM_KEYUP, VK_DELETE, (LPARAM)0xC0530001},
        {WM_DROPFILES, 0x7777, 0},
    };
    for (const Relayed &r : relayed) {
        g_parentMessages.Clear();
        EXPECT_EQ(SendMessageA(divider, r.message, r.wParam, r.lParam), kParentAnswer) << r.message;
        const ExpectedMessage once[] = {{r.message, CHECK_BOTH, r.wParam, r.lParam}, {}};
        ExpectMessageSequence(g_parentMessages, once, "relayed");
    }
    const ExpectedMessage nothing[] = {{}};
    const UINT notRelayed[] = {WM_CHAR, WM_SYSKEYDOWN, WM_COMMAND};
    for (UINT message : notRelayed) {
        g_parentMessages.Clear();
        SendMessageA(divider, message, 'A', 0);
        ExpectMessageSequence(g_parentMessages, nothing, "not relayed");
    }
}

TEST_F(DividerWindow, DraggingTheStackedBarFollowsThePointerWithinLimits)
{
    MakeStackedWithPanes();
    EXPECT_PLACE(top, 0, 0, 640, 200);

    SendMessageA(divider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 202));
    EXPECT_EQ(GetCapture(), divider);
    EXPECT_PLACE(top, 0, 0, 640, 200);  // a press places nothing

    struct Step {
        short y;
        int splitPos;
    } steps[] = {
        {100, 98},
        {-30, 0},    // above the control
        {900, 476},  // past the bottom
        {300, 298},
    };
    for (const Step &step : steps) {
        SendMessageA(divider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, step.y));
        EXPECT_PLACE(top, 0, 0, 640, step.splitPos);
        EXPECT_PLACE(bottom, 0, step.splitPos + 4, 640, 480 - step.splitPos - 4);
    }
    EXPECT_EQ(GetCursor(), LoadCursorA(NULL, IDC_SIZENS));

    SendMessageA(divider, WM_LBUTTONUP, 0, MAKELPARAM(50, 300));
    EXPECT_EQ(GetCapture(), (HWND)NULL);
    // Moves without the capture only set the cursor.
    SendMessageA(divider, WM_MOUSEMOVE, 0, MAKELPARAM(50, 10));
    EXPECT_PLACE(top, 0, 0, 640, 298);
    // A release without capture changes nothing either.
    SendMessageA(divider, WM_LBUTTONUP, 0, MAKELPARAM(50, 10));
    SendMessageA(divider, WM_SIZE, 0, 0);
    EXPECT_PLACE(top, 0, 0, 640, 298);
}

TEST_F(DividerWindow, ShrinkingLimitsThePlacementButNotTheSplit)
{
    MakeStackedWithPanes();
    Resize(640, 150);
    EXPECT_PLACE(top, 0, 0, 640, 146);
    EXPECT_PLACE(bottom, 0, 150, 640, 0);
    Resize(640, 480);
    EXPECT_PLACE(top, 0, 0, 640, 200);
    EXPECT_PLACE(bottom, 0, 204, 640, 276);
}

TEST_F(DividerWindow, SideBySidePressWhileShrunkStoresTheLimit)
{
    MakeStackedWithPanes(DIVIDER_SIDE_BY_SIDE);
    Resize(150, 480);
    SendMessageA(divider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(148, 40));
    SendMessageA(divider, WM_LBUTTONUP, 0, MAKELPARAM(148, 40));
    Resize(640, 480);
    EXPECT_PLACE(top, 0, 0, 146, 480);
    EXPECT_PLACE(bottom, 150, 0, 490, 480);

    // Dragging horizontally: the bar keeps the press's distance to the pointer.
    SendMessageA(divider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(149, 40));
    SendMessageA(divider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(303, 900));
    EXPECT_PLACE(top, 0, 0, 300, 480);
    SendMessageA(divider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 40));
    EXPECT_PLACE(top, 0, 0, 0, 480);
    SendMessageA(divider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5000, 40));
    EXPECT_PLACE(bottom, 640, 0, 0, 480);
    EXPECT_EQ(GetCursor(), LoadCursorA(NULL, IDC_SIZEWE));
}

TEST_F(DividerWindow, UnknownOrientationIsInertButKeepsPanesAndCapture)
{
    MakeStackedWithPanes(7);
    EXPECT_EQ(SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 1), 0),
              (LRESULT)bottom);
    EXPECT_PLACE(top, 3, 5, 10, 10);
    SendMessageA(divider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(GetCapture(), divider);
    SendMessageA(divider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 100));
    EXPECT_PLACE(top, 3, 5, 10, 10);
    SendMessageA(divider, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(GetCapture(), (HWND)NULL);
    EXPECT_EQ(SendMessageA(divider, WM_KEYDOWN, VK_DELETE, 0), kParentAnswer);
}

TEST_F(DividerWindow, FailedCreationLeavesNoWindow)
{
    SetHeapFailureCountdown(0);
    HWND failed = MakeDivider(DIVIDER_STACKED);
    SetHeapFailureCountdown(-1);
    EXPECT_EQ(failed, (HWND)NULL);
    divider = MakeDivider(DIVIDER_STACKED);
    EXPECT_NE(divider, (HWND)NULL);
}

TEST_F(DividerWindow, MessagesAfterDestroyAnswerZero)
{
    divider = MakeDivider(DIVIDER_STACKED);
    HWND late = CreateWindowExA(0, "divider_test_late_pane", "", WS_CHILD | WS_VISIBLE, 0, 0, 10,
                                10, divider, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(late, (HWND)NULL);
    SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, 0), (LPARAM)late);
    SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, 1), (LPARAM)late);
    g_late = LateAnswers();
    g_late.paneGet = g_late.paneSet = g_late.size = g_late.mouseMove = g_late.press = -7;
    // The panes are destroyed after the divider's own WM_DESTROY.
    DestroyWindow(divider);
    EXPECT_EQ(g_late.asked, 1);
    EXPECT_EQ(g_late.paneGet, 0);
    EXPECT_EQ(g_late.paneSet, 0);
    EXPECT_EQ(g_late.size, 0);
    EXPECT_EQ(g_late.mouseMove, 0);
    EXPECT_EQ(g_late.press, 0);
    EXPECT_NE(GetCapture(), divider);
}
