#include "app/main_window.h"
#include "atoms/atom_node_record.h"
#include "controls/binedit/binedit_state.h"
#include "controls/binedit/binedit_window.h"
#include "controls/divider/divider_window.h"
#include "defs/definition_text.h"
#include "controls/window_state.h"
#include "tests/support/test_files.h"
#include "tests/support/window_test_support.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kSamplePath[] = KIVRA_SOURCE_DIR "/samples/sample.mp4";

// A file of one 16-byte ftyp atom: small enough to tell apart from the sample.
std::string WriteSmallFile()
{
    static const unsigned char ftyp[16] = {0,   0,   0,   16,  'f', 't', 'y', 'p',
                                           'i', 's', 'o', 'm', 0,   0,   2,   0};
    std::string path = TempFilePath("kivra_app_test_small.mp4");
    EXPECT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(ftyp, ftyp + sizeof ftyp)));
    return path;
}

HWND MakeMainWindow(const char *argument)
{
    static int classRegistered;
    if (!classRegistered) {
        classRegistered = 1;
        return CreateMainWindow(argument);
    }
    return OpenMainWindow(argument);
}

class MainWindow : public ::testing::Test {
protected:
    HWND main = NULL;

    // Every test with the atom.def beside the test program.
    void SetUp() override
    {
        ASSERT_TRUE(EnsureControlClasses());
        LoadDefinitionText();
    }

    void TearDown() override
    {
        if (main != NULL)
            DestroyWindow(main);
        FreeDefinitionText();
    }

    void Open(const char *argument)
    {
        main = MakeMainWindow(argument);
        ASSERT_NE(main, (HWND)NULL);
        SetWindowPos(main, NULL, 0, 0, 800, 600, SWP_NOZORDER);
    }

    HWND Divider() { return (HWND)GetWindowLongPtrA(main, GWLP_USERDATA); }
    HWND Tree()
    {
        return (HWND)SendMessageA(Divider(), DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 0), 0);
    }
    HWND Binary()
    {
        return (HWND)SendMessageA(Divider(), DVM_PANE, DVM_PANE_WPARAM(DVM_PANE_GET, 1), 0);
    }
    BinEditState *View() { return (BinEditState *)GetWindowState(Binary()); }

    LRESULT ItemCount() { return SendMessageA(Tree(), TVM_GETCOUNT, 0, 0); }

    HTREEITEM Next(HTREEITEM item, UINT how)
    {
        return (HTREEITEM)SendMessageA(Tree(), TVM_GETNEXTITEM, how, (LPARAM)item);
    }

    TVITEMA Item(HTREEITEM item, char *text, int capacity)
    {
        TVITEMA data = {};
        data.mask = TVIF_TEXT | TVIF_PARAM;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = capacity;
        SendMessageA(Tree(), TVM_GETITEMA, 0, (LPARAM)&data);
        return data;
    }

    std::string RootLabel()
    {
        char text[MAX_PATH + 1] = "";
        HTREEITEM root = Next(NULL, TVGN_ROOT);
        if (root == NULL)
            return "";
        Item(root, text, sizeof(text));
        return text;
    }

    void Select(HTREEITEM item) { SendMessageA(Tree(), TVM_SELECTITEM, TVGN_CARET, (LPARAM)item); }

    // Depth-first search for the first item whose record is (or is not) null.
    HTREEITEM FindItem(HTREEITEM item, bool wantRecord)
    {
        for (; item != NULL; item = Next(item, TVGN_NEXT)) {
            char text[128];
            TVITEMA data = Item(item, text, sizeof(text));
            if ((data.lParam != 0) == wantRecord)
                return item;
            HTREEITEM found = FindItem(Next(item, TVGN_CHILD), wantRecord);
            if (found != NULL)
                return found;
        }
        return NULL;
    }

    void Drop(const std::vector<std::string> &paths, HWND target)
    {
        SendMessageA(target, WM_DROPFILES, (WPARAM)MakeDrop(paths), 0);
    }
};

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

// A dropped path at the limit of MAX_PATH.
class LongDrop : public ::testing::Test {
protected:
    HWND main = NULL;
    std::string directory;
    std::string path;  // 259 characters: the longest that MAX_PATH holds

    void SetUp() override
    {
        // No description items: the tree holds the root and the ftyp atom.
        ASSERT_TRUE(EnsureControlClasses());
        FreeDefinitionText();
        main = MakeMainWindow(NULL);
        ASSERT_NE(main, (HWND)NULL);
        directory = TempFilePath("kivra_app_test_long_") + std::string(100, 'd');
        CreateDirectoryA(directory.c_str(), NULL);
        path = directory + "\\";
        path += std::string(259 - path.size() - 4, 'f') + ".mp4";
        ASSERT_EQ(path.size(), 259u);
        static const unsigned char ftyp[16] = {0,   0,   0,   16,  'f', 't', 'y', 'p',
                                               'i', 's', 'o', 'm', 0,   0,   2,   0};
        ASSERT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(ftyp, ftyp + 16)));
    }

    void TearDown() override
    {
        if (main != NULL)
            DestroyWindow(main);
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
        TVITEMA item = {};
        item.mask = TVIF_TEXT;
        item.hItem = root;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(Tree(), TVM_GETITEMA, 0, (LPARAM)&item);
        return text;
    }
};

}  // namespace

TEST_F(MainWindow, BuildsTheDividerWithTheTreeAboveTheBinaryView)
{
    Open(NULL);
    char title[128] = "";
    GetWindowTextA(main, title, sizeof(title));
    EXPECT_STREQ(title, "kivra - drop me m4v, 3g2, kind of MPEG4...");
    EXPECT_EQ(ClassOf(main), "MainWndProc");
    EXPECT_TRUE(GetWindowLongPtrA(main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ((DWORD)GetWindowLongPtrA(main, GWL_STYLE) & WS_OVERLAPPEDWINDOW,
              (DWORD)WS_OVERLAPPEDWINDOW);

    HWND divider = Divider();
    EXPECT_EQ(GetWindow(main, GW_CHILD), divider);
    EXPECT_EQ(GetWindow(divider, GW_HWNDNEXT), (HWND)NULL) << "the divider is the only child";
    EXPECT_EQ(ClassOf(divider), "vek_dividerWnd");
    EXPECT_EQ(ClassOf(Tree()), "SysTreeView32");
    EXPECT_EQ(ClassOf(Binary()), "vek_BinEditWndClass");
    EXPECT_EQ(GetParent(Tree()), divider);
    EXPECT_EQ(GetParent(Binary()), divider);
    EXPECT_EQ((DWORD)GetWindowLongPtrA(Tree(), GWL_STYLE) & 0xFFFF00FFu, 0x50000027u);
    EXPECT_TRUE(GetWindowLongPtrA(Tree(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongPtrA(Binary(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    // The divider fills the client area; the tree is on top.
    RECT client, dividerRect, treeRect, binaryRect;
    GetClientRect(main, &client);
    GetClientRect(divider, &dividerRect);
    EXPECT_EQ(dividerRect.right, client.right);
    EXPECT_EQ(dividerRect.bottom, client.bottom);
    GetWindowRect(Tree(), &treeRect);
    GetWindowRect(Binary(), &binaryRect);
    MapWindowPoints(NULL, divider, (POINT *)&treeRect, 2);
    MapWindowPoints(NULL, divider, (POINT *)&binaryRect, 2);
    EXPECT_EQ(treeRect.top, 0);
    EXPECT_EQ(treeRect.bottom, 200);
    EXPECT_EQ(binaryRect.top, 204);
    EXPECT_EQ(binaryRect.bottom, client.bottom);
    EXPECT_EQ(binaryRect.right, client.right);

    // Two fonts from one description: 12 pixels, the Gothic face, fixed pitch.
    HFONT treeFont = (HFONT)SendMessageA(Tree(), WM_GETFONT, 0, 0);
    HFONT binaryFont = (HFONT)View()->font;
    ASSERT_NE(treeFont, (HFONT)NULL);
    ASSERT_NE(binaryFont, (HFONT)NULL);
    EXPECT_NE(treeFont, binaryFont);
    LOGFONTA description = {};
    ASSERT_NE(GetObjectA(binaryFont, sizeof(description), &description), 0);
    EXPECT_EQ(description.lfHeight, 12);
    EXPECT_EQ(description.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(description.lfPitchAndFamily, FIXED_PITCH | FF_MODERN);
    EXPECT_STREQ(description.lfFaceName, "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(View()->size, 0u);
}

TEST_F(MainWindow, OpensTheArgumentAndShowsTheSelectedItemsBytes)
{
    std::vector<unsigned char> file = ReadTestFileBytes(kSamplePath);
    ASSERT_GT(file.size(), 64u);
    Open(kSamplePath);
    EXPECT_GT(ItemCount(), 3);
    EXPECT_EQ(RootLabel(), kSamplePath);
    EXPECT_EQ(View()->size, 0u) << "nothing is selected after a load";

    // The root item shows the whole file.
    HTREEITEM root = Next(NULL, TVGN_ROOT);
    Select(root);
    ASSERT_EQ(View()->size, (uint32_t)file.size());
    EXPECT_EQ(memcmp(View()->data, file.data(), file.size()), 0);

    // An atom shows only its payload, from the byte after its header.
    HTREEITEM firstAtom = Next(root, TVGN_CHILD);
    char text[128];
    const AtomNodeRecord *record =
        (const AtomNodeRecord *)Item(firstAtom, text, sizeof(text)).lParam;
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(strncmp(text, "ftyp", 4), 0) << text;
    EXPECT_EQ(record->payloadOffset, 8u);
    Select(firstAtom);
    uint32_t atomSize = ((uint32_t)file[0] << 24) | ((uint32_t)file[1] << 16) |
        ((uint32_t)file[2] << 8) | (uint32_t)file[3];
    ASSERT_EQ(View()->size, atomSize - 8);
    EXPECT_EQ(memcmp(View()->data, file.data() + 8, atomSize - 8), 0);
    EXPECT_NE(View()->data, file.data() + 8) << "the view keeps its own copy";

    // A description item empties the view.
    HTREEITEM description = FindItem(root, false);
    ASSERT_NE(description, (HTREEITEM)NULL) << "atom.def describes ftyp";
    Select(description);
    EXPECT_EQ(View()->size, 0u);
    EXPECT_EQ(View()->data, nullptr);
}

TEST_F(MainWindow, DeleteKeyInTheTreeEmptiesTreeAndView)
{
    Open(kSamplePath);
    Select(Next(NULL, TVGN_ROOT));
    ASSERT_GT(View()->size, 0u);
    SendMessageA(Tree(), WM_KEYDOWN, VK_DELETE, 0x00530001);
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(View()->size, 0u);
    SendMessageA(Tree(), WM_KEYDOWN, VK_DELETE, 0x00530001);
    EXPECT_EQ(ItemCount(), 0);
    // Loading again after a delete works as at first.
    Drop({kSamplePath}, main);
    EXPECT_EQ(RootLabel(), kSamplePath);
}

TEST_F(MainWindow, DroppingThreeFilesOpensTheFirstAndAMissingFileChangesNothing)
{
    std::string small = WriteSmallFile();
    Open(NULL);
    Drop({kSamplePath, small, small}, main);
    EXPECT_EQ(RootLabel(), kSamplePath);
    LRESULT sampleCount = ItemCount();
    EXPECT_GT(sampleCount, 3);

    // A drop on a pane reaches the main window through the divider and
    // replaces the whole tree.
    Select(Next(NULL, TVGN_ROOT));
    Drop({small, kSamplePath, kSamplePath}, Divider());
    EXPECT_EQ(RootLabel(), small);
    EXPECT_LT(ItemCount(), sampleCount);
    EXPECT_EQ(View()->size, 0u) << "the old file's bytes left the view";
    LRESULT smallCount = ItemCount();
    HTREEITEM smallRoot = Next(NULL, TVGN_ROOT);
    Select(smallRoot);
    EXPECT_EQ(View()->size, 16u);

    std::string missing = TempFilePath("kivra_app_test_no_such_file.mp4");
    DeleteFileA(missing.c_str());
    Drop({missing, kSamplePath}, main);
    EXPECT_EQ(RootLabel(), small);
    EXPECT_EQ(ItemCount(), smallCount);
    EXPECT_EQ(Next(NULL, TVGN_ROOT), smallRoot);
    EXPECT_EQ(View()->size, 16u);
    DeleteFileA(small.c_str());
}

TEST_F(MainWindow, MissingArgumentOpensAnEmptyWindow)
{
    std::string missing = TempFilePath("kivra_app_test_no_such_file.mp4");
    DeleteFileA(missing.c_str());
    Open(missing.c_str());
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(View()->size, 0u);
}

TEST_F(MainWindow, CloseOnlyPostsTheQuitMessage)
{
    Open(NULL);
    EXPECT_EQ(SendMessageA(main, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(main));
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(LongDrop, APathOf259CharactersIsOpened)
{
    SendMessageA(main, WM_DROPFILES, (WPARAM)MakeDrop({path}), 0);
    EXPECT_EQ(RootText(), path);
    EXPECT_EQ(SendMessageA(Tree(), TVM_GETCOUNT, 0, 0), 2);
}

// A longer path does not fit in MAX_PATH: cut short it would name another
// file (here the 259-character one), so nothing is opened.
TEST_F(LongDrop, ALongerPathIsNotOpenedCutShort)
{
    SendMessageA(main, WM_DROPFILES, (WPARAM)MakeDrop({path + "x"}), 0);
    EXPECT_EQ(SendMessageA(Tree(), TVM_GETCOUNT, 0, 0), 0);
}
