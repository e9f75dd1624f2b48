// Limits of the platform: the real tree view (SysTreeView32) with deeply
// nested atoms, a file too large for a 32-bit address space, a dropped path
// of 259 characters.

#include "app/main_window.h"
#include "atoms/atom_file_win32.h"
#include "atoms/atom_node_record.h"
#include "atoms/atom_walk.h"
#include "controls/binedit/binedit_window.h"
#include "controls/divider/divider_window.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::string TempPath(const char *name)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + name;
}

bool WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

// levels atoms, each the only child of the one before.
std::vector<unsigned char> NestedAtoms(uint32_t levels)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(8u * levels);
    for (uint32_t i = 0; i < levels; i++) {
        uint32_t size = 8u * (levels - i);
        unsigned char header[8] = {(unsigned char)(size >> 24), (unsigned char)(size >> 16),
                                   (unsigned char)(size >> 8), (unsigned char)size,
                                   'n', 'e', 's', 't'};
        bytes.insert(bytes.end(), header, header + 8);
    }
    return bytes;
}

// The tree's parent frees each item's record as the main window does.
LRESULT CALLBACK HostWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && ((NMHDR *)lParam)->code == TVN_DELETEITEMA) {
        AtomNodeRecord *record = (AtomNodeRecord *)((NMTREEVIEWA *)lParam)->itemOld.lParam;
        if (record != NULL) {
            if (record->ownsBuffer)
                HeapFreeBlock(record->base);
            HeapFreeBlock(record);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class TreeHost : public ::testing::Test {
protected:
    HWND host = NULL;
    HWND tree = NULL;

    void SetUp() override
    {
        InitCommonControls();
        WNDCLASSEXA wc;
        memset(&wc, 0, sizeof wc);
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = HostWndProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "kivra_hardening_host";
        RegisterClassExA(&wc);  // fails harmlessly when already registered
        host = CreateWindowExA(0, "kivra_hardening_host", "host", WS_OVERLAPPEDWINDOW, 0, 0, 640,
                               480, NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(host, (HWND)NULL);
        tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                               WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_LINESATROOT |
                                   TVS_HASBUTTONS,
                               0, 0, 640, 480, host, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(tree, (HWND)NULL);
        ShowWindow(host, SW_SHOW);
    }

    void TearDown() override
    {
        if (host != NULL)
            DestroyWindow(host);
    }

    LRESULT Count() { return SendMessageA(tree, TVM_GETCOUNT, 0, 0); }

    HTREEITEM Next(HTREEITEM item, UINT how)
    {
        return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, how, (LPARAM)item);
    }

    void Pump()
    {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }

    // Brings the deepest item into view, which expands the whole chain, and
    // selects and paints it; then empties the tree.
    void ExpandPaintAndEmpty(HTREEITEM deepest)
    {
        SendMessageA(tree, TVM_ENSUREVISIBLE, 0, (LPARAM)deepest);
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)deepest);
        UpdateWindow(tree);
        Pump();
        SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
        EXPECT_EQ(Count(), 0);
    }
};

// How deep the tree view gets: the walk stops descending at
// ATOM_WALK_DEPTH_LIMIT atoms, which the tree view survives being filled,
// expanded along the whole chain, painted and emptied.
TEST_F(TreeHost, DeepNestingStopsAtADepthTheTreeViewSurvives)
{
    uint32_t levels = 1000000;
    if (getenv("KIVRA_HARDENING_LEVELS"))
        levels = (uint32_t)atoi(getenv("KIVRA_HARDENING_LEVELS"));
    std::string path = TempPath("kivra_hardening_deep.mp4");
    ASSERT_TRUE(WriteFileBytes(path, NestedAtoms(levels)));
    LoadAtomFile(tree, path.c_str());
    uint32_t expected = levels < ATOM_WALK_DEPTH_LIMIT ? levels : ATOM_WALK_DEPTH_LIMIT;
    EXPECT_EQ(Count(), (LRESULT)expected + 1);
    // Down the chain.
    HTREEITEM item = Next(NULL, TVGN_ROOT);
    uint32_t depth = 0;
    while (item != NULL) {
        HTREEITEM child = Next(item, TVGN_CHILD);
        if (child == NULL)
            break;
        EXPECT_EQ(Next(child, TVGN_NEXT), (HTREEITEM)NULL);
        item = child;
        depth++;
    }
    EXPECT_EQ(depth, expected);
    ExpandPaintAndEmpty(item);
    DeleteFileA(path.c_str());
}

// The margin: a chain twice as deep as the walk makes, inserted directly,
// survives the same treatment.
TEST_F(TreeHost, TreeViewSurvivesTwiceTheDepthLimit)
{
    uint32_t levels = 2 * ATOM_WALK_DEPTH_LIMIT;
    if (getenv("KIVRA_HARDENING_CHAIN"))
        levels = (uint32_t)atoi(getenv("KIVRA_HARDENING_CHAIN"));
    HTREEITEM parent = TVI_ROOT;
    for (uint32_t i = 0; i < levels; i++) {
        TVINSERTSTRUCTA insert;
        memset(&insert, 0, sizeof insert);
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = (LPSTR) "nest (+0x00000000:0[0x0])";
        parent = (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
        ASSERT_NE(parent, (HTREEITEM)NULL) << i;
    }
    EXPECT_EQ(Count(), (LRESULT)levels);
    ExpandPaintAndEmpty(parent);
}

// A file too large for a 32-bit address space: a sparse 3 GiB file of
// zeros, through the real file calls (its size fits the 32 bits the loader
// takes). The 32-bit product cannot allocate its buffer and leaves the tree
// empty; this 64-bit build is made to fail that allocation the same way,
// rather than read 3 GiB.
TEST_F(TreeHost, SparseThreeGigabyteFileLeavesTheTreeEmpty)
{
    std::string path = TempPath("kivra_hardening_sparse.mp4");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3LL << 30;
    ASSERT_TRUE(SetFilePointerEx(file, size, NULL, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    // A small file first: the large one must take its items away.
    std::string small = TempPath("kivra_hardening_small.mp4");
    ASSERT_TRUE(WriteFileBytes(small, NestedAtoms(2)));
    LoadAtomFile(tree, small.c_str());
    EXPECT_EQ(Count(), 3);
    if (sizeof(void *) == 8)
        SetHeapFailureCountdown(0);
    LoadAtomFile(tree, path.c_str());
    SetHeapFailureCountdown(-1);
    EXPECT_EQ(Count(), 0);
    UpdateWindow(tree);
    Pump();
    SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
    DeleteFileA(path.c_str());
    DeleteFileA(small.c_str());
}

HGLOBAL MakeDrop(const std::string &path)
{
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + path.size() + 2);
    DROPFILES *files = (DROPFILES *)GlobalLock(drop);
    files->pFiles = sizeof(DROPFILES);
    files->fWide = FALSE;
    memcpy((char *)(files + 1), path.c_str(), path.size() + 1);
    GlobalUnlock(drop);
    return drop;
}

class LongDrop : public ::testing::Test {
protected:
    HWND main = NULL;
    bool registeredHere = false;
    std::string directory;
    std::string path;  // 259 characters: the longest that MAX_PATH holds

    void SetUp() override
    {
        InitCommonControls();
        WNDCLASSEXA existing;
        existing.cbSize = sizeof existing;
        HINSTANCE instance = GetModuleHandleA(NULL);
        if (!GetClassInfoExA(instance, DIVIDER_CLASS_NAME, &existing)) {
            ASSERT_EQ(RegisterDividerClass(), 1);
        }
        if (!GetClassInfoExA(instance, BINEDIT_CLASS_NAME, &existing)) {
            ASSERT_EQ(RegisterBinEditClass(), 1);
        }
        // Other tests of this program create the main window with
        // CreateMainWindow, which registers the class itself: a class
        // registered here is taken away again in TearDown.
        if (!GetClassInfoExA(instance, MAIN_WINDOW_CLASS_NAME, &existing)) {
            ASSERT_EQ(RegisterMainWindowClass(), 1);
            registeredHere = true;
        }
        main = OpenMainWindow(NULL);
        ASSERT_NE(main, (HWND)NULL);
        directory = TempPath("kivra_hardening_") + std::string(100, 'd');
        CreateDirectoryA(directory.c_str(), NULL);
        path = directory + "\\";
        path += std::string(259 - path.size() - 4, 'f') + ".mp4";
        ASSERT_EQ(path.size(), 259u);
        static const unsigned char ftyp[16] = {0, 0, 0, 16, 'f', 't', 'y', 'p',
                                               'i', 's', 'o', 'm', 0, 0, 2, 0};
        ASSERT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(ftyp, ftyp + 16)));
    }

    void TearDown() override
    {
        if (main != NULL)
            DestroyWindow(main);
        if (registeredHere)
            UnregisterClassA(MAIN_WINDOW_CLASS_NAME, GetModuleHandleA(NULL));
        DeleteFileA(path.c_str());
        RemoveDirectoryA(directory.c_str());
    }

    HWND Tree()
    {
        HWND divider = (HWND)GetWindowLongPtrA(main, GWLP_USERDATA);
        return (HWND)SendMessageA(divider, DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 0), 0);
    }

    std::string RootText()
    {
        HTREEITEM root = (HTREEITEM)SendMessageA(Tree(), TVM_GETNEXTITEM, TVGN_ROOT, 0);
        if (root == NULL)
            return "";
        char text[1024] = "";
        TVITEMA item;
        memset(&item, 0, sizeof item);
        item.mask = TVIF_TEXT;
        item.hItem = root;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(Tree(), TVM_GETITEMA, 0, (LPARAM)&item);
        return text;
    }
};

TEST_F(LongDrop, APathOf259CharactersIsOpened)
{
    SendMessageA(main, WM_DROPFILES, (WPARAM)MakeDrop(path), 0);
    EXPECT_EQ(RootText(), path);
    EXPECT_EQ(SendMessageA(Tree(), TVM_GETCOUNT, 0, 0), 2);
}

// A longer path does not fit in MAX_PATH: cut short it would name another
// file (here the 259-character one), so nothing is opened.
TEST_F(LongDrop, ALongerPathIsNotOpenedCutShort)
{
    SendMessageA(main, WM_DROPFILES, (WPARAM)MakeDrop(path + "x"), 0);
    EXPECT_EQ(SendMessageA(Tree(), TVM_GETCOUNT, 0, 0), 0);
}

}  // namespace
