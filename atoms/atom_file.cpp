#include "atoms/atom_file.h"
#include "atoms/atom_walk.h"
#include "platform/heap.h"

void FreeAtomNodeRecord(AtomNodeRecord *record)
{
    if (record == 0)
        return;
    if (record->ownsBuffer)
        HeapFreeBlock(record->base);
    HeapFreeBlock(record);
}

AtomFileLoad LoadAtomFileIntoTree(const AtomTree *tree, const FileReadService *files,
                                  const char *path)
{
    void *file = files->open(files->context, path);
    if (file == 0)
        return ATOM_FILE_NOT_OPENED;
    // The previous file goes as soon as the new one is known to open.
    tree->deleteAllItems(tree->context);

    unsigned char *buffer = 0;
    uint32_t bytesRead = 0;
    const AtomFileLoad read = ReadOpenedAtomFile(files, file, &buffer, &bytesRead);
    if (read != ATOM_FILE_LOADED && read != ATOM_FILE_SHORT_READ)
        return read;
    if (!ShowAtomFileBuffer(tree, path, buffer, bytesRead, 1)) {
        HeapFreeBlock(buffer);
        return ATOM_FILE_NO_MEMORY;
    }
    return read;
}

AtomFileLoad ReadOpenedAtomFile(const FileReadService *files, void *file, unsigned char **buffer,
                                uint32_t *bytesRead)
{
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
    const uint32_t fileSize = (uint32_t)size;
    *buffer = (unsigned char *)HeapAllocBlock(fileSize);
    if (*buffer == 0) {
        files->close(files->context, file);
        return ATOM_FILE_NO_MEMORY;
    }
    *bytesRead = files->read(files->context, file, *buffer, fileSize);
    files->close(files->context, file);
    // Only the bytes that were read are shown and walked.
    if (*bytesRead > fileSize)
        *bytesRead = fileSize;
    return *bytesRead == fileSize ? ATOM_FILE_LOADED : ATOM_FILE_SHORT_READ;
}

int ShowAtomFileBuffer(const AtomTree *tree, const char *path, unsigned char *buffer, uint32_t size,
                       uint32_t ownsBuffer)
{
    AtomNodeRecord *root = (AtomNodeRecord *)HeapAllocBlock(sizeof(AtomNodeRecord));
    if (root == 0)
        return 0;
    root->ownsBuffer = ownsBuffer;
    root->base = buffer;
    root->payloadOffset = 0;
    root->payloadSize = size;
    void *rootItem = tree->insertItem(tree->context, 0, path, root);
    if (rootItem == 0) {
        HeapFreeBlock(root);
        return 0;
    }
    WalkAtoms(tree, rootItem, buffer, size, 0, size);
    return 1;
}
