// The walk with 64-bit sizes followed (kivra-dump's default), against the
// window's walk over the same bytes.

#include "atoms/atom_walk.h"
#include "defs/definition_text.h"
#include "platform/heap.h"

#include "tests/support/atom_fixtures.h"
#include "tests/support/edge_fixtures.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

// An atom with size field 1 and the given 64-bit size after its type.
Bytes LargeAtomWithSize(uint64_t size, const char *type, const Bytes &payload = Bytes())
{
    Bytes out;
    AppendBigEndian32(out, 1);
    out.insert(out.end(), type, type + 4);
    AppendBigEndian32(out, (uint32_t)(size >> 32));
    AppendBigEndian32(out, (uint32_t)size);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// The same with the size that is right.
Bytes LargeAtom(const char *type, const Bytes &payload = Bytes())
{
    return LargeAtomWithSize(16 + payload.size(), type, payload);
}

// What the wide walk hands its sink, one line per atom, description line
// or stop, in the order they come. An item's handle is its depth.
struct SinkRecording {
    std::string lines;
    std::vector<AtomWalkStop> stops;
};

int RecordAtom(void *context, void *parentItem, const AtomWalkAtom *atom, void **item)
{
    SinkRecording *recording = (SinkRecording *)context;
    char label[ATOM_WIDE_LABEL_CAPACITY];
    FormatWideAtomLabel(label, atom->header + 4, atom->offset, atom->payloadSize);
    EXPECT_EQ((uintptr_t)parentItem + 1, atom->depth);
    recording->lines += std::string(2 * (atom->depth < 8 ? atom->depth : 8), ' ') + label;
    if (atom->headerSize != 8)
        recording->lines += " h" + std::to_string(atom->headerSize);
    recording->lines += "\n";
    *item = (void *)(uintptr_t)atom->depth;
    return 1;
}

void RecordDescription(void *context, void *parentItem, const char *text)
{
    SinkRecording *recording = (SinkRecording *)context;
    const uintptr_t depth = (uintptr_t)parentItem + 1;
    recording->lines += std::string(2 * (depth < 8 ? depth : 8), ' ') + text + "\n";
}

void RecordWideStop(void *context, const AtomWalkStop *stop)
{
    ((SinkRecording *)context)->stops.push_back(*stop);
}

SinkRecording WalkWith(AtomWalkSizes sizes, const Bytes &file)
{
    SinkRecording recording;
    AtomWalkSink sink;
    sink.context = &recording;
    sink.insertAtom = RecordAtom;
    sink.descriptions.context = &recording;
    sink.descriptions.insertChildText = RecordDescription;
    sink.reportStop = RecordWideStop;
    sink.stopContext = &recording;
    WalkAtomsWith(&sink, sizes, 0, file.data(), file.size(), 0, file.size());
    return recording;
}

TEST(AtomLabel, WideLabelGrowsPastEightHexDigitsOnlyWhereNeeded)
{
    struct Case {
        uint64_t offset, payloadSize;
        const char *expected;
    } cases[] = {
        {0x20, 248, "mdat (+0x00000020:248[0xF8])"},
        {0xFFFFFFF7u, 0xFFFFFFFFu, "mdat (+0xFFFFFFF7:4294967295[0xFFFFFFFF])"},
        {0x100000000ull, 0x100000000ull, "mdat (+0x100000000:4294967296[0x100000000])"},
        {0x140000010ull, 8, "mdat (+0x140000010:8[0x8])"},
        {0xFFFFFFFFFFFFFFF0ull, 0xFFFFFFFFFFFFFFFFull,
         "mdat (+0xFFFFFFFFFFFFFFF0:18446744073709551615[0xFFFFFFFFFFFFFFFF])"},
    };
    for (const Case &c : cases) {
        char label[ATOM_WIDE_LABEL_CAPACITY];
        uint32_t length =
            FormatWideAtomLabel(label, (const unsigned char *)"mdat", c.offset, c.payloadSize);
        EXPECT_STREQ(label, c.expected);
        EXPECT_EQ(length, strlen(c.expected));
        EXPECT_LT(length, (uint32_t)ATOM_WIDE_LABEL_CAPACITY);
    }
}

TEST(AtomWideWalk, FollowsSixtyFourBitSizesWhereTheWindowStops)
{
    const Bytes moov = Atom("moov", Join({FullBox("mvhd", 4), Atom("trak", FullBox("tkhd", 0))}));
    struct Case {
        const char *name;
        Bytes file;
        const char *wide;    // the tree with 64-bit sizes followed
        const char *window;  // the window's tree of the same bytes
    } cases[] = {
        {"64-bit mdat, then moov", Join({FtypIsom(), LargeAtom("mdat", Bytes(20, 0)), moov}),
         "  ftyp (+0x00000000:4[0x4])\n"
         "  mdat (+0x0000000C:20[0x14]) h16\n"
         "  moov (+0x00000030:36[0x24])\n"
         "    mvhd (+0x00000038:8[0x8])\n"
         "    trak (+0x00000048:12[0xC])\n"
         "      tkhd (+0x00000050:4[0x4])\n",
         "  ftyp (+0x00000000:4[0x4])\n"},
        {"the payload of a 64-bit atom starts 16 bytes in and is walked",
         LargeAtom("moov", Join({Atom("mvhd"), LargeAtom("udta", Atom("name"))})),
         "  moov (+0x00000000:32[0x20]) h16\n"
         "    mvhd (+0x00000010:0[0x0])\n"
         "    udta (+0x00000018:8[0x8]) h16\n"
         "      name (+0x00000028:0[0x0])\n",
         ""},
        {"a 64-bit size of exactly 16: an empty payload", Join({LargeAtom("free"), Atom("skip")}),
         "  free (+0x00000000:0[0x0]) h16\n  skip (+0x00000010:0[0x0])\n", ""},
        {"size 0 still runs to the end of the range",
         Join({LargeAtom("moov", Join({Atom("mvhd"), AtomWithSize(0, "free", Bytes(5, 1))}))}),
         "  moov (+0x00000000:21[0x15]) h16\n"
         "    mvhd (+0x00000010:0[0x0])\n"
         "    free (+0x00000018:5[0x5])\n",
         ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WalkWith(ATOM_WALK_64BIT_SIZES, c.file).lines, c.wide);
        EXPECT_EQ(WalkWith(ATOM_WALK_32BIT_SIZES, c.file).lines, c.window);
    }
}

TEST(AtomWideWalk, MalformedSixtyFourBitSizesStopOrClampAsThirtyTwoBitOnesDo)
{
    struct Expected {
        AtomWalkStopReason reason;
        uint64_t offset, sizeField, bytesLeft, rangeOffset;
        uint32_t depth, headerSize;
        uint64_t parentOffset;
    };
    const uint64_t allOnes = 0xFFFFFFFFFFFFFFFFull;
    struct Case {
        const char *name;
        Bytes file;
        const char *tree;
        std::vector<Expected> stops;
    } cases[] = {
        {"a 64-bit size that overruns its atom",
         LargeAtom("moov",
                   Join({Atom("mvhd"), LargeAtomWithSize(0x100000000ull, "trak"), Bytes(8, 0)})),
         "  moov (+0x00000000:32[0x20]) h16\n    mvhd (+0x00000010:0[0x0])\n",
         {{ATOM_WALK_SIZE_OVERRUNS, 0x18, 0x100000000ull, 24, 0x10, 1, 16, 0}}},
        {"64-bit sizes below 16 are too small: 15, 8 and 0",
         Join({Atom("moov", Join({Atom("mvhd"), LargeAtomWithSize(15, "trak", Bytes(8, 0))})),
               Atom("udta", Join({Atom("name"), LargeAtomWithSize(8, "free", Bytes(8, 0))})),
               Atom("meta", Join({Atom("hdlr"), LargeAtomWithSize(0, "free", Bytes(8, 0))}))}),
         "  moov (+0x00000000:32[0x20])\n    mvhd (+0x00000008:0[0x0])\n"
         "  udta (+0x00000028:32[0x20])\n    name (+0x00000030:0[0x0])\n"
         "  meta (+0x00000050:32[0x20])\n    hdlr (+0x00000058:0[0x0])\n",
         {{ATOM_WALK_SIZE_TOO_SMALL, 0x10, 15, 24, 8, 1, 16, 0},
          {ATOM_WALK_SIZE_TOO_SMALL, 0x38, 8, 24, 0x30, 1, 16, 0x28},
          {ATOM_WALK_SIZE_TOO_SMALL, 0x60, 0, 24, 0x58, 1, 16, 0x50}}},
        {"2^64-1 at the top level: cut short by the end of the file",
         Join({FtypIsom(), LargeAtomWithSize(allOnes, "mdat", Atom("moov"))}),
         "  ftyp (+0x00000000:4[0x4])\n  mdat (+0x0000000C:8[0x8]) h16\n"
         "    moov (+0x0000001C:0[0x0])\n",
         {{ATOM_WALK_CUT_SHORT, 0x0C, allOnes, 24, 0, 0, 16, 0}}},
        {"2^64-1 inside a complete atom: overruns",
         Atom("moov", Join({Atom("mvhd"), LargeAtomWithSize(allOnes, "trak", Bytes(4, 0))})),
         "  moov (+0x00000000:28[0x1C])\n    mvhd (+0x00000008:0[0x0])\n",
         {{ATOM_WALK_SIZE_OVERRUNS, 0x10, allOnes, 20, 8, 1, 16, 0}}},
        {"size 1 with fewer than 16 bytes left",
         Join({Atom("free"), AtomWithSize(1, "mdat", Bytes(7, 0))}),
         "  free (+0x00000000:0[0x0])\n",
         {{ATOM_WALK_HEADER_TOO_SHORT, 8, 1, 15, 0, 0, 16, 0}}},
        {"a cut through a 64-bit atom and the atom inside it",
         Join({FtypIsom(),
               LargeAtomWithSize(
                   400, "moov",
                   Join({Atom("mvhd"), LargeAtomWithSize(300, "trak", Bytes(10, 7))}))}),
         "  ftyp (+0x00000000:4[0x4])\n  moov (+0x0000000C:34[0x22]) h16\n"
         "    mvhd (+0x0000001C:0[0x0])\n    trak (+0x00000024:10[0xA]) h16\n",
         {{ATOM_WALK_CUT_SHORT, 0x0C, 400, 50, 0, 0, 16, 0},
          {ATOM_WALK_CUT_SHORT, 0x24, 300, 26, 0x1C, 1, 16, 0x0C}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SinkRecording recording = WalkWith(ATOM_WALK_64BIT_SIZES, c.file);
        EXPECT_EQ(recording.lines, c.tree);
        ASSERT_EQ(recording.stops.size(), c.stops.size());
        for (size_t i = 0; i < c.stops.size(); i++) {
            const AtomWalkStop &got = recording.stops[i];
            const Expected &want = c.stops[i];
            EXPECT_EQ(got.reason, want.reason) << i;
            EXPECT_EQ(got.offset, want.offset) << i;
            EXPECT_EQ(got.sizeField, want.sizeField) << i;
            EXPECT_EQ(got.bytesLeft, want.bytesLeft) << i;
            EXPECT_EQ(got.rangeOffset, want.rangeOffset) << i;
            EXPECT_EQ(got.depth, want.depth) << i;
            EXPECT_EQ(got.headerSize, want.headerSize) << i;
            if (got.depth > 0) {
                EXPECT_EQ(got.parentOffset, want.parentOffset) << i;
            }
            EXPECT_EQ((uintptr_t)got.parentItem, got.depth) << i;
        }
    }
}

bool SameStop(const AtomWalkStop &a, const AtomWalkStop &b)
{
    return a.reason == b.reason && a.offset == b.offset && a.sizeField == b.sizeField &&
        a.bytesLeft == b.bytesLeft && a.rangeOffset == b.rangeOffset && a.depth == b.depth &&
        a.atomsBefore == b.atomsBefore && a.parentItem == b.parentItem &&
        a.headerSize == b.headerSize && (a.depth == 0 || a.parentOffset == b.parentOffset);
}

// Without a size field of 1 the two modes are one walk: same atoms, same
// stops, whatever the bytes.
TEST(AtomWideWalk, AgreesWithTheWindowWhereNoSizeFieldIsOne)
{
    const Bytes files[] = {
        Join({FtypIsom(), MovieWithFreeText(), MediaLikeAHeader()}),
        CutThreeDeep(),
        Join({Atom("udta", Join({Atom("name"), Bytes(4, 0)})),
              Atom("ilst", Join({Atom("aART"), Atom("\xA9nam", Text("t"))}))}),
        Join({Atom("moov", Join({Atom("free"), AtomWithSize(7, "trak", Bytes(8, 0))}))}),
        NestedAtoms(ATOM_WALK_DEPTH_LIMIT + 2),
    };
    for (const Bytes &whole : files) {
        for (size_t cut = 0; cut <= whole.size(); cut += whole.size() > 400 ? 997 : 1) {
            const Bytes file(whole.begin(), whole.begin() + cut);
            SinkRecording wide = WalkWith(ATOM_WALK_64BIT_SIZES, file);
            SinkRecording window = WalkWith(ATOM_WALK_32BIT_SIZES, file);
            ASSERT_EQ(wide.lines, window.lines) << cut;
            ASSERT_EQ(wide.stops.size(), window.stops.size()) << cut;
            for (size_t i = 0; i < wide.stops.size(); i++)
                ASSERT_TRUE(SameStop(wide.stops[i], window.stops[i])) << cut << " " << i;
        }
    }
}

TEST(AtomWideWalk, DescriptionsOfASixtyFourBitAtomMatchItsPayloadNotItsSize)
{
    // Read where the size is, the brand would be 00 00 00 00.
    const char definitions[] = "[ftyp] File Type\n\n[ftypisom] ISO brand\n\n[ftyp\x01] none\n";
    char *block = (char *)HeapAllocBlock(sizeof definitions);
    ASSERT_NE(block, nullptr);
    memcpy(block, definitions, sizeof definitions);
    SetDefinitionText(block, CharStepSingleByte);
    const Bytes file = Join({LargeAtom("ftyp", Text("isom")), Atom("free")});
    EXPECT_EQ(WalkWith(ATOM_WALK_64BIT_SIZES, file).lines,
              "  ftyp (+0x00000000:4[0x4]) h16\n"
              "    [ftyp] File Type\n"
              "    [ftypisom] ISO brand\n"
              "  free (+0x00000014:0[0x0])\n");
    FreeDefinitionText();
}

TEST(AtomWideWalk, MemoryRunningOutEndsTheWalkCleanly)
{
    // The walk's own stack is its only allocation: it grows by doubling, 64
    // frames first, so the 302 levels take four allocations.
    const Bytes file = Join({FtypIsom(), LargeAtom("moov", NestedAtoms(300)), Atom("free")});
    const std::string whole = WalkWith(ATOM_WALK_64BIT_SIZES, file).lines;
    ASSERT_NE(whole.find("free (+0x"), std::string::npos);
    for (long successes = 0; successes < 4; successes++) {
        SetHeapFailureCountdown(successes);
        SinkRecording recording = WalkWith(ATOM_WALK_64BIT_SIZES, file);
        SetHeapFailureCountdown(-1);
        EXPECT_EQ(whole.compare(0, recording.lines.size(), recording.lines), 0) << successes;
        EXPECT_LT(recording.lines.size(), whole.size()) << successes;
    }
}

}  // namespace
