// Test helper for the end-to-end test. It works on kivra's window from
// another process, so it uses only messages whose arguments and results are
// plain values (no pointers into kivra's memory): that also holds where the
// probe is a 64-bit program and kivra a 32-bit one run through an emulator.
//
//   app_probe run OUT         finds kivra's main window by its title and
//                             class, works on it and writes to the file OUT:
//                               visible 0|1
//                               classes MAIN DIVIDER TREE BINARYVIEW
//                               items N            (TVM_GETCOUNT)
//                               depths D D D...    (each item's depth, tree order)
//                             then selects the root item, its last child and
//                             the first item below that (each selection makes
//                             kivra show that item's bytes):
//                               selected 0|1       (whether the last one held)
//                             then sends the Delete key to the tree, as a key
//                             press would:
//                               deleted N          (TVM_GETCOUNT afterwards)
//                               alive 0|1          (the window still there)
//                             and last posts WM_CLOSE to the main window, as
//                             its close button would.
//   app_probe root OUT        for the big-file benchmark: writes "items N",
//                             selects the root item (kivra copies the whole
//                             file into its binary view), writes
//                             "selected 0|1" and leaves kivra running
//   app_probe close           posts WM_CLOSE to kivra's main window
//   app_probe launch EXE FILE starts EXE FILE with a STARTUPINFO that says
//                             nothing about showing the window (no
//                             STARTF_USESHOWWINDOW), waits for it and exits
//                             with its exit code.
// Exit codes of run: 0 done, 2 no kivra window, 3 the window lacks a tree
// view, 4 the output file cannot be written, 5 wrong command line.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

static const char mainTitle[] = "kivra - drop me m4v, 3g2, kind of MPEG4...";
static const char mainClass[] = "MainWndProc";

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

static HTREEITEM Next(HWND tree, UINT relation, HTREEITEM item)
{
    return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, relation, (LPARAM)item);
}

// Every item's depth in tree order, walked with TVGN_CHILD, TVGN_NEXT and
// TVGN_PARENT: item handles are plain values to this process.
static void WriteDepths(FILE *out, HWND tree)
{
    fputs("depths", out);
    HTREEITEM item = Next(tree, TVGN_ROOT, NULL);
    int depth = 0;
    while (item != NULL) {
        fprintf(out, " %d", depth);
        HTREEITEM child = Next(tree, TVGN_CHILD, item);
        if (child != NULL) {
            item = child;
            depth++;
            continue;
        }
        while (item != NULL) {
            HTREEITEM sibling = Next(tree, TVGN_NEXT, item);
            if (sibling != NULL) {
                item = sibling;
                break;
            }
            item = Next(tree, TVGN_PARENT, item);
            depth--;
        }
    }
    fputs("\n", out);
}

static void WriteClass(FILE *out, HWND window)
{
    char name[64] = "-";
    if (window == NULL || GetClassNameA(window, name, sizeof(name)) == 0)
        lstrcpyA(name, "-");
    fprintf(out, " %s", name);
}

static void Check(FILE *out, HWND main, HWND tree)
{
    fprintf(out, "visible %d\n", IsWindowVisible(main) ? 1 : 0);
    fputs("classes", out);
    WriteClass(out, main);
    WriteClass(out, GetParent(tree));
    WriteClass(out, tree);
    WriteClass(out,
               GetWindow(tree, GW_HWNDNEXT) ? GetWindow(tree, GW_HWNDNEXT)
                                            : GetWindow(tree, GW_HWNDPREV));
    fputs("\n", out);
    fprintf(out, "items %ld\n", (long)SendMessageA(tree, TVM_GETCOUNT, 0, 0));
    WriteDepths(out, tree);
}

static void Select(FILE *out, HWND tree)
{
    HTREEITEM root = Next(tree, TVGN_ROOT, NULL);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)root);
    HTREEITEM last = Next(tree, TVGN_CHILD, root);
    for (HTREEITEM sibling = last; sibling != NULL; sibling = Next(tree, TVGN_NEXT, sibling))
        last = sibling;
    HTREEITEM below = last ? Next(tree, TVGN_CHILD, last) : NULL;
    HTREEITEM wanted = below ? below : last ? last : root;
    if (last != NULL)
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)last);
    if (below != NULL)
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)below);
    fprintf(out, "selected %d\n", Next(tree, TVGN_CARET, NULL) == wanted ? 1 : 0);
}

static void Delete(FILE *out, HWND tree)
{
    // Sent, not posted: it is handled before TVM_GETCOUNT is asked.
    SendMessageA(tree, WM_KEYDOWN, VK_DELETE, 0x01530001);
    SendMessageA(tree, WM_KEYUP, VK_DELETE, (LPARAM)0xC1530001u);
    fprintf(out, "deleted %ld\n", (long)SendMessageA(tree, TVM_GETCOUNT, 0, 0));
}

int main(int argc, char **argv)
{
    if (argc == 4 && lstrcmpA(argv[1], "launch") == 0)
        return Launch(argv[2], argv[3]);
    const int closeOnly = argc == 2 && lstrcmpA(argv[1], "close") == 0;
    const int rootOnly = argc == 3 && lstrcmpA(argv[1], "root") == 0;
    if (!closeOnly && !rootOnly && (argc != 3 || lstrcmpA(argv[1], "run") != 0)) {
        fprintf(stderr, "usage: app_probe run OUT | root OUT | close | launch EXE FILE\n");
        return 5;
    }
    HWND main = FindWindowA(mainClass, mainTitle);
    if (main == NULL) {
        fprintf(stderr, "app_probe: no kivra window\n");
        return 2;
    }
    // Answered once kivra's message loop runs, that is after it showed the
    // window.
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &ignored)) {
        fprintf(stderr, "app_probe: kivra's window does not answer\n");
        return 2;
    }
    if (closeOnly) {
        PostMessageA(main, WM_CLOSE, 0, 0);
        return 0;
    }
    HWND tree = NULL;
    EnumChildWindows(main, FindTree, (LPARAM)&tree);
    if (tree == NULL) {
        fprintf(stderr, "app_probe: kivra's window has no tree view\n");
        PostMessageA(main, WM_CLOSE, 0, 0);
        return 3;
    }
    FILE *out = fopen(argv[2], "w");
    if (out == NULL) {
        fprintf(stderr, "app_probe: cannot write %s\n", argv[2]);
        PostMessageA(main, WM_CLOSE, 0, 0);
        return 4;
    }
    if (rootOnly) {
        fprintf(out, "items %ld\n", (long)SendMessageA(tree, TVM_GETCOUNT, 0, 0));
        HTREEITEM root = Next(tree, TVGN_ROOT, NULL);
        // Returns once kivra has handled the selection, the copy included.
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)root);
        fprintf(out, "selected %d\n", root != NULL && Next(tree, TVGN_CARET, NULL) == root);
        return fclose(out) == 0 ? 0 : 4;
    }
    Check(out, main, tree);
    Select(out, tree);
    Delete(out, tree);
    fprintf(out, "alive %d\n", IsWindow(main) ? 1 : 0);
    PostMessageA(main, WM_CLOSE, 0, 0);
    return fclose(out) == 0 ? 0 : 4;
}
