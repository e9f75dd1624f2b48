#include "controls/window_state.h"

void *GetWindowState(HWND window)
{
    return (void *)GetWindowLongPtrA(window, 0);
}

void SetWindowState(HWND window, void *state)
{
    SetWindowLongPtrA(window, 0, (LONG_PTR)state);
}

int RegisterKivraWindowClass(const char *name, WNDPROC procedure, int windowExtraBytes, HICON icon,
                             HCURSOR cursor, HBRUSH background)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.cbWndExtra = windowExtraBytes;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hIcon = icon;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) != 0 ? 1 : 0;
}

int RegisterControlClass(const char *name, WNDPROC procedure, HCURSOR cursor, HBRUSH background)
{
    return RegisterKivraWindowClass(name, procedure, sizeof(void *), NULL, cursor, background);
}
