#pragma once
#include <windows.h>

// Each custom control keeps its state record's address in its window's
// extra bytes at index 0 (cbWndExtra = sizeof(void *): 4 bytes on the
// 32-bit target). The slot holds 0 until it is set.
void *GetWindowState(HWND window);
void SetWindowState(HWND window, void *state);
