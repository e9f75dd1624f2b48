#include "atoms/atom_file.h"
#include "atoms/atom_walk.h"
#include "bytes/big_endian.h"
#include "defs/definition_text.h"
#include "platform/heap.h"

#include "tests/support/atom_fixtures.h"
#include "tests/support/edge_fixtures.h"
#include "tests/support/reference_atom_walk.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

namespace {

TEST(BigEndianRead, ReadsFourBytesOnlyWhenAllLieBeforeTheEnd)
{
    const unsigned char bytes[] = {0xFF, 0x80, 0x01, 0x7F, 0xAB};
    struct Case {
        size_t start, available;
        int ok;
        uint32_t value;
    } cases[] = {
        {0, 5, 1, 0xFF80017Fu},  // high bits do not spread into the bytes after
        {1, 4, 1, 0x80017FABu}, {0, 4, 1, 0xFF80017Fu},
        {0, 3, 0, 0x12345678u},  // one byte short: the value is left alone
        {2, 0, 0, 0x12345678u},
    };
    for (const Case &c : cases) {
        uint32_t value = 0x12345678u;
        EXPECT_EQ(ReadBigEndian32(bytes + c.start, bytes + c.start + c.available, &value), c.ok)
            << c.start << "+" << c.available;
        EXPECT_EQ(value, c.value) << c.start << "+" << c.available;
    }
    uint32_t value = 7;
    EXPECT_EQ(ReadBigEndian32(bytes + 3, bytes + 2, &value), 0);  // an end before the start
    EXPECT_EQ(value, 7u);
}

TEST(AtomLabel, FormatsTypeOffsetAndPayloadSize)
{
    struct Case {
        const char *type;
        uint32_t offset, payloadSize;
        const char *expected;
    } cases[] = {
        {"moov", 0x20, 248, "moov (+0x00000020:248[0xF8])"},
        {"free", 0, 0, "free (+0x00000000:0[0x0])"},
        {"mdat", 0xFFFFFFF7u, 0xFFFFFFFFu, "mdat (+0xFFFFFFF7:4294967295[0xFFFFFFFF])"},
        {"a b~", 0xABCDEF, 10, "a b~ (+0x00ABCDEF:10[0xA])"},
        {"uuid", 0x1000, 0x100000, "uuid (+0x00001000:1048576[0x100000])"},
    };
    for (const Case &c : cases) {
        char label[ATOM_LABEL_CAPACITY];
        uint32_t length =
            FormatAtomLabel(label, (const unsigned char *)c.type, c.offset, c.payloadSize);
        EXPECT_STREQ(label, c.expected);
        EXPECT_EQ(length, std::string(c.expected).size());
    }
}

TEST(AtomWalk, TypicalFileGivesContainersDownToTheFirstLeaf)
{
    Bytes file = Join({
        Atom("ftyp", Raw({'i', 's', 'o', 'm', 0, 0, 2, 0})),
        Atom("moov",
             Join({FullBox("mvhd", 4),
                   Atom("trak", Join({FullBox("tkhd", 0), Atom("mdia", FullBox("mdhd", 2))}))})),
        Atom("mdat", Raw({1, 2, 3})),
    });
    EXPECT_EQ(LoadAndDump(file),
              "f\n"
              "  ftyp (+0x00000000:8[0x8])\n"
              "  moov (+0x00000010:58[0x3A])\n"
              "    mvhd (+0x00000018:8[0x8])\n"
              "    trak (+0x00000028:34[0x22])\n"
              "      tkhd (+0x00000030:4[0x4])\n"
              "      mdia (+0x0000003C:14[0xE])\n"
              "        mdhd (+0x00000044:6[0x6])\n"
              "  mdat (+0x00000052:3[0x3])\n");
}

TEST(AtomWalk, EdgeCasesOfTheHeader)
{
    struct Case {
        const char *name;
        Bytes file;
        const char *expected;
    } cases[] = {
        {"first type byte 0x00", Join({Raw({0, 0, 0, 8, 0, 'o', 'o', 'v'}), Atom("free")}), "f\n"},
        {"type byte above 0x7E", Raw({0, 0, 0, 8, 'm', 0x80, 'o', 'v'}), "f\n"},
        {"type byte 0x7F", Raw({0, 0, 0, 8, 'm', 0x7F, 'o', 'v'}), "f\n"},
        {"atoms after a bad type are not shown",
         Join({Atom("free"), Raw({0, 0, 0, 8, 'a', 'b', 'c', 0x1F}), Atom("skip")}),
         "f\n  free (+0x00000000:0[0x0])\n"},
        {"size 8", Atom("free"), "f\n  free (+0x00000000:0[0x0])\n"},
        {"size 0 takes the rest, no children, last item",
         Join({Atom("ftyp"), AtomWithSize(0, "mdat", Atom("moov", Atom("free")))}),
         "f\n  ftyp (+0x00000000:0[0x0])\n  mdat (+0x00000008:16[0x10])\n"},
        {"size 0 inside a container ends that range only",
         Join({Atom("moov",
                    Join({Atom("trak", AtomWithSize(0, "free", Raw({1, 2}))), Atom("udta")})),
               Atom("skip")}),
         "f\n  moov (+0x00000000:26[0x1A])\n    trak (+0x00000008:10[0xA])\n"
         "      free (+0x00000010:2[0x2])\n    udta (+0x0000001A:0[0x0])\n"
         "  skip (+0x00000022:0[0x0])\n"},
        {"fewer than 8 bytes left", Join({Atom("free"), Raw({0, 0, 0, 8, 'a', 'b', 'c'})}),
         "f\n  free (+0x00000000:0[0x0])\n"},
        {"size field 1 stops the range",
         Join({Atom("free"), AtomWithSize(1, "mdat", Bytes(16, 0))}),
         "f\n  free (+0x00000000:0[0x0])\n"},
        {"size field 7 stops the range", Join({AtomWithSize(7, "mdat", Bytes(16, 0))}), "f\n"},
        {"payload too short for a header is a leaf", Atom("moov", Raw({0, 0, 0, 8, 'a', 'b'})),
         "f\n  moov (+0x00000000:6[0x6])\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LoadAndDump(c.file), c.expected) << c.name;
}

TEST(AtomWalk, OversizedAtomsAreClampedOnlyWhereTheFileWasCutShort)
{
    struct Case {
        const char *name;
        Bytes file;
        const char *expected;
    } cases[] = {
        {"cut-off moov keeps what survived, children walked",
         Join({Atom("ftyp"),
               AtomWithSize(1000, "moov",
                            Join({FullBox("mvhd", 4), Raw({0, 0, 0, 40, 't', 'r'})}))}),
         "f\n  ftyp (+0x00000000:0[0x0])\n  moov (+0x00000008:22[0x16])\n"
         "    mvhd (+0x00000010:8[0x8])\n"},
        {"cut-off nested atoms are clamped at every level",
         AtomWithSize(500, "moov", AtomWithSize(400, "trak", AtomWithSize(300, "mdia", Raw({1})))),
         "f\n  moov (+0x00000000:17[0x11])\n    trak (+0x00000008:9[0x9])\n"
         "      mdia (+0x00000010:1[0x1])\n"},
        // The cut goes through moov, trak and mdia; mvhd and tkhd stay whole,
        // and so does hdlr, whose text is not read as an atom.
        {"cut three levels deep, complete atoms beside the chain keep their size", CutThreeDeep(),
         "f\n  ftyp (+0x00000000:4[0x4])\n  moov (+0x0000000C:97[0x61])\n"
         "    mvhd (+0x00000014:4[0x4])\n    trak (+0x00000020:77[0x4D])\n"
         "      tkhd (+0x00000028:4[0x4])\n      mdia (+0x00000034:57[0x39])\n"
         "        hdlr (+0x0000003C:43[0x2B])\n"},
        {"a complete last atom's text is no atom",
         Join({Atom("ftyp"), Atom("moov", Atom("free", Text(googleFreeText)))}),
         "f\n  ftyp (+0x00000000:0[0x0])\n  moov (+0x00000008:51[0x33])\n"
         "    free (+0x00000010:43[0x2B])\n"},
        // Inside hdlr the bytes look like a header with a huge size: they are
        // payload, and the next atom of the file is still found.
        {"oversized header inside a closed range stops that range",
         Join({Atom("hdlr", Join({AtomWithSize(0x7FFFFFFF, "vide"), Raw({0, 0})})), Atom("free")}),
         "f\n  hdlr (+0x00000000:10[0xA])\n  free (+0x00000012:0[0x0])\n"},
        {"sibling after a valid child, oversized in a closed range",
         Join({Atom("moov", Join({Atom("mvhd"), AtomWithSize(64, "trak")})), Atom("free")}),
         "f\n  moov (+0x00000000:16[0x10])\n    mvhd (+0x00000008:0[0x0])\n"
         "  free (+0x00000018:0[0x0])\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LoadAndDump(c.file), c.expected) << c.name;
}

const Bytes movieWithText = MovieWithFreeText();
const Bytes mediaLikeAHeader = MediaLikeAHeader();

// The dump of an atom's subtree with offsets taken relative to the atom, so
// that one atom's trees at two places in a file can be compared.
std::string SubtreeOf(const MemoryTree &tree, const char *type)
{
    for (const MemoryTreeNode *node = NextMemoryTreeNode(&tree, 0); node != 0;
         node = NextMemoryTreeNode(&tree, node)) {
        if (node->record == 0 || strncmp(node->text, type, 4) != 0 || node->depth != 1)
            continue;
        std::string out;
        const uint32_t at = node->record->payloadOffset - 8;
        for (const MemoryTreeNode *item = node; item != 0; item = NextMemoryTreeNode(&tree, item)) {
            if (item != node && item->depth <= node->depth)
                break;
            out += std::to_string(item->depth) + " " + std::string(item->text, 4);
            if (item->record != 0)
                out += " " + std::to_string(item->record->payloadOffset - at) + ":" +
                    std::to_string(item->record->payloadSize);
            out += "\n";
        }
        return out;
    }
    return "(no " + std::string(type) + ")";
}

TEST(AtomWalk, TheLastAtomOfAFileHasTheChildrenItHasElsewhere)
{
    struct Case {
        const char *name;
        Bytes last;            // a complete atom, last in the file
        const char *type;      // its type
        const char *expected;  // its subtree, offsets relative to it
    } cases[] = {
        {"moov last, text in free", movieWithText, "moov",
         "1 moov 8:67\n2 mvhd 16:8\n2 free 32:43\n"},
        {"mdat last, header-shaped media", mediaLikeAHeader, "mdat", "1 mdat 8:32\n"},
    };
    const Bytes ftyp = FtypIsom();
    const Bytes filler = Atom("skip", Bytes(40, 0x11));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes layouts[] = {
            Join({ftyp, filler, c.last}),  // last, the layout that invented atoms
            Join({ftyp, c.last, filler}),  // followed by another atom
            c.last,                        // the whole file
        };
        for (const Bytes &file : layouts) {
            FakeFile fake;
            fake.content = file;
            ScopedMemoryTree tree;
            ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &fake.service, "f"),
                      ATOM_FILE_LOADED);
            EXPECT_EQ(SubtreeOf(tree.tree, c.type), c.expected);
        }
    }
}

// The tree of a file cut after cut bytes: every atom that the cut left
// whole is shown as in the whole file and is not clamped; the clamped atoms
// form one chain down from the top level, the atoms the cut goes through.
void CheckCutFile(const Bytes &whole, uint32_t cut)
{
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const ReferenceReading full =
        ReadAtomsForReference(whole.data(), (uint32_t)whole.size(), ATOM_WALK_DEPTH_LIMIT);
    FakeFile fake;
    fake.content.assign(whole.begin(), whole.begin() + cut);
    ScopedMemoryTree tree;
    ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &fake.service, "f"), ATOM_FILE_LOADED);
    const MemoryTreeNode *deepestClamped = tree.tree.firstTop;
    size_t wholeAtomsShown = 0;
    for (const MemoryTreeNode *node = tree.tree.firstTop->firstChild; node != 0;
         node = NextMemoryTreeNode(&tree.tree, node)) {
        if (node->record == 0)
            continue;
        const unsigned char *h = node->record->base + node->record->payloadOffset - 8;
        const uint32_t sizeField = ReferenceBigEndian32(h);
        const bool clamped = sizeField != 0 && sizeField != node->record->payloadSize + 8;
        if (clamped) {
            EXPECT_EQ(node->parent, deepestClamped) << node->text;
            EXPECT_EQ(node->record->payloadOffset + node->record->payloadSize, cut) << node->text;
            deepestClamped = node;
            continue;
        }
        bool inWhole = false;
        for (const ReferenceAtom &atom : full.atoms)
            inWhole = inWhole || (atom.depth == node->depth && ReferenceLabel(atom) == node->text);
        EXPECT_TRUE(inWhole) << node->text;
        wholeAtomsShown++;
    }
    // Every atom the cut left whole is there.
    size_t survivors = 0;
    for (const ReferenceAtom &atom : full.atoms) {
        bool insideChainOrBefore = true;
        for (const ReferenceAtom &outer : full.atoms) {
            // An atom inside an atom that lost its header is gone with it.
            if (outer.depth < atom.depth && outer.offset < atom.offset &&
                atom.offset < outer.offset + 8 + outer.payloadSize && outer.offset + 8 > cut)
                insideChainOrBefore = false;
        }
        if (insideChainOrBefore && atom.offset + 8 + atom.payloadSize <= cut)
            survivors++;
    }
    EXPECT_EQ(wholeAtomsShown, survivors);
    // Each atom the cut goes through with its header in the file is clamped.
    size_t chain = 0;
    for (const MemoryTreeNode *n = deepestClamped; n != tree.tree.firstTop; n = n->parent)
        chain++;
    size_t through = 0;
    for (const ReferenceAtom &atom : full.atoms)
        through += atom.offset + 8 <= cut && cut < atom.offset + 8 + atom.payloadSize;
    EXPECT_GE(chain, through);
}

TEST(AtomWalk, AFileCutAtAnyByteClampsOnlyTheAtomsTheCutGoesThrough)
{
    const Bytes ftyp = FtypIsom();
    const Bytes files[] = {
        Join({ftyp, Atom("mdat", Bytes(16, 0x11)), movieWithText}),
        Join({ftyp, movieWithText, mediaLikeAHeader}),
        Join({ftyp,
              Atom("moov",
                   Atom("trak",
                        Atom("mdia", Join({FullBox("mdhd", 12), Atom("hdlr", Text("vide"))})))),
              mediaLikeAHeader}),
    };
    for (const Bytes &whole : files) {
        for (uint32_t cut = 0; cut <= whole.size(); cut++) {
            CheckCutFile(whole, cut);
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

void RecordStop(void *context, const AtomWalkStop *stop)
{
    ((std::vector<AtomWalkStop> *)context)->push_back(*stop);
}

TEST(AtomWalk, ReportsWhereAndWhyItStoppedToTheTreesListener)
{
    struct Expected {
        AtomWalkStopReason reason;
        uint32_t offset, sizeField, bytesLeft, rangeOffset, depth, atomsBefore;
    };
    struct Case {
        const char *name;
        Bytes file;
        std::vector<Expected> stops;
    } cases[] = {
        {"complete file, leaves only",
         Join({FtypIsom(), MovieWithFreeText(), MediaLikeAHeader()}),
         {}},
        {"cut three levels deep",
         CutThreeDeep(),
         {{ATOM_WALK_CUT_SHORT, 0x0C, 200, 105, 0, 0, 1},
          {ATOM_WALK_CUT_SHORT, 0x20, 150, 85, 0x14, 1, 1},
          {ATOM_WALK_CUT_SHORT, 0x34, 100, 65, 0x28, 2, 1},
          {ATOM_WALK_HEADER_TOO_SHORT, 0x6F, 0x0100, 6, 0x3C, 3, 1}}},
        {"overrun after a child",
         Join({FtypIsom(),
               Atom("moov",
                    Join({FullBox("mvhd", 0), AtomWithSize(64, "trak", Bytes(4, 0)),
                          Bytes(8, 0)}))}),
         {{ATOM_WALK_SIZE_OVERRUNS, 0x20, 64, 20, 0x14, 1, 1}}},
        {"size 1 and size 7 where atoms were found",
         Join({Atom("moov", Join({Atom("free"), AtomWithSize(7, "trak", Bytes(8, 0))})),
               AtomWithSize(1, "mdat", Bytes(8, 0))}),
         {{ATOM_WALK_SIZE_TOO_SMALL, 0x10, 7, 16, 8, 1, 1},
          {ATOM_WALK_SIZE_64BIT, 0x20, 1, 16, 0, 0, 1}}},
        {"nothing found in a payload: a leaf, no stop",
         Atom("moov", Atom("trak", Join({AtomWithSize(3, "tkhd"), Bytes(4, 0)}))),
         {}},
        {"nothing found at the top level: a stop",
         Raw({0, 0, 0, 9, 'a', 'b', 'c', 0x01, 0}),
         {{ATOM_WALK_TYPE_NOT_PRINTABLE, 0, 9, 9, 0, 0, 0}}},
        {"QuickTime zero and iTunes type are their own reasons",
         Join({Atom("udta", Join({Atom("name"), Bytes(4, 0)})),
               Atom("ilst", Join({Atom("aART"), Atom("\xA9nam", Text("t"))}))}),
         {{ATOM_WALK_ZERO_TERMINATOR, 0x10, 0, 4, 8, 1, 1},
          {ATOM_WALK_ITUNES_ITEM_TYPE, 0x24, 9, 9, 0x1C, 1, 1}}},
        {"0xA9 type whose size does not fit is not printable",
         Atom("ilst", Join({Atom("aART"), AtomWithSize(99, "\xA9nam", Text("t"))})),
         {{ATOM_WALK_TYPE_NOT_PRINTABLE, 0x10, 99, 9, 8, 1, 1}}},
        {"depth limit with children under it",
         NestedAtoms(ATOM_WALK_DEPTH_LIMIT + 1),
         {{ATOM_WALK_DEPTH_LIMIT_REACHED, 8 * (ATOM_WALK_DEPTH_LIMIT - 1), 16, 16,
           8 * (ATOM_WALK_DEPTH_LIMIT - 1), ATOM_WALK_DEPTH_LIMIT - 1, 0}}},
        {"depth limit over a leaf is no stop", NestedAtoms(ATOM_WALK_DEPTH_LIMIT), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeFile file;
        file.content = c.file;
        ScopedMemoryTree tree;
        std::vector<AtomWalkStop> stops;
        tree.tree.service.reportStop = RecordStop;
        tree.tree.service.stopContext = &stops;
        ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "f"), ATOM_FILE_LOADED);
        ASSERT_EQ(stops.size(), c.stops.size());
        for (size_t i = 0; i < stops.size(); i++) {
            const AtomWalkStop &got = stops[i];
            const Expected &want = c.stops[i];
            EXPECT_EQ(got.reason, want.reason) << i;
            EXPECT_EQ(got.offset, want.offset) << i;
            EXPECT_EQ(got.sizeField, want.sizeField) << i;
            EXPECT_EQ(got.bytesLeft, want.bytesLeft) << i;
            EXPECT_EQ(got.rangeOffset, want.rangeOffset) << i;
            EXPECT_EQ(got.depth, want.depth) << i;
            EXPECT_EQ(got.atomsBefore, want.atomsBefore) << i;
            // The item the range's atoms go under: the root, or the atom
            // whose payload the range is.
            const MemoryTreeNode *parent = (const MemoryTreeNode *)got.parentItem;
            ASSERT_NE(parent, nullptr);
            EXPECT_EQ(parent->depth, got.depth);
            EXPECT_EQ(parent->record->payloadOffset, got.rangeOffset);
        }
    }
}

TEST(AtomWalk, RecordsHoldAbsoluteRangesInsideTheBuffer)
{
    FakeFile file;
    file.content = Join({Atom("ftyp", Bytes(4, 'x')),
                         Atom("moov", Atom("trak", Atom("mdia", Atom("minf", Raw({9}))))),
                         AtomWithSize(99, "mdat", Raw({1, 2, 3}))});
    ScopedMemoryTree tree;
    ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &file.service, "f"), ATOM_FILE_LOADED);
    const MemoryTreeNode *root = tree.tree.firstTop;
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->record->ownsBuffer, 1u);
    EXPECT_EQ(root->record->payloadOffset, 0u);
    EXPECT_EQ(root->record->payloadSize, (uint32_t)file.content.size());
    int atoms = 0;
    for (const MemoryTreeNode *node = root->firstChild; node != nullptr;
         node = NextMemoryTreeNode(&tree.tree, node)) {
        ASSERT_NE(node->record, nullptr);
        const AtomNodeRecord *r = node->record;
        EXPECT_EQ(r->ownsBuffer, 0u);
        EXPECT_EQ(r->base, root->record->base);
        EXPECT_LE((uint64_t)r->payloadOffset + r->payloadSize, file.content.size()) << node->text;
        // The label's offset is the header's absolute offset: payloadOffset - 8.
        char expected[16];
        snprintf(expected, sizeof expected, "+0x%08X:", r->payloadOffset - 8);
        EXPECT_NE(std::string(node->text).find(expected), std::string::npos) << node->text;
        atoms++;
    }
    EXPECT_EQ(atoms, 6);
}

TEST(AtomWalk, DescriptionsComeFirstUnderTheirAtom)
{
    FakeFile defs;
    const char text[] = "[moov] Movie\nm1\n\n[mvhd]\nh1\n[m]\nany m\n";
    defs.content.assign(text, text + sizeof text - 1);
    ASSERT_TRUE(LoadDefinitionTextWith(&defs.service, "atom.def"));
    std::string dump = LoadAndDump(Atom("moov", Join({FullBox("mvhd", 0), Atom("free")})));
    FreeDefinitionText();
    EXPECT_EQ(dump,
              "f\n"
              "  moov (+0x00000000:20[0x14])\n"
              "    [moov] Movie\n"
              "    m1\n"
              "    [m]\n"
              "    any m\n"
              "    mvhd (+0x00000008:4[0x4])\n"
              "      [mvhd]\n"
              "      h1\n"
              "      [m]\n"
              "      any m\n"
              "    free (+0x00000014:0[0x0])\n");
}

TEST(AtomWalk, TwoHundredThousandNestedHeadersNeedNoCallStack)
{
    const uint32_t depth = 200000;
    Bytes file(depth * 8);
    for (uint32_t level = 0; level < depth; level++) {
        uint32_t size = (depth - level) * 8;
        unsigned char *h = &file[level * 8];
        h[0] = (unsigned char)(size >> 24);
        h[1] = (unsigned char)(size >> 16);
        h[2] = (unsigned char)(size >> 8);
        h[3] = (unsigned char)size;
        h[4] = 'n';
        h[5] = 'e';
        h[6] = 's';
        h[7] = 't';
    }
    FakeFile fake;
    fake.content = file;
    ScopedMemoryTree tree;
    ASSERT_EQ(LoadAtomFileIntoTree(&tree.tree.service, &fake.service, "deep"), ATOM_FILE_LOADED);
    // The walk descends no deeper than the tree view survives.
    const uint32_t shown = depth < ATOM_WALK_DEPTH_LIMIT ? depth : ATOM_WALK_DEPTH_LIMIT;
    EXPECT_EQ(tree.tree.itemCount, shown + 1);
    // Each atom is the only child of the one before it, at the next offset.
    uint32_t level = 0;
    for (const MemoryTreeNode *node = tree.tree.firstTop->firstChild; node != nullptr;
         node = node->firstChild, level++) {
        ASSERT_EQ(node->depth, level + 1);
        ASSERT_EQ(node->record->payloadOffset, level * 8 + 8);
        ASSERT_EQ(node->record->payloadSize, (depth - level) * 8 - 8);
        ASSERT_EQ(node->firstChild, node->lastChild);
    }
    EXPECT_EQ(level, shown);
}

TEST(AtomWalk, WalksOnlyTheGivenRange)
{
    // A nested call with an absolute offset: only the range is read.
    Bytes bytes = Join({Atom("skip", Bytes(8, 0)), Atom("trak", Atom("tkhd")), Atom("free")});
    ExactBuffer buffer(bytes);
    ScopedMemoryTree tree;
    WalkAtoms(&tree.tree.service, nullptr, buffer.data, buffer.size, 16, 16);
    EXPECT_EQ(DumpTree(tree.tree), "trak (+0x00000010:8[0x8])\n  tkhd (+0x00000018:0[0x0])\n");
    // A range that leaves the buffer is refused whole.
    ScopedMemoryTree refused;
    WalkAtoms(&refused.tree.service, nullptr, buffer.data, buffer.size, 16, buffer.size);
    EXPECT_EQ(refused.tree.itemCount, 0u);
}

TEST(AtomWalk, AllocationFailureAtAnyPointLeavesAConsistentTree)
{
    FakeFile defs;
    const char text[] = "[moov]\nbody\n[trak]\nt\n";
    defs.content.assign(text, text + sizeof text - 1);
    ASSERT_TRUE(LoadDefinitionTextWith(&defs.service, "atom.def"));
    FakeFile file;
    file.content =
        Join({Atom("ftyp"), Atom("moov", Join({Atom("trak", Atom("tkhd")), Atom("trak")}))});
    std::string complete = LoadAndDump(file.content);
    const uint32_t atomCount = 5;
    bool reachedComplete = false;
    for (long successes = 0; successes < 200 && !reachedComplete; successes++) {
        ScopedMemoryTree tree;
        std::vector<AtomWalkStop> stops;
        tree.tree.service.reportStop = RecordStop;
        tree.tree.service.stopContext = &stops;
        SetHeapFailureCountdown(successes);
        LoadAtomFileIntoTree(&tree.tree.service, &file.service, "f");
        SetHeapFailureCountdown(-1);
        std::string dump = DumpTree(tree.tree);
        // Whatever got in is the start of the complete tree (or nothing).
        EXPECT_EQ(complete.compare(0, dump.size(), dump), 0) << successes << "\n" << dump;
        reachedComplete = dump == complete;
        // Once the root is in, a walk that lost atoms says so (once for each
        // atom it gave up on); a complete walk says nothing.
        uint32_t atoms = 0;
        for (const MemoryTreeNode *node = tree.tree.firstTop; node != nullptr;
             node = NextMemoryTreeNode(&tree.tree, node))
            atoms += node->record != nullptr && node->depth > 0;
        if (tree.tree.firstTop == nullptr || atoms == atomCount) {
            EXPECT_TRUE(stops.empty()) << successes;
        } else {
            EXPECT_FALSE(stops.empty()) << successes << "\n" << dump;
            for (const AtomWalkStop &stop : stops)
                EXPECT_EQ(stop.reason, ATOM_WALK_OUT_OF_MEMORY) << successes;
        }
    }
    FreeDefinitionText();
    EXPECT_TRUE(reachedComplete);
}

}  // namespace
