// LoadAtomFile against a real SysTreeView32: the messages it sends and the
// tree they build.

#include "atoms/atom_file_win32.h"
#include "atoms/atom_node_record.h"
#include "defs/definition_text.h"
#include "platform/heap.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdio.h>
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
    std::vector<UINT> messages;  // TVM_DELETEITEM and TVM_INSERTITEMA, in order
    std::vector<LPARAM> deleteParams;
    std::vector<SentInsert> inserts;
    WNDPROC treeProc = nullptr;
    int recordsFreed = 0;
    int buffersFreed = 0;
};

TreeFixtureState *g_state;

LRESULT CALLBACK RecordingTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TVM_DELETEITEM) {
        g_state->messages.push_back(message);
        g_state->deleteParams.push_back(lParam);
    } else if (message == TVM_INSERTITEMA) {
        const TVINSERTSTRUCTA *insert = (const TVINSERTSTRUCTA *)lParam;
        g_state->messages.push_back(message);
        g_state->inserts.push_back({insert->hParent, insert->hInsertAfter, insert->item.mask,
                                    insert->item.pszText,
                                    (insert->item.mask & TVIF_PARAM) ? insert->item.lParam : 0});
    }
    return CallWindowProcA(g_state->treeProc, window, message, wParam, lParam);
}

// The tree's owner frees records as the main window does.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && ((NMHDR *)lParam)->code == TVN_DELETEITEMA) {
        AtomNodeRecord *record = (AtomNodeRecord *)((NMTREEVIEWA *)lParam)->itemOld.lParam;
        if (record) {
            if (record->ownsBuffer) {
                HeapFreeBlock(record->base);
                g_state->buffersFreed++;
            }
            HeapFreeBlock(record);
            g_state->recordsFreed++;
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string TempPath(const char *name)
{
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    return std::string(directory) + name;
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
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
    for (HTREEITEM i = top; i; i = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)i))
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
        for (HTREEITEM c = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)entry.first);
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
        WNDCLASSA wc = {};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "kivra_test_tree_owner";
        RegisterClassA(&wc);
        owner = CreateWindowA("kivra_test_tree_owner", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                              NULL, NULL, wc.hInstance, NULL);
        ASSERT_NE(owner, nullptr);
        tree = CreateWindowA(WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, owner, NULL,
                             wc.hInstance, NULL);
        ASSERT_NE(tree, nullptr);
        state.treeProc = (WNDPROC)SetWindowLongPtrA(tree, GWLP_WNDPROC, (LONG_PTR)RecordingTreeProc);
    }

    void TearDown() override
    {
        SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
        DestroyWindow(owner);
        UnregisterClassA("kivra_test_tree_owner", GetModuleHandleA(NULL));
        FreeDefinitionText();
        g_state = nullptr;
    }
};

TEST_F(AtomTreeView, SendsExactlyTheDeleteAndInsertMessages)
{
    std::string defs = TempPath("kivra-tree-test.def");
    WriteFile(defs, "[moov] Movie\r\nbody line\r\n");
    ASSERT_TRUE(LoadDefinitionTextFromPath(defs.c_str()));
    std::string path = TempPath("kivra-tree-test.mp4");
    WriteFile(path, Atom("ftyp", "isom") + Atom("moov", Atom("mvhd", std::string(4, '\0'))));

    LoadAtomFile(tree, path.c_str());

    const std::vector<UINT> expectedMessages = {TVM_DELETEITEM, TVM_INSERTITEMA, TVM_INSERTITEMA,
                                                TVM_INSERTITEMA, TVM_INSERTITEMA, TVM_INSERTITEMA,
                                                TVM_INSERTITEMA};
    EXPECT_EQ(state.messages, expectedMessages);
    ASSERT_EQ(state.deleteParams.size(), 1u);
    EXPECT_EQ(state.deleteParams[0], (LPARAM)TVI_ROOT);
    ASSERT_EQ(state.inserts.size(), 6u);
    const UINT withRecord = TVIF_TEXT | TVIF_PARAM;
    const char *texts[] = {path.c_str(), "ftyp (+0x00000000:4[0x4])", "moov (+0x0000000C:12[0xC])",
                           "[moov] Movie", "body line", "mvhd (+0x00000014:4[0x4])"};
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

    EXPECT_EQ(ReadBackTree(tree), path +
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
    std::string path = TempPath("kivra-tree-reload.mp4");
    WriteFile(path, Atom("moov", Atom("trak", Atom("tkhd", ""))) + Atom("free", ""));
    LoadAtomFile(tree, path.c_str());
    std::string first = ReadBackTree(tree);
    EXPECT_EQ(state.recordsFreed, 0);
    LoadAtomFile(tree, path.c_str());
    // Root, moov, trak, tkhd and free of the first load.
    EXPECT_EQ(state.recordsFreed, 5);
    EXPECT_EQ(state.buffersFreed, 1);
    EXPECT_EQ(ReadBackTree(tree), first);

    size_t sent = state.messages.size();
    LoadAtomFile(tree, (path + ".missing").c_str());
    EXPECT_EQ(state.messages.size(), sent);
    EXPECT_EQ(ReadBackTree(tree), first);
    DeleteFileA(path.c_str());
}

}  // namespace
