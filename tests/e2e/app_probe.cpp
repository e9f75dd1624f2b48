// Test helper for the end-to-end test.
//   app_probe                 finds kivra's main window by its title, prints
//                             whether it is visible and how many items its
//                             tree holds, and asks it to close with WM_CLOSE,
//                             as the window's close button would.
//   app_probe launch EXE FILE starts EXE FILE with a STARTUPINFO that says
//                             nothing about showing the window (no
//                             STARTF_USESHOWWINDOW), waits for it and exits
//                             with its exit code.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

static BOOL CALLBACK FindTree(HWND window, LPARAM found)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, WC_TREEVIEWA) == 0) {
        *(HWND *)found = window;
        return FALSE;
    }
    return TRUE;
}

static int Launch(const char *program, const char *file)
{
    char commandLine[1024];
    wsprintfA(commandLine, "\"%s\" %s", program, file);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "app_probe: cannot start %s (error %lu)\n", program, GetLastError());
        return 125;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 126;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)code;
}

int main(int argc, char **argv)
{
    if (argc == 4 && lstrcmpA(argv[1], "launch") == 0)
        return Launch(argv[2], argv[3]);
    HWND main = FindWindowA(NULL, "kivra - drop me m4v, 3g2, kind of MPEG4...");
    if (main == NULL) {
        fprintf(stderr, "app_probe: no kivra window\n");
        return 2;
    }
    HWND tree = NULL;
    EnumChildWindows(main, FindTree, (LPARAM)&tree);
    if (tree == NULL) {
        fprintf(stderr, "app_probe: kivra's window has no tree view\n");
        return 3;
    }
    printf("visible %d items %ld\n", IsWindowVisible(main) ? 1 : 0,
           (long)SendMessageA(tree, TVM_GETCOUNT, 0, 0));
    fflush(stdout);
    PostMessageA(main, WM_CLOSE, 0, 0);
    return 0;
}
