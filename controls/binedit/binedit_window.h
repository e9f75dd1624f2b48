#pragma once
#include <windows.h>

// "vek_BinEditWndClass": a read-only hex-and-text view of a private copy of
// some bytes, 16 per row, with a one-byte caret in the hex or text column.

// wParam = number of bytes, lParam = address of the bytes. The view copies
// them; 0 in either argument empties it. The caret goes to byte 0 and the
// view to the first row. Returns 0.
#define BEM_SETDATA (WM_USER)

// wParam = new caret offset, taken as is (no bounds test, no scrolling).
// Returns 0.
#define BEM_SETCARET (WM_USER + 1)

#define BINEDIT_CLASS_NAME "vek_BinEditWndClass"

// Returns 1 when the class was registered, else 0.
int RegisterBinEditClass(void);
// Called once at exit; the class is never unregistered explicitly.
void UnregisterBinEditClass(void);
LRESULT CALLBACK BinEditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
