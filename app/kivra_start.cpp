#include <windows.h>
#include <commctrl.h>

#include "app/command_line.h"
#include "app/main_window.h"
#include "controls/binedit/binedit_window.h"
#include "controls/divider/divider_window.h"
#include "defs/definition_text.h"

#define EXIT_DIVIDER_CLASS_FAILED 1
#define EXIT_BINEDIT_CLASS_FAILED 2
#define EXIT_MAIN_WINDOW_FAILED 3

// How the starter asked the window to be shown. A starter that did not fill
// the field (no STARTF_USESHOWWINDOW) leaves it 0, SW_HIDE, which would keep
// the only window hidden for the life of the process.
static int StartupShowCommand(void)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    if ((startup.dwFlags & STARTF_USESHOWWINDOW) == 0)
        return SW_SHOWDEFAULT;
    return startup.wShowWindow;
}

// The program's entry point: the first code of the process, with no runtime
// library start-up before it. It never returns; ExitProcess ends the process.
extern "C" __attribute__((noreturn)) void KivraStart(void)
{
    InitCommonControls();
    if (!RegisterDividerClass())
        ExitProcess(EXIT_DIVIDER_CLASS_FAILED);
    if (!RegisterBinEditClass())
        ExitProcess(EXIT_BINEDIT_CLASS_FAILED);
    const char *argument = FindFileArgument(GetCommandLineA());
    // Creating the main window may already load the argument and look up
    // descriptions, so the definition text comes first.
    LoadDefinitionText();
    HWND mainWindow = CreateMainWindow(argument);
    if (mainWindow == NULL)
        ExitProcess(EXIT_MAIN_WINDOW_FAILED);
    ShowWindow(mainWindow, StartupShowCommand());

    // Keys are not translated: every control works on WM_KEYDOWN.
    MSG message;
    message.wParam = 0;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);

    FreeDefinitionText();
    UnregisterBinEditClass();
    UnregisterDividerClass();
    ExitProcess((UINT)message.wParam);
}
