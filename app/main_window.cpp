#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "atoms/atom_file.h"
#include "atoms/atom_file_win32.h"
#include "atoms/atom_node_record.h"
#include "controls/binedit/binedit_window.h"
#include "controls/divider/divider_window.h"
#include "controls/window_state.h"

#define TREE_PANE 0
#define BINARY_PANE 1
#define ICON_GROUP_ID 101
#define TREE_STYLE \
    (WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS)

int RegisterMainWindowClass(void)
{
    // No extra bytes: the main window keeps its one handle at GWLP_USERDATA.
    HICON icon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(ICON_GROUP_ID));
    return RegisterKivraWindowClass(MAIN_WINDOW_CLASS_NAME, MainWndProc, 0, icon,
                                    LoadCursorA(NULL, IDC_ARROW), NULL);
}

HWND OpenMainWindow(const char *argument)
{
    return CreateWindowExA(WS_EX_ACCEPTFILES, MAIN_WINDOW_CLASS_NAME, MAIN_WINDOW_TITLE,
                           WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, NULL, NULL, GetModuleHandleA(NULL), (LPVOID)argument);
}

HWND CreateMainWindow(const char *argument)
{
    if (!RegisterMainWindowClass())
        return NULL;
    return OpenMainWindow(argument);
}

static HWND GetDivider(HWND window)
{
    return (HWND)GetWindowLongPtrA(window, GWLP_USERDATA);
}

static HWND GetPane(HWND window, int index)
{
    return (HWND)SendMessageA(GetDivider(window), DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, index),
                              0);
}

// 12 pixels of MS Gothic by its Japanese name. Asking for a fixed pitch too
// keeps the binary view's columns aligned where that face is missing.
static HFONT CreatePaneFont(void)
{
    static const char faceName[] = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";
    LOGFONTA description = {};
    description.lfHeight = 12;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    for (unsigned i = 0; i < sizeof(faceName); i++)
        description.lfFaceName[i] = faceName[i];
    return CreateFontIndirectA(&description);
}

static LRESULT OnCreate(HWND window, const CREATESTRUCTA *create)
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    HWND divider = CreateWindowExA(0, DIVIDER_CLASS_NAME, NULL, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                   window, NULL, instance, (LPVOID)(UINT_PTR)DIVIDER_STACKED);
    HWND tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, NULL, TREE_STYLE, 0, 0, 0, 0,
                                divider, NULL, instance, NULL);
    SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, TREE_PANE), (LPARAM)tree);
    HWND binary = CreateWindowExA(WS_EX_CLIENTEDGE, BINEDIT_CLASS_NAME, NULL, WS_CHILD | WS_VISIBLE,
                                  0, 0, 0, 0, divider, NULL, instance, NULL);
    SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_SET, BINARY_PANE), (LPARAM)binary);
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)divider);

    // One font per pane; both live as long as the process.
    SendMessageA(GetPane(window, TREE_PANE), WM_SETFONT, (WPARAM)CreatePaneFont(), TRUE);
    SendMessageA(GetPane(window, BINARY_PANE), WM_SETFONT, (WPARAM)CreatePaneFont(), TRUE);

    const char *argument = (const char *)create->lpCreateParams;
    if (argument != NULL)
        LoadAtomFile(GetPane(window, TREE_PANE), argument);
    return 0;
}

static void OnSize(HWND window, LPARAM lParam)
{
    SetWindowPos(GetDivider(window), NULL, 0, 0, LOWORD(lParam), HIWORD(lParam), SWP_NOZORDER);
}

static void OnDropFiles(HWND window, HDROP drop)
{
    char path[MAX_PATH];
    path[0] = '\0';
    // A longer path would be cut short to the name of another file.
    UINT needed = DragQueryFileA(drop, 0, NULL, 0);
    UINT length = needed < MAX_PATH ? DragQueryFileA(drop, 0, path, MAX_PATH) : 0;
    DragFinish(drop);
    if (length == 0)
        return;
    LoadAtomFile(GetPane(window, TREE_PANE), path);
}

static void OnTreeItemDeleted(HWND window, const NMTREEVIEWA *notice)
{
    AtomNodeRecord *record = (AtomNodeRecord *)notice->itemOld.lParam;
    if (record == NULL)
        return;
    // The binary view's copy goes with the file.
    if (record->ownsBuffer)
        SendMessageA(GetPane(window, BINARY_PANE), BEM_SETDATA, 0, 0);
    FreeAtomNodeRecord(record);
}

static void OnTreeSelectionChanged(HWND window, const NMTREEVIEWA *notice)
{
    const AtomNodeRecord *record = (const AtomNodeRecord *)notice->itemNew.lParam;
    HWND binary = GetPane(window, BINARY_PANE);
    if (record == NULL) {
        SendMessageA(binary, BEM_SETDATA, 0, 0);
        return;
    }
    SendMessageA(binary, BEM_SETDATA, record->payloadSize,
                 (LPARAM)(record->base + record->payloadOffset));
}

static void OnTreeKeyDown(HWND window, const NMTVKEYDOWN *notice)
{
    if (notice->wVKey == VK_DELETE)
        SendMessageA(GetPane(window, TREE_PANE), TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
}

static LRESULT OnNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const NMHDR *header = (const NMHDR *)lParam;
    switch (header->code) {
    case TVN_DELETEITEMA: OnTreeItemDeleted(window, (const NMTREEVIEWA *)lParam); break;
    case TVN_SELCHANGEDA: OnTreeSelectionChanged(window, (const NMTREEVIEWA *)lParam); break;
    case TVN_KEYDOWN: OnTreeKeyDown(window, (const NMTVKEYDOWN *)lParam); break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(window, (const CREATESTRUCTA *)lParam);
    case WM_SIZE: OnSize(window, lParam); return 0;
    case WM_CLOSE:
        // The window is left for the process exit to take down.
        PostQuitMessage(0);
        return 0;
    case WM_NOTIFY: return OnNotify(window, message, wParam, lParam);
    case WM_DROPFILES: OnDropFiles(window, (HDROP)wParam); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
