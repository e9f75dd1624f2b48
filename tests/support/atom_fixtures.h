#pragma once
// Shared fixtures of the atom and definition tests (and the hostile-file
// benchmark): atom byte builders, a file service whose steps can fail, and
// the tree as kivra-dump prints it.

#include "atoms/atom_file.h"
#include "tests/support/atom_tree_memory.h"
#include "platform/file_read.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"
#include "tests/support/test_files.h"

#include <stdint.h>
#include <stdio.h>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

inline void AppendBigEndian32(Bytes &out, uint32_t value)
{
    out.push_back((unsigned char)(value >> 24));
    out.push_back((unsigned char)(value >> 16));
    out.push_back((unsigned char)(value >> 8));
    out.push_back((unsigned char)value);
}

// An atom with the given payload and a size field that is right.
inline Bytes Atom(const char *type, const Bytes &payload = Bytes())
{
    Bytes out;
    AppendBigEndian32(out, (uint32_t)(8 + payload.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// An atom header with any size field, followed by the payload as given.
inline Bytes AtomWithSize(uint32_t sizeField, const char *type, const Bytes &payload = Bytes())
{
    Bytes out;
    AppendBigEndian32(out, sizeField);
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// A chain of atoms each holding only the next: levels headers of type "nest".
inline Bytes NestedAtoms(uint32_t levels)
{
    Bytes bytes;
    bytes.reserve(8u * levels);
    for (uint32_t i = 0; i < levels; i++) {
        AppendBigEndian32(bytes, 8u * (levels - i));
        bytes.insert(bytes.end(), {'n', 'e', 's', 't'});
    }
    return bytes;
}

inline Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes &part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Bytes Raw(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values)
        out.push_back((unsigned char)v);
    return out;
}

// The tree in kivra-dump's form: one line per item, two spaces per level.
inline std::string DumpTree(const MemoryTree &tree)
{
    std::string out;
    for (const MemoryTreeNode *node = NextMemoryTreeNode(&tree, 0); node != 0;
         node = NextMemoryTreeNode(&tree, node)) {
        out.append(2 * node->depth, ' ');
        out += node->text;
        out += '\n';
    }
    return out;
}

// A file service over bytes in memory, each of whose steps can be made to fail.
struct FakeFile {
    Bytes content;
    bool failOpen = false;
    bool failSize = false;
    bool sizeOverride = false;
    uint64_t reportedSize = 0;
    uint32_t readLimit = 0xFFFFFFFFu;  // at most this many bytes are delivered
    int openCount = 0;
    int closeCount = 0;
    FileReadService service;

    FakeFile()
    {
        service.context = this;
        service.open = [](void *context, const char *) -> void * {
            FakeFile *f = (FakeFile *)context;
            if (f->failOpen)
                return 0;
            f->openCount++;
            return f;
        };
        service.querySize = [](void *context, void *, uint64_t *size) -> int {
            FakeFile *f = (FakeFile *)context;
            if (f->failSize)
                return 0;
            *size = f->sizeOverride ? f->reportedSize : f->content.size();
            return 1;
        };
        service.read = [](void *context, void *, void *buffer, uint32_t bytes) -> uint32_t {
            FakeFile *f = (FakeFile *)context;
            uint32_t n = bytes;
            if (n > f->content.size())
                n = (uint32_t)f->content.size();
            if (n > f->readLimit)
                n = f->readLimit;
            for (uint32_t i = 0; i < n; i++)
                ((unsigned char *)buffer)[i] = f->content[i];
            return n;
        };
        service.close = [](void *context, void *) { ((FakeFile *)context)->closeCount++; };
    }
    FakeFile(const FakeFile &) = delete;
    FakeFile &operator=(const FakeFile &) = delete;
};

// A memory tree that is emptied (records and buffer freed) when it goes.
struct ScopedMemoryTree {
    MemoryTree tree;
    ScopedMemoryTree() { InitMemoryTree(&tree); }
    ~ScopedMemoryTree() { ClearMemoryTree(&tree); }
    ScopedMemoryTree(const ScopedMemoryTree &) = delete;
    ScopedMemoryTree &operator=(const ScopedMemoryTree &) = delete;
};

// Loads bytes as a file (the buffer is exactly the file's size) and returns
// the tree as kivra-dump prints it.
inline std::string LoadAndDump(const Bytes &bytes)
{
    FakeFile file;
    file.content = bytes;
    ScopedMemoryTree tree;
    LoadAtomFileIntoTree(&tree.tree.service, &file.service, "f");
    return DumpTree(tree.tree);
}

// Bytes copied into a heap block of exactly their size, so that the
// sanitizers catch any read past the end.
struct ExactBuffer {
    unsigned char *data;
    uint32_t size;
    explicit ExactBuffer(const Bytes &bytes)
        : data((unsigned char *)HeapAllocBlock(bytes.size())), size((uint32_t)bytes.size())
    {
        for (uint32_t i = 0; i < size; i++)
            data[i] = bytes[i];
    }
    ~ExactBuffer() { HeapFreeBlock(data); }
    ExactBuffer(const ExactBuffer &) = delete;
    ExactBuffer &operator=(const ExactBuffer &) = delete;
};
