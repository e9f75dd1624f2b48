#include "controls/binedit/binedit_window.h"

#include "controls/binedit/binedit_navigation.h"
#include "controls/binedit/binedit_paint_win32.h"
#include "controls/binedit/binedit_state.h"
#include "platform/heap.h"
#include "controls/window_state.h"

static void InvalidateWhole(HWND window)
{
    InvalidateRect(window, NULL, FALSE);
}

static int32_t ClientHeight(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return client.bottom;
}

// Brings the caret's row into view; the scroll bar clamps each position.
static void EnsureCaretVisible(HWND window, BinEditState *state)
{
    int32_t requests[2];
    int count = GetBinEditCaretScrollRequests(state, ClientHeight(window),
                                              GetScrollPos(window, SB_VERT), requests);
    for (int i = 0; i < count; i++) {
        SetScrollPos(window, SB_VERT, requests[i], TRUE);
        InvalidateWhole(window);
    }
}

static LRESULT OnCreate(HWND window)
{
    BinEditState *state = (BinEditState *)HeapAllocBlock(sizeof(BinEditState));
    // Without its record the control cannot work: refuse to be created.
    if (!state)
        return -1;
    *state = {};
    state->column = BINEDIT_HEX_COLUMN;
    SetWindowState(window, state);
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) | WS_VSCROLL);
    return 0;
}

static void OnDestroy(HWND window, BinEditState *state)
{
    FreeBinEditData(state);
    HeapFreeBlock(state);
    SetWindowState(window, 0);
}

static void OnSize(HWND window, BinEditState *state)
{
    SetScrollRange(window, SB_VERT, 0, GetBinEditLastRow(state->size), FALSE);
    SetScrollPos(window, SB_VERT, 0, TRUE);
    InvalidateWhole(window);
}

static void OnSetFocus(HWND window, BinEditState *state)
{
    CreateCaret(window, NULL, state->cellWidth, state->cellHeight);
    SetCaretPos(0, 0);
    state->caretShown = 0;
    InvalidateWhole(window);
}

static void OnKillFocus(HWND window, BinEditState *state)
{
    DestroyCaret();
    state->caretShown = 0;
    InvalidateWhole(window);
}

static void OnPaint(HWND window, BinEditState *state)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc)
        PaintBinEdit(window, state, dc);
    EndPaint(window, &paint);
}

static void OnSetFont(HWND window, BinEditState *state, HFONT font)
{
    state->font = (void *)font;
    HDC dc = GetDC(window);
    if (!dc)
        return;
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE cell;
    if (GetTextExtentPoint32A(dc, "0", 1, &cell)) {
        state->cellWidth = cell.cx;
        state->cellHeight = cell.cy;
    }
    if (previous)
        SelectObject(dc, previous);
    ReleaseDC(window, dc);
}

static void OnKeyDown(HWND window, BinEditState *state, uint32_t keyCode)
{
    int ctrlHeld = 0;
    if (IsBinEditCtrlFormKey(keyCode))
        ctrlHeld = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    ApplyBinEditKey(state, keyCode, ctrlHeld);
    EnsureCaretVisible(window, state);
    InvalidateWhole(window);
}

static void OnLButtonDown(HWND window, BinEditState *state, LPARAM lParam)
{
    SetFocus(window);
    int32_t x = (int16_t)LOWORD(lParam);
    int32_t y = (int16_t)HIWORD(lParam);
    BinEditHit hit;
    if (!HitTestBinEdit(state, x, y, GetScrollPos(window, SB_VERT), &hit))
        return;
    state->caret = hit.offset;
    state->column = hit.column;
    EnsureCaretVisible(window, state);
    InvalidateWhole(window);
}

// The thumb's position travels in 16 bits of wParam; past row 65535 the
// scroll bar's own 32-bit tracking position is the one meant.
static uint32_t ThumbPosition(HWND window, WPARAM wParam)
{
    uint32_t fromMessage = HIWORD(wParam);
    SCROLLINFO info;
    info.cbSize = sizeof(info);
    info.fMask = SIF_TRACKPOS;
    if (GetScrollInfo(window, SB_VERT, &info) && info.nTrackPos >= 0 &&
        ((uint32_t)info.nTrackPos & 0xFFFFu) == fromMessage)
        return (uint32_t)info.nTrackPos;
    return fromMessage;
}

static void OnVScroll(HWND window, BinEditState *state, WPARAM wParam)
{
    uint32_t code = LOWORD(wParam);
    uint32_t thumb = 0;
    if (code == SB_THUMBPOSITION || code == SB_THUMBTRACK)
        thumb = ThumbPosition(window, wParam);
    int32_t target = GetBinEditScrollTarget(state, ClientHeight(window),
                                            GetScrollPos(window, SB_VERT), code, thumb);
    SetScrollPos(window, SB_VERT, target, TRUE);
    InvalidateWhole(window);
}

static void OnMouseWheel(HWND window, BinEditState *state, WPARAM wParam)
{
    UINT lines = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    int32_t delta = (int16_t)HIWORD(wParam);
    int32_t target = GetBinEditWheelTarget(state, ClientHeight(window),
                                           GetScrollPos(window, SB_VERT), delta, lines);
    SetScrollPos(window, SB_VERT, target, TRUE);
    InvalidateWhole(window);
}

static void OnSetData(HWND window, BinEditState *state, WPARAM count, LPARAM bytes)
{
    ReplaceBinEditData(state, (uint32_t)count, (const unsigned char *)bytes);
    RECT client;
    GetClientRect(window, &client);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

static void OnSetCaret(HWND window, BinEditState *state, WPARAM offset)
{
    state->caret = (uint32_t)offset;
    InvalidateWhole(window);
}

LRESULT CALLBACK BinEditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
        return OnCreate(window);
    BinEditState *state = (BinEditState *)GetWindowState(window);
    if (!state)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: OnDestroy(window, state); return 0;
    case WM_SIZE: OnSize(window, state); return 0;
    case WM_SETFOCUS: OnSetFocus(window, state); return 0;
    case WM_KILLFOCUS: OnKillFocus(window, state); return 0;
    case WM_PAINT: OnPaint(window, state); return 0;
    case WM_SETFONT: OnSetFont(window, state, (HFONT)wParam); return 0;
    case WM_KEYDOWN: OnKeyDown(window, state, (uint32_t)wParam); return 0;
    case WM_LBUTTONDOWN: OnLButtonDown(window, state, lParam); return 0;
    case WM_VSCROLL: OnVScroll(window, state, wParam); return 0;
    case WM_MOUSEWHEEL: OnMouseWheel(window, state, wParam); return 0;
    case BEM_SETDATA: OnSetData(window, state, wParam, lParam); return 0;
    case BEM_SETCARET: OnSetCaret(window, state, wParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

int RegisterBinEditClass(void)
{
    return RegisterControlClass(BINEDIT_CLASS_NAME, BinEditWndProc,
                                LoadCursorA(NULL, (LPCSTR)IDC_ARROW), NULL);
}

void UnregisterBinEditClass(void) {}
