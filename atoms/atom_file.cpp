#include "atoms/atom_file.h"
#include "atoms/atom_walk.h"
#include "platform/heap.h"

AtomFileLoad LoadAtomFileIntoTree(const AtomTree *tree, const FileReadService *files,
                                  const char *path)
{
    void *file = files->open(files->context, path);
    if (file == 0)
        return ATOM_FILE_NOT_OPENED;
    // The previous file goes as soon as the new one is known to open.
    tree->deleteAllItems(tree->context);

    uint64_t size = 0;
    if (!files->querySize(files->context, file, &size)) {
        files->close(files->context, file);
        return ATOM_FILE_SIZE_UNKNOWN;
    }
    // Offsets and sizes are 32-bit: a larger file cannot be shown truthfully.
    if (size > 0xFFFFFFFFu) {
        files->close(files->context, file);
        return ATOM_FILE_TOO_LARGE;
    }
    uint32_t fileSize = (uint32_t)size;
    unsigned char *buffer = (unsigned char *)HeapAllocBlock(fileSize);
    if (buffer == 0) {
        files->close(files->context, file);
        return ATOM_FILE_NO_MEMORY;
    }
    uint32_t bytesRead = files->read(files->context, file, buffer, fileSize);
    files->close(files->context, file);
    if (bytesRead > fileSize)
        bytesRead = fileSize;

    AtomNodeRecord *root = (AtomNodeRecord *)HeapAllocBlock(sizeof(AtomNodeRecord));
    if (root == 0) {
        HeapFreeBlock(buffer);
        return ATOM_FILE_NO_MEMORY;
    }
    root->ownsBuffer = 1;
    root->base = buffer;
    root->payloadOffset = 0;
    // Only the bytes that were read are shown and walked.
    root->payloadSize = bytesRead;
    void *rootItem = tree->insertItem(tree->context, 0, path, root);
    if (rootItem == 0) {
        HeapFreeBlock(root);
        HeapFreeBlock(buffer);
        return ATOM_FILE_NO_MEMORY;
    }
    WalkAtoms(tree, rootItem, buffer, bytesRead, 0, bytesRead);
    return bytesRead == fileSize ? ATOM_FILE_LOADED : ATOM_FILE_SHORT_READ;
}
