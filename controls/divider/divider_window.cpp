#include "controls/divider/divider_window.h"

#include "platform/heap.h"
#include "platform/window_state.h"

#define DIVIDER_INITIAL_SPLIT 200
#define DVM_PANE_SET 0
#define DVM_PANE_GET 1

int RegisterDividerClass(void)
{
    WNDCLASSEXA windowClass;
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = DividerWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = sizeof(void *);
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hIcon = NULL;
    windowClass.hCursor = NULL;
    // The bar is whatever the panes leave uncovered, shown in button face.
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = DIVIDER_CLASS_NAME;
    windowClass.hIconSm = NULL;
    return RegisterClassExA(&windowClass) != 0 ? 1 : 0;
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

static LRESULT OnCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DividerState *state = (DividerState *)HeapAllocBlock(sizeof(DividerState));
    if (state == NULL)
        return -1;
    const CREATESTRUCTA *create = (const CREATESTRUCTA *)lParam;
    // The orientation is the number itself, carried in the pointer-sized slot.
    state->orientation = (uint32_t)(UINT_PTR)create->lpCreateParams;
    state->pane[0] = NULL;
    state->pane[1] = NULL;
    state->splitPos = DIVIDER_INITIAL_SPLIT;
    state->dragOffset = 0;
    SetWindowState(window, state);
    return DefWindowProcA(window, message, wParam, lParam);
}

static void OnDestroy(HWND window)
{
    DividerState *state = GetDividerState(window);
    // Clearing the slot makes late messages (a DVM_PANE from a parent while
    // the panes are destroyed) find no record instead of a freed one.
    SetWindowState(window, NULL);
    HeapFreeBlock(state);
}

static LRESULT OnSize(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DividerState *state = GetDividerState(window);
    if (state == NULL)
        return 0;
    LayoutDividerPanes(window, state);
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT OnMouseMove(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DividerState *state = GetDividerState(window);
    if (state == NULL)
        return 0;
    if (state->orientation == DIVIDER_SIDE_BY_SIDE)
        SetCursor(LoadCursorA(NULL, IDC_SIZEWE));
    else if (state->orientation == DIVIDER_STACKED)
        SetCursor(LoadCursorA(NULL, IDC_SIZENS));
    if (GetCapture() == window) {
        int32_t width;
        int32_t height;
        GetClientExtents(window, &width, &height);
        // Under capture the pointer may be left of or above the control.
        int32_t x = (int16_t)LOWORD(lParam);
        int32_t y = (int16_t)HIWORD(lParam);
        state->splitPos = DragDivider(state->orientation, state->splitPos, state->dragOffset,
                                      width, height, x, y);
        LayoutDividerPanes(window, state);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT OnLeftButtonDown(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DividerState *state = GetDividerState(window);
    if (state == NULL)
        return 0;
    SetCapture(window);
    int32_t width;
    int32_t height;
    GetClientExtents(window, &width, &height);
    PressDivider(state->orientation, width, height, (int16_t)LOWORD(lParam),
                 (int16_t)HIWORD(lParam), &state->splitPos, &state->dragOffset);
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT OnPane(HWND window, DividerState *state, UINT message, WPARAM wParam, LPARAM lParam)
{
    unsigned operation = HIWORD(wParam);
    unsigned index = LOWORD(wParam);
    if (operation != DVM_PANE_SET && operation != DVM_PANE_GET)
        return DefWindowProcA(window, message, wParam, lParam);
    if (state == NULL || index > 1)
        return 0;
    if (operation == DVM_PANE_GET)
        return (LRESULT)state->pane[index];
    state->pane[index] = (HWND)lParam;
    LayoutDividerPanes(window, state);
    return lParam;
}

static LRESULT RelayToParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(GetParent(window), message, wParam, lParam);
}

LRESULT CALLBACK DividerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Handlers that need the record answer 0 without it: after WM_DESTROY,
    // or for a window whose WM_CREATE failed.
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, message, wParam, lParam);
    case WM_DESTROY:
        OnDestroy(window);
        break;
    case WM_SIZE:
        return OnSize(window, message, wParam, lParam);
    case WM_NOTIFY:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_DROPFILES:
        return RelayToParent(window, message, wParam, lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(window, message, wParam, lParam);
    case WM_LBUTTONDOWN:
        return OnLeftButtonDown(window, message, wParam, lParam);
    case WM_LBUTTONUP:
        ReleaseCapture();
        break;
    case DVM_PANE:
        return OnPane(window, GetDividerState(window), message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
