// LoadAtomFile against a real SysTreeView32: the messages it sends, the tree
// they build, and the limits of the tree view itself (deeply nested atoms, a
// file too large for a 32-bit address space).

#include "atoms/atom_file_win32.h"
#include "atoms/atom_node_record.h"
#include "atoms/atom_walk.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"
#include "tests/support/window_test_support.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

struct SentInsert {
    HTREEITEM parent;
    HTREEITEM insertAfter;
    UINT mask;
    std::string text;
    LPARAM param;
};

struct TreeFixtureState {
    MessageRecorder messages;  // TVM_DELETEITEM and TVM_INSERTITEMA, in order
    std::vector<SentInsert> inserts;
    WNDPROC treeProc = nullptr;
    int recordsFreed = 0;
    int buffersFreed = 0;
};

TreeFixtureState *g_state;

LRESULT CALLBACK RecordingTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TVM_DELETEITEM) {
        g_state->messages.Record(message, wParam, lParam);
    } else if (message == TVM_INSERTITEMA) {
        const TVINSERTSTRUCTA *insert = (const TVINSERTSTRUCTA *)lParam;
        g_state->messages.Record(message, wParam, lParam);
        g_state->inserts.push_back({insert->hParent, insert->hInsertAfter, insert->item.mask,
                                    insert->item.pszText,
                                    (insert->item.mask & TVIF_PARAM) ? insert->item.lParam : 0});
    }
    return CallWindowProcA(g_state->treeProc, window, message, wParam, lParam);
}

// The tree's owner frees records as the main window does, counting them
// when a fixture state is in place.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && ((NMHDR *)lParam)->code == TVN_DELETEITEMA) {
        AtomNodeRecord *record = (AtomNodeRecord *)((NMTREEVIEWA *)lParam)->itemOld.lParam;
        if (record) {
            if (record->ownsBuffer) {
                HeapFreeBlock(record->base);
                if (g_state)
                    g_state->buffersFreed++;
            }
            HeapFreeBlock(record);
            if (g_state)
                g_state->recordsFreed++;
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    ASSERT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end())));
}

std::string Atom(const char *type, const std::string &payload)
{
    uint32_t size = (uint32_t)(8 + payload.size());
    std::string out;
    out += (char)(size >> 24);
    out += (char)(size >> 16);
    out += (char)(size >> 8);
    out += (char)size;
    out.append(type, 4);
    return out + payload;
}

// The tree as read back from the control: text, and "*" for items with a record.
std::string ReadBackTree(HWND tree)
{
    std::string out;
    HTREEITEM top = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    std::vector<std::pair<HTREEITEM, int>> pending;
    // Top-level items in reverse so that the first is taken first.
    std::vector<HTREEITEM> tops;
    for (HTREEITEM i = top; i;
         i = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)i))
        tops.push_back(i);
    for (size_t i = tops.size(); i-- > 0;)
        pending.push_back({tops[i], 0});
    while (!pending.empty()) {
        std::pair<HTREEITEM, int> entry = pending.back();
        pending.pop_back();
        char text[300] = "";
        TVITEMA item = {};
        item.mask = TVIF_TEXT | TVIF_PARAM;
        item.hItem = entry.first;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&item);
        out.append(2 * entry.second, ' ');
        out += text;
        out += item.lParam ? " *\n" : "\n";
        std::vector<HTREEITEM> children;
        for (HTREEITEM c =
                 (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)entry.first);
             c; c = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)c))
            children.push_back(c);
        for (size_t i = children.size(); i-- > 0;)
            pending.push_back({children[i], entry.second + 1});
    }
    return out;
}

class AtomTreeView : public ::testing::Test {
protected:
    TreeFixtureState state;
    HWND owner = nullptr;
    HWND tree = nullptr;

    void SetUp() override
    {
        g_state = &state;
        InitCommonControls();
        ASSERT_TRUE(EnsureTestClass("kivra_test_tree_owner", OwnerProc));
        owner = CreateWindowA("kivra_test_tree_owner", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                              NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(owner, nullptr);
        tree = CreateWindowA(WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, owner, NULL,
                             GetModuleHandleA(NULL), NULL);
        ASSERT_NE(tree, nullptr);
        state.treeProc =
            (WNDPROC)SetWindowLongPtrA(tree, GWLP_WNDPROC, (LONG_PTR)RecordingTreeProc);
    }

    void TearDown() override
    {
        SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
        DestroyWindow(owner);
        FreeDefinitionText();
        g_state = nullptr;
    }
};

TEST_F(AtomTreeView, SendsExactlyTheDeleteAndInsertMessages)
{
    std::string defs = TempFilePath("kivra-tree-test.def");
    WriteFile(defs, "[moov] Movie\r\nbody line\r\n");
    ASSERT_TRUE(LoadDefinitionTextFromPath(defs.c_str()));
    std::string path = TempFilePath("kivra-tree-test.mp4");
    WriteFile(path, Atom("ftyp", "isom") + Atom("moov", Atom("mvhd", std::string(4, '\0'))));

    LoadAtomFile(tree, path.c_str());

    const ExpectedMessage expectedMessages[] = {
        {TVM_DELETEITEM, CHECK_LPARAM, 0, (LPARAM)TVI_ROOT},
        {TVM_INSERTITEMA, 0, 0, 0},
        {TVM_INSERTITEMA, 0, 0, 0},
        {TVM_INSERTITEMA, 0, 0, 0},
        {TVM_INSERTITEMA, 0, 0, 0},
        {TVM_INSERTITEMA, 0, 0, 0},
        {TVM_INSERTITEMA, 0, 0, 0},
        {},
    };
    ExpectMessageSequence(state.messages, expectedMessages, "LoadAtomFile");
    ASSERT_EQ(state.inserts.size(), 6u);
    const UINT withRecord = TVIF_TEXT | TVIF_PARAM;
    const char *texts[] = {
        path.c_str(), "ftyp (+0x00000000:4[0x4])", "moov (+0x0000000C:12[0xC])", "[moov] Movie",
        "body line",  "mvhd (+0x00000014:4[0x4])"};
    const UINT masks[] = {withRecord, withRecord, withRecord, TVIF_TEXT, TVIF_TEXT, withRecord};
    for (size_t i = 0; i < 6; i++) {
        EXPECT_EQ(state.inserts[i].text, texts[i]) << i;
        EXPECT_EQ(state.inserts[i].mask, masks[i]) << i;
        EXPECT_EQ(state.inserts[i].insertAfter, TVI_LAST) << i;
        EXPECT_EQ(state.inserts[i].param != 0, masks[i] == withRecord) << i;
    }
    EXPECT_EQ(state.inserts[0].parent, TVI_ROOT);
    const AtomNodeRecord *root = (const AtomNodeRecord *)state.inserts[0].param;
    EXPECT_EQ(root->ownsBuffer, 1u);
    EXPECT_EQ(root->payloadSize, 32u);
    const AtomNodeRecord *mvhd = (const AtomNodeRecord *)state.inserts[5].param;
    EXPECT_EQ(mvhd->base, root->base);
    EXPECT_EQ(mvhd->payloadOffset, 0x1Cu);
    EXPECT_EQ(mvhd->payloadSize, 4u);

    EXPECT_EQ(ReadBackTree(tree),
              path +
                  " *\n"
                  "  ftyp (+0x00000000:4[0x4]) *\n"
                  "  moov (+0x0000000C:12[0xC]) *\n"
                  "    [moov] Movie\n"
                  "    body line\n"
                  "    mvhd (+0x00000014:4[0x4]) *\n");
    DeleteFileA(path.c_str());
    DeleteFileA(defs.c_str());
}

TEST_F(AtomTreeView, ReloadFreesEveryRecordAndAMissingFileChangesNothing)
{
    std::string path = TempFilePath("kivra-tree-reload.mp4");
    WriteFile(path, Atom("moov", Atom("trak", Atom("tkhd", ""))) + Atom("free", ""));
    LoadAtomFile(tree, path.c_str());
    std::string first = ReadBackTree(tree);
    EXPECT_EQ(state.recordsFreed, 0);
    LoadAtomFile(tree, path.c_str());
    // Root, moov, trak, tkhd and free of the first load.
    EXPECT_EQ(state.recordsFreed, 5);
    EXPECT_EQ(state.buffersFreed, 1);
    EXPECT_EQ(ReadBackTree(tree), first);

    size_t sent = state.messages.Count();
    LoadAtomFile(tree, (path + ".missing").c_str());
    EXPECT_EQ(state.messages.Count(), sent);
    EXPECT_EQ(ReadBackTree(tree), first);
    DeleteFileA(path.c_str());
}

// levels atoms, each the only child of the one before.
std::vector<unsigned char> NestedAtoms(uint32_t levels)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(8u * levels);
    for (uint32_t i = 0; i < levels; i++) {
        uint32_t size = 8u * (levels - i);
        unsigned char header[8] = {(unsigned char)(size >> 24),
                                   (unsigned char)(size >> 16),
                                   (unsigned char)(size >> 8),
                                   (unsigned char)size,
                                   'n',
                                   'e',
                                   's',
                                   't'};
        bytes.insert(bytes.end(), header, header + 8);
    }
    return bytes;
}

class TreeViewLimits : public ::testing::Test {
protected:
    HWND host = NULL;
    HWND tree = NULL;

    void SetUp() override
    {
        InitCommonControls();
        ASSERT_TRUE(EnsureTestClass("kivra_test_tree_owner", OwnerProc));
        host = CreateWindowExA(0, "kivra_test_tree_owner", "host", WS_OVERLAPPEDWINDOW, 0, 0, 640,
                               480, NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(host, (HWND)NULL);
        tree =
            CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                            WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_LINESATROOT | TVS_HASBUTTONS,
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
TEST_F(TreeViewLimits, DeepNestingStopsAtADepthTheTreeViewSurvives)
{
    uint32_t levels = 1000000;
    if (getenv("KIVRA_TREE_LEVELS"))
        levels = (uint32_t)atoi(getenv("KIVRA_TREE_LEVELS"));
    std::string path = TempFilePath("kivra_tree_limits_deep.mp4");
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
TEST_F(TreeViewLimits, TreeViewSurvivesTwiceTheDepthLimit)
{
    uint32_t levels = 2 * ATOM_WALK_DEPTH_LIMIT;
    if (getenv("KIVRA_TREE_CHAIN"))
        levels = (uint32_t)atoi(getenv("KIVRA_TREE_CHAIN"));
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
TEST_F(TreeViewLimits, SparseThreeGigabyteFileLeavesTheTreeEmpty)
{
    std::string path = TempFilePath("kivra_tree_limits_sparse.mp4");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3LL << 30;
    ASSERT_TRUE(SetFilePointerEx(file, size, NULL, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    // A small file first: the large one must take its items away.
    std::string small = TempFilePath("kivra_tree_limits_small.mp4");
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

}  // namespace
