#include "platform/window_state.h"

void *GetWindowState(HWND window)
{
    return (void *)GetWindowLongPtrA(window, 0);
}

void SetWindowState(HWND window, void *state)
{
    SetWindowLongPtrA(window, 0, (LONG_PTR)state);
}
