#pragma once
#include <windows.h>

// Each custom control keeps its state record's address in its window's
// extra bytes at index 0 (cbWndExtra = sizeof(void *): 4 bytes on the
// 32-bit target). The slot holds 0 until it is set.
void *GetWindowState(HWND window);
void SetWindowState(HWND window, void *state);

// Registers one of kivra's window classes: style 0, no class extra bytes,
// windowExtraBytes per window, no menu and no small icon. Returns 1 on
// success, 0 when the class cannot be registered (as when it already is).
int RegisterKivraWindowClass(const char *name, WNDPROC procedure, int windowExtraBytes, HICON icon,
                             HCURSOR cursor, HBRUSH background);

// The class of one of kivra's controls: the one slot of extra bytes above,
// no icon.
int RegisterControlClass(const char *name, WNDPROC procedure, HCURSOR cursor, HBRUSH background);
