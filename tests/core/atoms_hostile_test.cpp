// Hostile files through the loader and the walk: deep nesting, many
// siblings, a real file cut at every byte, broken size fields at every
// level, a 64-bit size atom and non-printable types. Every case checks that
// items come in the walk's order (pre-order, header offsets rising) and
// that every record's range lies inside the buffer; the file buffer is an
// exact heap block, so the sanitizers catch any read past it.

#include "atoms/atom_file.h"
#include "atoms/atom_walk.h"
#include "defs/definition_text.h"

#include "tests/support/atom_fixtures.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string>
#include <vector>

namespace {

// Checks every record against the buffer and the walk's order: in pre-order
// each atom's header lies after the previous atom's, inside its parent's
// payload. Returns the number of atom items.
uint32_t CheckTree(const MemoryTree &tree)
{
    const MemoryTreeNode *root = tree.firstTop;
    EXPECT_TRUE(root != 0 && root->record != 0 && root->nextSibling == 0);
    if (root == 0 || root->record == 0)
        return 0;
    const uint32_t fileSize = root->record->payloadSize;
    uint32_t atoms = 0;
    int64_t lastHeader = -1;
    for (const MemoryTreeNode *node = NextMemoryTreeNode(&tree, root); node != 0;
         node = NextMemoryTreeNode(&tree, node)) {
        const AtomNodeRecord *record = node->record;
        if (record == 0)
            continue;
        atoms++;
        const AtomNodeRecord *parent = node->parent->record;
        EXPECT_EQ(record->base, root->record->base);
        EXPECT_GE(record->payloadOffset, 8u);
        EXPECT_LE((uint64_t)record->payloadOffset + record->payloadSize, fileSize);
        EXPECT_GE(record->payloadOffset - 8, parent->payloadOffset);
        EXPECT_LE((uint64_t)record->payloadOffset + record->payloadSize,
                  (uint64_t)parent->payloadOffset + parent->payloadSize);
        EXPECT_GT((int64_t)record->payloadOffset - 8, lastHeader);
        lastHeader = (int64_t)record->payloadOffset - 8;
        if (::testing::Test::HasFailure())
            break;
    }
    return atoms;
}

// The walk without description items: no definition text while it lives.
struct NoDefinitions {
    NoDefinitions() { FreeDefinitionText(); }
    ~NoDefinitions() { FreeDefinitionText(); }
};

// A chain of atoms walked down to the depth limit, checked node by node.
// Returns the number of atoms on the chain.
uint32_t CheckChain(const MemoryTree &tree, uint32_t levels)
{
    uint32_t depth = 0;
    for (const MemoryTreeNode *node = tree.firstTop; node != 0; node = node->firstChild) {
        EXPECT_EQ(node->depth, depth);
        if (depth > 0) {
            EXPECT_EQ(node->record->payloadOffset, 8u * depth);
            EXPECT_EQ(node->record->payloadSize, 8u * (levels - depth));
        }
        if (::testing::Test::HasFailure())
            return 0;
        depth++;
    }
    return depth - 1;
}

TEST(HostileAtomFile, AMillionNestedHeadersStopAtTheDepthLimitInOrder)
{
    NoDefinitions none;
    const uint32_t levels = 1000000;
    FakeFile file;
    file.content = NestedAtoms(levels);
    ScopedMemoryTree tree;
    ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "deep"), ATOM_FILE_LOADED);
    // The deepest atom shown keeps its whole payload but shows no children.
    EXPECT_EQ(CheckChain(tree.tree, levels), ATOM_WALK_DEPTH_LIMIT);
    EXPECT_EQ(tree.tree.itemCount, ATOM_WALK_DEPTH_LIMIT + 1);
    EXPECT_EQ(CheckTree(tree.tree), ATOM_WALK_DEPTH_LIMIT);
}

TEST(HostileAtomFile, TheWalkGoesOnAfterAnAtomAtTheDepthLimit)
{
    NoDefinitions none;
    for (uint32_t levels : {ATOM_WALK_DEPTH_LIMIT - 1, ATOM_WALK_DEPTH_LIMIT,
                            ATOM_WALK_DEPTH_LIMIT + 1, ATOM_WALK_DEPTH_LIMIT + 5}) {
        // The chain, then a sibling of its outermost atom.
        FakeFile file;
        file.content = Join({NestedAtoms(levels), Atom("free")});
        ScopedMemoryTree tree;
        ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "f"), ATOM_FILE_LOADED);
        uint32_t shown = levels < ATOM_WALK_DEPTH_LIMIT ? levels : ATOM_WALK_DEPTH_LIMIT;
        EXPECT_EQ(CheckChain(tree.tree, levels), shown) << levels;
        const MemoryTreeNode *free = tree.tree.firstTop->firstChild->nextSibling;
        ASSERT_TRUE(free != 0) << levels;
        EXPECT_EQ(free->record->payloadOffset, 8u * levels + 8);
        EXPECT_EQ(CheckTree(tree.tree), shown + 1);
    }
}

TEST(HostileAtomFile, AMillionSiblingsComeInFileOrder)
{
    NoDefinitions none;
    const uint32_t count = 1000000;
    FakeFile file;
    file.content.reserve(8u * count);
    for (uint32_t i = 0; i < count; i++)
        AppendBigEndian32(file.content, 8),
            file.content.insert(file.content.end(), {'f', 'r', 'e', 'e'});
    ScopedMemoryTree tree;
    ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "wide"), ATOM_FILE_LOADED);
    uint32_t i = 0;
    for (const MemoryTreeNode *node = tree.tree.firstTop->firstChild; node != 0;
         node = node->nextSibling, i++) {
        ASSERT_EQ(node->record->payloadOffset, 8u * i + 8);
        ASSERT_EQ(node->record->payloadSize, 0u);
        ASSERT_TRUE(node->firstChild == 0);
    }
    EXPECT_EQ(i, count);
    EXPECT_EQ(CheckTree(tree.tree), count);
}

// The atom items of a tree, in pre-order, as "depth label" lines.
std::vector<std::string> AtomLines(const MemoryTree &tree)
{
    std::vector<std::string> lines;
    for (const MemoryTreeNode *node = NextMemoryTreeNode(&tree, tree.firstTop); node != 0;
         node = NextMemoryTreeNode(&tree, node))
        if (node->record)
            lines.push_back(std::to_string(node->depth) + " " + node->text);
    return lines;
}

TEST(HostileAtomFile, TheSampleCutAtEveryByte)
{
    NoDefinitions none;
    const Bytes sample = ReadTestFileBytes(KIVRA_SOURCE_DIR "/samples/sample.mp4");
    ASSERT_GT(sample.size(), 1000u);
    FakeFile whole;
    whole.content = sample;
    ScopedMemoryTree full;
    ASSERT_EQ(LoadAtomFileIntoTree(&full.tree.service, &whole.service, "s"), ATOM_FILE_LOADED);
    ASSERT_GT(CheckTree(full.tree), 40u);
    // Atoms of the whole file, with where each ends.
    struct Whole {
        std::string line;
        uint32_t end;
    };
    std::vector<Whole> atoms;
    for (const MemoryTreeNode *node = NextMemoryTreeNode(&full.tree, full.tree.firstTop); node != 0;
         node = NextMemoryTreeNode(&full.tree, node))
        atoms.push_back({std::to_string(node->depth) + " " + node->text,
                         node->record->payloadOffset + node->record->payloadSize});

    for (uint32_t cut = 0; cut <= sample.size(); cut++) {
        FakeFile file;
        file.content.assign(sample.begin(), sample.begin() + cut);
        ScopedMemoryTree tree;
        ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "s"), ATOM_FILE_LOADED);
        CheckTree(tree.tree);
        // Every atom that the cut leaves whole is shown as in the whole file.
        std::vector<std::string> lines = AtomLines(tree.tree);
        size_t at = 0;
        for (const Whole &atom : atoms) {
            if (atom.end > cut)
                continue;
            while (at < lines.size() && lines[at] != atom.line)
                at++;
            ASSERT_LT(at, lines.size()) << "cut at " << cut << ": " << atom.line;
        }
        if (::testing::Test::HasFailure())
            break;
    }
}

// moov > trak > mdia > hdlr, each followed by a sibling, and a free atom
// at the end of the file.
const Bytes nestedFile = Join({
    Atom("moov",
         Join({Atom("trak",
                    Join({Atom("mdia", Join({Atom("hdlr", Raw({0, 0, 0, 0})), Atom("minf")})),
                          Atom("tref")})),
               Atom("udta")})),
    Atom("free", Raw({1, 2, 3})),
});
// Offsets of the size fields of moov, trak, mdia and hdlr.
const uint32_t levelOffsets[] = {0, 8, 16, 24};

TEST(HostileAtomFile, BrokenSizeFieldsAtEveryLevel)
{
    NoDefinitions none;
    for (uint32_t level = 0; level < 4; level++) {
        const uint32_t at = levelOffsets[level];
        const uint32_t values[] = {
            0, 1, 2, 3, 4, 5, 6, 7, 0x7FFFFFFFu, 0xFFFFFFFFu, (uint32_t)nestedFile.size() - at + 1};
        for (uint32_t value : values) {
            SCOPED_TRACE("level " + std::to_string(level) + " size " + std::to_string(value));
            FakeFile file;
            file.content = nestedFile;
            for (int i = 0; i < 4; i++)
                file.content[at + i] = (unsigned char)(value >> (24 - 8 * i));
            ScopedMemoryTree tree;
            ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "f"),
                      ATOM_FILE_LOADED);
            CheckTree(tree.tree);
            // The atoms before the broken one, in the walk's order, are intact.
            std::vector<std::string> lines = AtomLines(tree.tree);
            ASSERT_GE(lines.size(), level);
            const char *outer[] = {"1 moov", "2 trak", "3 mdia"};
            for (uint32_t i = 0; i < level; i++)
                EXPECT_EQ(lines[i].substr(0, 6), outer[i]);
            char label[32];
            snprintf(label, sizeof label, "(+0x%08X:", at);
            size_t index = level;
            bool shown = lines.size() > index && lines[index].find(label) != std::string::npos &&
                lines[index][0] == (char)('1' + level);
            if (value >= 1 && value <= 7) {
                // No trustworthy range: the atom and the rest of its range go.
                EXPECT_FALSE(shown);
            } else if (value == 0) {
                // Runs to the end of its range, is not walked into and ends
                // the range: the next item belongs to an enclosing range.
                ASSERT_TRUE(shown);
                if (index + 1 < lines.size()) {
                    EXPECT_LE(lines[index + 1][0], (char)('0' + level));
                }
            } else if (level == 0) {
                // Beyond the end of the file: a file cut short, shown as far
                // as it goes.
                ASSERT_TRUE(shown);
                snprintf(label, sizeof label, ":%u[", (uint32_t)nestedFile.size() - 8);
                EXPECT_NE(lines[0].find(label), std::string::npos);
            } else {
                // Beyond the enclosing atom: payload that only looks like a
                // header, and the rest of that range is not shown.
                EXPECT_FALSE(shown);
            }
        }
    }
}

TEST(HostileAtomFile, SizeZeroAtTopLevelRunsToTheEndOfTheFile)
{
    NoDefinitions none;
    EXPECT_EQ(LoadAndDump(Join({Atom("ftyp", Raw({'i', 's', 'o', 'm'})),
                                AtomWithSize(0, "mdat", Bytes(20, 0x41))})),
              "f\n"
              "  ftyp (+0x00000000:4[0x4])\n"
              "  mdat (+0x0000000C:20[0x14])\n");
}

TEST(HostileAtomFile, SixtyFourBitSizeAtomEndsItsRange)
{
    NoDefinitions none;
    // size 1, then a 64-bit size: another writer's large atom. The walk
    // knows no such header and shows nothing from there on.
    Bytes large = AtomWithSize(1, "mdat", Raw({0, 0, 0, 0, 0, 0, 0, 40}));
    large.resize(40, 0xAB);
    EXPECT_EQ(LoadAndDump(Join({Atom("ftyp", Raw({'i', 's', 'o', 'm'})), large, Atom("free")})),
              "f\n  ftyp (+0x00000000:4[0x4])\n");
    // The same inside a container.
    EXPECT_EQ(LoadAndDump(Join({Atom("moov", Join({Atom("mvhd"), large})), Atom("free")})),
              "f\n"
              "  moov (+0x00000000:48[0x30])\n"
              "    mvhd (+0x00000008:0[0x0])\n"
              "  free (+0x00000038:0[0x0])\n");
}

TEST(HostileAtomFile, NonPrintableTypeMidRangeEndsThatRangeOnly)
{
    NoDefinitions none;
    const unsigned char badTypes[][4] = {{'m', 'o', 0x7F, 'v'},
                                         {0x1F, 'a', 'b', 'c'},
                                         {'a', 'b', 'c', 0x80},
                                         {0xFF, 0xFF, 0xFF, 0xFF}};
    for (const auto &bad : badTypes) {
        Bytes broken = AtomWithSize(8, "xxxx");
        for (int i = 0; i < 4; i++)
            broken[4 + i] = bad[i];
        EXPECT_EQ(LoadAndDump(Join(
                      {Atom("moov", Join({Atom("mvhd"), broken, Atom("trak")})), Atom("free")})),
                  "f\n"
                  "  moov (+0x00000000:24[0x18])\n"
                  "    mvhd (+0x00000008:0[0x0])\n"
                  "  free (+0x00000020:0[0x0])\n");
    }
}

}  // namespace
