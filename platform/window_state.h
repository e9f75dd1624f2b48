#pragma once
#include <windows.h>

// Each custom control keeps its state record's address in its window's
// extra bytes at index 0 (cbWndExtra = sizeof(void *): 4 bytes on the
// 32-bit target). The slot holds 0 until it is set.
void *GetWindowState(HWND window);
void SetWindowState(HWND window, void *state);

// Registers the class of one of kivra's controls: style 0, the one slot of
// extra bytes above, no icon or menu. Returns 1 on success, 0 when the class
// cannot be registered (as when it already is).
int RegisterControlClass(const char *name, WNDPROC procedure, HCURSOR cursor, HBRUSH background);
