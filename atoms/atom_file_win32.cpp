#include "atoms/atom_file_win32.h"
#include "atoms/atom_file.h"

#include <commctrl.h>

// The tree view as an AtomTree: its context is the tree's window handle.

static void *InsertTreeViewItem(void *context, void *parentItem, const char *text,
                                AtomNodeRecord *record)
{
    TVINSERTSTRUCTA insert;
    insert.hParent = parentItem ? (HTREEITEM)parentItem : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = (LPSTR)text;  // the tree copies the text
    insert.item.lParam = (LPARAM)record;
    return (void *)SendMessageA((HWND)context, TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

static void InsertTreeViewText(void *context, void *parentItem, const char *text)
{
    TVINSERTSTRUCTA insert;
    insert.hParent = (HTREEITEM)parentItem;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = (LPSTR)text;
    SendMessageA((HWND)context, TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

static void DeleteAllTreeViewItems(void *context)
{
    SendMessageA((HWND)context, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
}

void LoadAtomFile(HWND tree, const char *path)
{
    AtomTree service;
    InitAtomTree(&service, tree, InsertTreeViewItem, DeleteAllTreeViewItems, InsertTreeViewText);
    LoadAtomFileIntoTree(&service, PlatformFileReadService(), path);
}
