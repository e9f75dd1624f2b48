#include "tests/support/atom_tree_memory.h"
#include "atoms/atom_file.h"
#include "platform/heap.h"

static MemoryTreeNode *AppendMemoryTreeNode(MemoryTree *tree, MemoryTreeNode *parent,
                                            const char *text, AtomNodeRecord *record)
{
    MemoryTreeNode *node = (MemoryTreeNode *)HeapAllocBlock(sizeof(MemoryTreeNode));
    if (node == 0)
        return 0;
    size_t length = 0;
    while (text[length] != '\0')
        length++;
    node->text = (char *)HeapAllocBlock(length + 1);
    if (node->text == 0) {
        HeapFreeBlock(node);
        return 0;
    }
    for (size_t i = 0; i <= length; i++)
        node->text[i] = text[i];
    node->record = record;
    node->parent = parent;
    node->firstChild = 0;
    node->lastChild = 0;
    node->nextSibling = 0;
    node->depth = parent ? parent->depth + 1 : 0;
    MemoryTreeNode **last = parent ? &parent->lastChild : &tree->lastTop;
    MemoryTreeNode **first = parent ? &parent->firstChild : &tree->firstTop;
    if (*last)
        (*last)->nextSibling = node;
    else
        *first = node;
    *last = node;
    tree->itemCount++;
    return node;
}

static void *InsertMemoryTreeItem(void *context, void *parentItem, const char *text,
                                  AtomNodeRecord *record)
{
    return AppendMemoryTreeNode((MemoryTree *)context, (MemoryTreeNode *)parentItem, text, record);
}

static void InsertMemoryTreeText(void *context, void *parentItem, const char *text)
{
    AppendMemoryTreeNode((MemoryTree *)context, (MemoryTreeNode *)parentItem, text, 0);
}

static void DeleteAllMemoryTreeItems(void *context)
{
    ClearMemoryTree((MemoryTree *)context);
}

void InitMemoryTree(MemoryTree *tree)
{
    InitAtomTree(&tree->service, tree, InsertMemoryTreeItem, DeleteAllMemoryTreeItems,
                 InsertMemoryTreeText);
    tree->firstTop = 0;
    tree->lastTop = 0;
    tree->itemCount = 0;
}

MemoryTreeNode *NextMemoryTreeNode(const MemoryTree *tree, const MemoryTreeNode *node)
{
    if (node == 0)
        return tree->firstTop;
    if (node->firstChild)
        return node->firstChild;
    while (node != 0 && node->nextSibling == 0)
        node = node->parent;
    return node ? node->nextSibling : 0;
}

void ClearMemoryTree(MemoryTree *tree)
{
    // Without recursion: each node's children are spliced in front of its
    // following siblings before the node is freed, so no freed node is
    // visited again. Records go as the main window frees them: the root's
    // record takes the file buffer with it.
    MemoryTreeNode *node = tree->firstTop;
    while (node != 0) {
        MemoryTreeNode *next = node->nextSibling;
        if (node->firstChild) {
            node->lastChild->nextSibling = next;
            next = node->firstChild;
        }
        FreeAtomNodeRecord(node->record);
        HeapFreeBlock(node->text);
        HeapFreeBlock(node);
        node = next;
    }
    tree->firstTop = 0;
    tree->lastTop = 0;
    tree->itemCount = 0;
}
