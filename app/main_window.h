#pragma once
#include <windows.h>

#define MAIN_WINDOW_CLASS_NAME "MainWndProc"
#define MAIN_WINDOW_TITLE "kivra - drop me m4v, 3g2, kind of MPEG4..."

// Registers the main window class and creates the window, with the file
// argument (or NULL) as its creation parameter: the window opens that file.
// Returns NULL when either step fails.
HWND CreateMainWindow(const char *argument);

// The two steps of CreateMainWindow, apart: the class can be registered
// only once per process, the window created any number of times.
int RegisterMainWindowClass(void);
HWND OpenMainWindow(const char *argument);

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
