#include "atoms/atom_file.h"
#include "platform/heap.h"

#include "tests/support/atom_fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdio.h>
#include <string>

namespace {

const Bytes smallFile = Join({Atom("ftyp", Raw({'i', 's', 'o', 'm'})), Atom("moov", Atom("mvhd"))});
const char smallDump[] = "a.mp4\n"
                         "  ftyp (+0x00000000:4[0x4])\n"
                         "  moov (+0x0000000C:8[0x8])\n"
                         "    mvhd (+0x00000014:0[0x0])\n";

TEST(AtomFileLoad, RootItemIsThePathAndOwnsTheBuffer)
{
    FakeFile file;
    file.content = smallFile;
    ScopedMemoryTree tree;
    EXPECT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "a.mp4"), ATOM_FILE_LOADED);
    EXPECT_EQ(DumpTree(tree.tree), smallDump);
    const AtomNodeRecord *root = tree.tree.firstTop->record;
    EXPECT_EQ(root->ownsBuffer, 1u);
    EXPECT_EQ(root->payloadOffset, 0u);
    EXPECT_EQ(root->payloadSize, (uint32_t)smallFile.size());
    EXPECT_EQ(root->base[4], 'f');
    EXPECT_EQ(file.openCount, 1);
    EXPECT_EQ(file.closeCount, 1);
}

TEST(AtomFileLoad, EmptyFileAndNonAtomFileGiveTheRootAlone)
{
    const Bytes files[] = {Bytes(), Raw({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0})};
    for (const Bytes &content : files) {
        FakeFile file;
        file.content = content;
        ScopedMemoryTree tree;
        EXPECT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "x y"), ATOM_FILE_LOADED);
        EXPECT_EQ(DumpTree(tree.tree), "x y\n");
        EXPECT_EQ(tree.tree.firstTop->record->payloadSize, (uint32_t)content.size());
    }
}

TEST(AtomFileLoad, ASecondLoadReplacesTheFirstAndAFailedOpenKeepsIt)
{
    FakeFile first;
    first.content = Join({Atom("free"), Atom("skip")});
    FakeFile second;
    second.content = smallFile;
    ScopedMemoryTree tree;
    LoadAtomFileIntoTree(&tree.tree.service, &first.service, "first");
    LoadAtomFileIntoTree(&tree.tree.service, &second.service, "a.mp4");
    EXPECT_EQ(DumpTree(tree.tree), smallDump);
    LoadAtomFileIntoTree(&tree.tree.service, &second.service, "a.mp4");
    EXPECT_EQ(DumpTree(tree.tree), smallDump);

    FakeFile missing;
    missing.failOpen = true;
    EXPECT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &missing.service, "gone"),
              ATOM_FILE_NOT_OPENED);
    EXPECT_EQ(DumpTree(tree.tree), smallDump);
}

TEST(AtomFileLoad, FailuresAfterTheOpenLeaveTheTreeEmpty)
{
    struct Case {
        const char *name;
        bool failSize;
        uint64_t reportedSize;  // 0: the content's size
        long heapSuccesses;     // allocations allowed after the previous file went
        AtomFileLoad expected;
    } cases[] = {
        {"size query fails", true, 0, -1, ATOM_FILE_SIZE_UNKNOWN},
        {"exactly 4 GiB", false, 0x100000000ull, -1, ATOM_FILE_TOO_LARGE},
        {"far beyond 4 GiB", false, 0x7FFFFFFF00000000ull, -1, ATOM_FILE_TOO_LARGE},
        {"buffer cannot be allocated", false, 0, 0, ATOM_FILE_NO_MEMORY},
        {"root record cannot be allocated", false, 0, 1, ATOM_FILE_NO_MEMORY},
    };
    for (const Case &c : cases) {
        FakeFile previous;
        previous.content = smallFile;
        ScopedMemoryTree tree;
        LoadAtomFileIntoTree(&tree.tree.service, &previous.service, "previous");
        ASSERT_GT(tree.tree.itemCount, 0u);
        FakeFile file;
        file.content = smallFile;
        file.failSize = c.failSize;
        file.sizeOverride = c.reportedSize != 0;
        file.reportedSize = c.reportedSize;
        SetHeapFailureCountdown(c.heapSuccesses);
        AtomFileLoad result = LoadAtomFileIntoTree(&tree.tree.service, &file.service, "new");
        SetHeapFailureCountdown(-1);
        EXPECT_EQ(result, c.expected) << c.name;
        EXPECT_EQ(tree.tree.itemCount, 0u) << c.name;
        EXPECT_EQ(file.openCount, file.closeCount) << c.name;
    }
}

TEST(AtomFileLoad, ShortReadShowsAndWalksOnlyTheBytesRead)
{
    FakeFile file;
    file.content = Join({Atom("ftyp", Raw({'i', 's', 'o', 'm'})),
                         Atom("moov", Atom("mvhd", Bytes(8, 0))), Atom("free")});
    // The read stops inside mvhd: moov and mvhd are clamped to what arrived,
    // free never arrived.
    file.readLimit = 26;
    ScopedMemoryTree tree;
    EXPECT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "cut"), ATOM_FILE_SHORT_READ);
    EXPECT_EQ(tree.tree.firstTop->record->payloadSize, 26u);
    EXPECT_EQ(DumpTree(tree.tree),
              "cut\n"
              "  ftyp (+0x00000000:4[0x4])\n"
              "  moov (+0x0000000C:6[0x6])\n");
    file.readLimit = 30;
    LoadAtomFileIntoTree(&tree.tree.service, &file.service, "cut");
    EXPECT_EQ(DumpTree(tree.tree),
              "cut\n"
              "  ftyp (+0x00000000:4[0x4])\n"
              "  moov (+0x0000000C:10[0xA])\n"
              "    mvhd (+0x00000014:2[0x2])\n");
}

TEST(AtomFileLoad, ReadsRealFilesThroughThePlatformService)
{
    std::error_code error;
    std::filesystem::path path =
        std::filesystem::temp_directory_path(error) / "kivra-load-test.mp4";
    FILE *f = fopen(path.string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(smallFile.data(), 1, smallFile.size(), f);
    fclose(f);
    ScopedMemoryTree tree;
    std::string name = path.string();
    EXPECT_EQ(LoadAtomFileIntoTree(&tree.tree.service, PlatformFileReadService(), name.c_str()),
              ATOM_FILE_LOADED);
    std::filesystem::remove(path, error);
    std::string expected = smallDump;
    expected.replace(0, 5, name);
    EXPECT_EQ(DumpTree(tree.tree), expected);

    EXPECT_EQ(LoadAtomFileIntoTree(&tree.tree.service, PlatformFileReadService(), name.c_str()),
              ATOM_FILE_NOT_OPENED);
    EXPECT_EQ(DumpTree(tree.tree), expected);
    // A directory is no file.
    std::string directory = std::filesystem::temp_directory_path(error).string();
    EXPECT_EQ(
        LoadAtomFileIntoTree(&tree.tree.service, PlatformFileReadService(), directory.c_str()),
        ATOM_FILE_NOT_OPENED);
}

}  // namespace
