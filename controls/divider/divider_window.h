#pragma once
#include <windows.h>

#include "controls/divider/divider_rules.h"

// "vek_dividerWnd": lays two child windows, its panes, out on either side
// of a DIVIDER_BAR-pixel bar that the left mouse button drags. The
// orientation (DIVIDER_SIDE_BY_SIDE or DIVIDER_STACKED) is the creation
// parameter, passed as the number itself.

// Sets or gets a pane: LOWORD(wParam) is the pane index, HIWORD(wParam)
// the operation; lParam is the pane's handle for a set. A set answers the
// handle, a get the pane (NULL when never set); a bad index answers 0 and an
// unknown operation goes to DefWindowProc.
#define DVM_PANE (WM_USER)
#define DVM_PANE_SET 0
#define DVM_PANE_GET 1
#define DVM_PANE_WPARAM(operation, index) \
    ((WPARAM)(((DWORD)(WORD)(operation) << 16) | (WORD)(index)))

// One per divider window, its address in the window's slot 0.
struct DividerState {
    uint32_t orientation;
    HWND pane[2];
    int32_t splitPos;
    int32_t dragOffset;
};

#define DIVIDER_CLASS_NAME "vek_dividerWnd"

int RegisterDividerClass(void);
void UnregisterDividerClass(void);
LRESULT CALLBACK DividerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void LayoutDividerPanes(HWND window, DividerState *state);
