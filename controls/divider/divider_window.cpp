#include "controls/divider/divider_window.h"

#include "platform/heap.h"
#include "controls/window_state.h"

#include <windowsx.h>

#define DIVIDER_INITIAL_SPLIT 200

int RegisterDividerClass(void)
{
    // The bar is whatever the panes leave uncovered, shown in button face.
    return RegisterControlClass(DIVIDER_CLASS_NAME, DividerWndProc, NULL,
                                (HBRUSH)(COLOR_BTNFACE + 1));
}

void UnregisterDividerClass(void)
{
    // The class goes away with the process.
}

static DividerState *GetDividerState(HWND window)
{
    return (DividerState *)GetWindowState(window);
}

static void GetClientExtents(HWND window, int32_t *width, int32_t *height)
{
    RECT client;
    client.left = client.top = client.right = client.bottom = 0;
    GetClientRect(window, &client);
    *width = client.right - client.left;
    *height = client.bottom - client.top;
}

void LayoutDividerPanes(HWND window, DividerState *state)
{
    int32_t width;
    int32_t height;
    GetClientExtents(window, &width, &height);
    PanePlacement placement = PlaceDividerPanes(state->orientation, state->splitPos, width, height);
    if (!placement.placed)
        return;
    for (int index = 0; index < 2; index++) {
        if (state->pane[index] == NULL)
            continue;
        const PaneRect &rect = placement.pane[index];
        SetWindowPos(state->pane[index], NULL, rect.x, rect.y, rect.width, rect.height,
                     SWP_NOZORDER);
    }
}

// Returns 0 when the record cannot be had: the window is then not created.
static int OnCreate(HWND window, const CREATESTRUCTA *create)
{
    DividerState *state = (DividerState *)HeapAllocBlock(sizeof(DividerState));
    if (state == NULL)
        return 0;
    *state = {};
    // The orientation is the number itself, carried in the pointer-sized slot.
    state->orientation = (uint32_t)(UINT_PTR)create->lpCreateParams;
    state->splitPos = DIVIDER_INITIAL_SPLIT;
    SetWindowState(window, state);
    return 1;
}

static void OnDestroy(HWND window, DividerState *state)
{
    // Clearing the slot makes late messages (a DVM_PANE from a parent while
    // the panes are destroyed) find no record instead of a freed one.
    SetWindowState(window, NULL);
    HeapFreeBlock(state);
}

static void OnMouseMove(HWND window, DividerState *state, int32_t x, int32_t y)
{
    if (state->orientation == DIVIDER_SIDE_BY_SIDE)
        SetCursor(LoadCursorA(NULL, IDC_SIZEWE));
    else if (state->orientation == DIVIDER_STACKED)
        SetCursor(LoadCursorA(NULL, IDC_SIZENS));
    if (GetCapture() != window)
        return;
    int32_t width;
    int32_t height;
    GetClientExtents(window, &width, &height);
    state->splitPos =
        DragDivider(state->orientation, state->splitPos, state->dragOffset, width, height, x, y);
    LayoutDividerPanes(window, state);
}

static void OnLButtonDown(HWND window, DividerState *state, int32_t x, int32_t y)
{
    SetCapture(window);
    int32_t width;
    int32_t height;
    GetClientExtents(window, &width, &height);
    PressDivider(state->orientation, width, height, x, y, &state->splitPos, &state->dragOffset);
}

// An operation other than set and get is not the control's: DefWindowProcA
// answers it.
static LRESULT OnPane(HWND window, DividerState *state, WPARAM wParam, LPARAM lParam)
{
    const unsigned operation = HIWORD(wParam);
    const unsigned index = LOWORD(wParam);
    if (operation != DVM_PANE_SET && operation != DVM_PANE_GET)
        return DefWindowProcA(window, DVM_PANE, wParam, lParam);
    if (index > 1)
        return 0;
    if (operation == DVM_PANE_GET)
        return (LRESULT)state->pane[index];
    state->pane[index] = (HWND)lParam;
    LayoutDividerPanes(window, state);
    return lParam;
}

LRESULT CALLBACK DividerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        if (!OnCreate(window, (const CREATESTRUCTA *)lParam))
            return -1;
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_NOTIFY:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_DROPFILES:
        // The panes' notifications, keys and drops are the parent's business.
        // Relaying needs no record: the panes' notices still arrive while
        // they are destroyed, after the control's own WM_DESTROY.
        return SendMessageA(GetParent(window), message, wParam, lParam);
    }
    // Without the record (after WM_DESTROY, or for a window whose WM_CREATE
    // failed) a pane request answers 0 and the rest is left to the system.
    DividerState *state = GetDividerState(window);
    if (state == NULL)
        return message == DVM_PANE ? 0 : DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY: OnDestroy(window, state); break;
    case WM_SIZE: LayoutDividerPanes(window, state); break;
    case WM_MOUSEMOVE:
        // Under capture the pointer may be left of or above the control:
        // the coordinates are signed.
        OnMouseMove(window, state, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(window, state, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    // Also when the control holds no capture.
    case WM_LBUTTONUP: ReleaseCapture(); break;
    case DVM_PANE: return OnPane(window, state, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
