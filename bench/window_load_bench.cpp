// LoadAtomFile into a real tree view (under Wine or Windows), against its
// floor: the same items with the same texts inserted into a fresh tree view
// with nothing else done. Also times the core alone (read, walk and lookup
// into a tree that only counts) and the repaint that follows the load.
// Usage: window_load_bench [ATOMS...] (default 10000 100000); atom.def beside
// the program gives the descriptions, as in kivra.
// Prints the median of several runs of each, in milliseconds, and the ratio
// of the load to the floor.

#include "atoms/atom_file.h"
#include "atoms/atom_file_win32.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tests/support/bench_trees.h"
#include "tools/genatoms/atom_generator.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

namespace {

// The main window's tree style.
const DWORD kTreeStyle =
    WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;

double Now()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// The tree's owner frees records as the main window does.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && ((NMHDR *)lParam)->code == TVN_DELETEITEMA) {
        AtomNodeRecord *record = (AtomNodeRecord *)((NMTREEVIEWA *)lParam)->itemOld.lParam;
        FreeAtomNodeRecord(record);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HWND CreateTree(HWND owner)
{
    RECT client;
    GetClientRect(owner, &client);
    HWND tree =
        CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, NULL, kTreeStyle, 0, 0, client.right,
                        client.bottom, owner, NULL, GetModuleHandleA(NULL), NULL);
    UpdateWindow(tree);
    PumpMessages();
    return tree;
}

void DestroyTree(HWND tree)
{
    SendMessageA(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
    DestroyWindow(tree);
    PumpMessages();
}

void InsertRecorded(HWND tree, const std::vector<RecordedItem> &items,
                    std::vector<HTREEITEM> &handles)
{
    for (size_t i = 0; i < items.size(); i++) {
        TVINSERTSTRUCTA insert;
        insert.hParent = items[i].parent ? handles[items[i].parent - 1] : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = items[i].isAtom ? TVIF_TEXT | TVIF_PARAM : TVIF_TEXT;
        insert.item.pszText = (LPSTR)items[i].text.c_str();
        insert.item.lParam = 0;
        handles[i] = (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
    }
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string TempPath(const char *name)
{
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    return std::string(directory) + name;
}

void Measure(HWND owner, uint32_t atoms, int runs)
{
    std::vector<unsigned char> bytes = GenerateAtomFile(atoms);
    std::string path = TempPath(("kivra-window-load-" + std::to_string(atoms) + ".mp4").c_str());
    if (!WriteGeneratedFile(path, bytes.data(), bytes.size())) {
        printf("cannot write %s\n", path.c_str());
        return;
    }
    // The items a load inserts, recorded once through the core.
    RecordingTree recorder;
    InitRecordingTree(&recorder);
    LoadAtomFileIntoTree(&recorder.service, PlatformFileReadService(), path.c_str());
    recorder.service.deleteAllItems(&recorder);
    std::vector<HTREEITEM> handles(recorder.items.size());

    std::vector<double> core, floor, load, loadPainted, floorPainted;
    for (int run = 0; run < runs; run++) {
        // The core alone: read, walk and lookup into a tree that keeps nothing.
        CountingTree counting;
        InitCountingTree(&counting);
        double start = Now();
        LoadAtomFileIntoTree(&counting.service, PlatformFileReadService(), path.c_str());
        core.push_back(Now() - start);
        counting.service.deleteAllItems(&counting);

        HWND tree = CreateTree(owner);
        start = Now();
        InsertRecorded(tree, recorder.items, handles);
        floor.push_back(Now() - start);
        UpdateWindow(tree);
        floorPainted.push_back(Now() - start);
        DestroyTree(tree);

        tree = CreateTree(owner);
        start = Now();
        LoadAtomFile(tree, path.c_str());
        load.push_back(Now() - start);
        UpdateWindow(tree);
        loadPainted.push_back(Now() - start);
        // The same tree as recorded: item count, collapsed root, no selection.
        size_t count = (size_t)SendMessageA(tree, TVM_GETCOUNT, 0, 0);
        HTREEITEM top = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        UINT state = (UINT)SendMessageA(tree, TVM_GETITEMSTATE, (WPARAM)top, TVIS_EXPANDED);
        HTREEITEM selected = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
        if (count != recorder.items.size() || (state & TVIS_EXPANDED) || selected != 0)
            printf("  run %d: the loaded tree differs (%u items, expanded %u, selection %p)\n", run,
                   (unsigned)count, state & TVIS_EXPANDED, (void *)selected);
        DestroyTree(tree);
    }
    DeleteFileA(path.c_str());
    double loadMs = Median(load), floorMs = Median(floor);
    // Per item, so that rows of different sizes show how the tree view's
    // insertion grows: flat when linear, rising with the count when not.
    const double perItemUs = 1000.0 * loadMs / (double)recorder.items.size();
    printf("%7u atoms, %7u items: core %8.1f ms | floor %8.1f ms (painted %8.1f) | "
           "LoadAtomFile %8.1f ms (painted %8.1f), %.2f us/item | load / floor %.2fx\n",
           atoms, (unsigned)recorder.items.size(), Median(core), floorMs, Median(floorPainted),
           loadMs, Median(loadPainted), perItemUs, loadMs / floorMs);
    fflush(stdout);
}

}  // namespace

int main(int argc, char **argv)
{
    InitCommonControls();
    LoadDefinitionText();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "kivra_bench_owner";
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    HWND owner = CreateWindowA("kivra_bench_owner", "kivra load benchmark", WS_OVERLAPPEDWINDOW, 0,
                               0, 800, 600, NULL, NULL, wc.hInstance, NULL);
    ShowWindow(owner, SW_SHOW);
    UpdateWindow(owner);
    PumpMessages();
    printf("definition text: %s\n", DefinitionText ? "atom.def beside the program" : "none");
    std::vector<uint32_t> counts;
    for (int i = 1; i < argc; i++)
        counts.push_back((uint32_t)strtoul(argv[i], 0, 10));
    if (counts.empty())
        counts = {10000, 100000};
    // The biggest rows take minutes each under Wine: measured once.
    for (uint32_t atoms : counts)
        Measure(owner, atoms, atoms >= 1000000 ? 1 : atoms >= 100000 ? 3 : 5);
    DestroyWindow(owner);
    FreeDefinitionText();
    return 0;
}
