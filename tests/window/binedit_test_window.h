#pragma once
// Shared by the binary view's window tests: a visible top-level parent with
// one binary view child sized to a whole number of cells, and small helpers
// to read its state, scroll bar and pixels.
#include "controls/binedit/binedit_paint_win32.h"
#include "controls/binedit/binedit_state.h"
#include "controls/binedit/binedit_window.h"
#include "controls/window_state.h"
#include "tests/support/window_test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

class BinEditWindowTest : public ::testing::Test {
protected:
    HWND parent = NULL;
    HWND view = NULL;
    HFONT font = NULL;
    int cellWidth = 0;
    int cellHeight = 0;

    // One top-level parent for all the tests: creating and mapping a
    // visible window costs Wine about a second.
    static HWND SharedParent()
    {
        static HWND shared = NULL;
        if (shared && IsWindow(shared))
            return shared;
        if (!EnsureControlClasses() ||
            !EnsureTestClass("kivra_binedit_test_parent", DefWindowProcA))
            return NULL;
        shared = CreateWindowExA(0, "kivra_binedit_test_parent", "binedit test",
                                 WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 400, NULL, NULL,
                                 GetModuleHandleA(NULL), NULL);
        SetForegroundWindow(shared);
        return shared;
    }

    void SetUp() override
    {
        parent = SharedParent();
        ASSERT_NE(parent, (HWND)NULL);
        SetFocus(parent);
        view = CreateView();
        ASSERT_NE(view, (HWND)NULL);
        font = (HFONT)GetStockObject(ANSI_FIXED_FONT);
        SendMessageA(view, WM_SETFONT, (WPARAM)font, 0);
        MeasureCell();
        SizeClientInCells(10);
        Pump();
    }

    void TearDown() override
    {
        if (view)
            DestroyWindow(view);
        SetFocus(parent);
        Pump();
    }

    HWND CreateView()
    {
        return CreateWindowExA(0, BINEDIT_CLASS_NAME, "", WS_CHILD | WS_VISIBLE, 0, 0, 700, 200,
                               parent, NULL, GetModuleHandleA(NULL), NULL);
    }

    // The cell as the control should measure it: the extent of "0".
    void MeasureCell()
    {
        HDC dc = GetDC(view);
        HGDIOBJ previous = SelectObject(dc, font);
        SIZE size;
        GetTextExtentPoint32A(dc, "0", 1, &size);
        SelectObject(dc, previous);
        ReleaseDC(view, dc);
        cellWidth = size.cx;
        cellHeight = size.cy;
    }

    // Resizes the view so that its client area is `rows` cells high and 80
    // cells wide (the resize also shows the first row again).
    void SizeClientInCells(int rows)
    {
        for (int attempt = 0; attempt < 3; attempt++) {
            RECT window, client;
            GetWindowRect(view, &window);
            GetClientRect(view, &client);
            int width = (window.right - window.left) + 80 * cellWidth - client.right;
            int height = (window.bottom - window.top) + rows * cellHeight - client.bottom;
            SetWindowPos(view, NULL, 0, 0, width, height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    static void Pump()
    {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    BinEditState *State() { return (BinEditState *)GetWindowState(view); }
    int TopRow() { return GetScrollPos(view, SB_VERT); }
    int ClientHeight()
    {
        RECT client;
        GetClientRect(view, &client);
        return client.bottom;
    }

    void SetData(const unsigned char *bytes, WPARAM count)
    {
        SendMessageA(view, BEM_SETDATA, count, (LPARAM)bytes);
    }
    void Key(WPARAM keyCode) { SendMessageA(view, WM_KEYDOWN, keyCode, 1); }
    void Click(int x, int y) { SendMessageA(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Scroll(int code, int thumb = 0)
    {
        SendMessageA(view, WM_VSCROLL, MAKEWPARAM(code, thumb), 0);
    }
    void Wheel(int delta)
    {
        SendMessageA(view, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)delta), 0);
    }
};

// A 32-bit top-down bitmap in a memory device context, filled with one
// colour, to paint the view into and read back pixel by pixel.
struct BinEditTestCanvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    int width;
    int height;

    BinEditTestCanvas(int canvasWidth, int canvasHeight, COLORREF fill)
        : width(canvasWidth), height(canvasHeight)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void *bits = NULL;
        dc = CreateCompatibleDC(NULL);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        previous = SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(fill);
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~BinEditTestCanvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y) { return GetPixel(dc, x, y); }
};
