// Test helper for the end-to-end test: finds kivra's main window by its
// title, prints how many items its tree holds and asks it to close with
// WM_CLOSE, as the window's close button would.
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

int main(void)
{
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
