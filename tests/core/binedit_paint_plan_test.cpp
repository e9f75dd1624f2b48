#include "controls/binedit/binedit_paint_plan.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const int32_t CellWidth = 8;
const int32_t CellHeight = 12;
// Distinct from the header colours, so that a test sees which one a cell got.
const uint32_t WindowColour = 0x00F0E0D0u;
const uint32_t WindowTextColour = 0x00102030u;

// A view over a heap block of exactly `bytes.size()` bytes, so that the
// sanitizer catches any read past the last byte.
struct View {
    std::vector<unsigned char> bytes;
    BinEditState state;
    int32_t clientWidth = 640;
    int32_t clientHeight = 120;
    int32_t focused = 0;
    int32_t topRow = 0;

    explicit View(std::vector<unsigned char> content) : bytes(content), state()
    {
        state.data = bytes.empty() ? nullptr : bytes.data();
        state.size = (uint32_t)bytes.size();
        state.cellWidth = CellWidth;
        state.cellHeight = CellHeight;
    }

    BinEditPaintInput Input() const
    {
        BinEditPaintInput input;
        input.state = &state;
        input.clientWidth = clientWidth;
        input.clientHeight = clientHeight;
        input.focused = focused;
        input.topRow = topRow;
        input.windowColour = WindowColour;
        input.windowTextColour = WindowTextColour;
        return input;
    }
};

std::vector<unsigned char> Counting(uint32_t count)
{
    std::vector<unsigned char> bytes(count);
    for (uint32_t i = 0; i < count; i++)
        bytes[i] = (unsigned char)i;
    return bytes;
}

// The plan built into a block of exactly its capacity.
struct Plan {
    std::vector<BinEditPaintOp> ops;
    uint32_t caretShown;
};

Plan Build(const View &view)
{
    BinEditPaintInput input = view.Input();
    BinEditPaintPlan plan = {};
    uint32_t capacity = GetBinEditPaintPlanCapacity(&input);
    std::vector<BinEditPaintOp> ops(capacity + 1);
    plan.ops = ops.data();
    plan.capacity = capacity;
    BuildBinEditPaintPlan(&input, &plan);
    EXPECT_LE(plan.count, capacity);
    ops.resize(plan.count);
    return Plan{ops, plan.caretShown};
}

// The text operations laid out on the character grid: one string per screen
// row, a blank for every cell no text covers.
std::vector<std::string> Screen(const Plan &plan, int rows)
{
    std::vector<std::string> lines(rows, std::string(80, ' '));
    for (const BinEditPaintOp &op : plan.ops) {
        if (op.kind != BINEDIT_PAINT_TEXT)
            continue;
        EXPECT_EQ(op.left % CellWidth, 0);
        EXPECT_EQ(op.top % CellHeight, 0);
        int row = op.top / CellHeight;
        int cell = op.left / CellWidth;
        if (row >= rows)
            continue;
        const char *text = GetBinEditPaintOpText(&op);
        for (uint32_t i = 0; i < op.length; i++)
            lines[row][cell + i] = text[i];
    }
    for (std::string &line : lines)
        line.erase(line.find_last_not_of(' ') + 1);
    return lines;
}

std::vector<BinEditPaintOp> OpsOfKind(const Plan &plan, int32_t kind)
{
    std::vector<BinEditPaintOp> found;
    for (const BinEditPaintOp &op : plan.ops)
        if (op.kind == kind)
            found.push_back(op);
    return found;
}

const BinEditPaintOp *TextAt(const Plan &plan, int32_t cell, int32_t row)
{
    for (const BinEditPaintOp &op : plan.ops)
        if (op.kind == BINEDIT_PAINT_TEXT && op.left == cell * CellWidth &&
            op.top == row * CellHeight)
            return &op;
    return nullptr;
}

const char Header[] = "        +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F  0123456789ABCDEF";

}  // namespace

TEST(BinEditPaintPlan, FiveByteViewOpByOp)
{
    View view({'H', 'e', 'l', 'l', 'o'});
    Plan plan = Build(view);
    struct Expected {
        int32_t kind;
        int32_t left, top, right, bottom;
        const char *text;
    } expected[] = {
        {BINEDIT_PAINT_FILL, 0, 0, 641, 121, nullptr},
        {BINEDIT_PAINT_TEXT, 64, 0, 0, 0, BinEditHeaderText},
        {BINEDIT_PAINT_TEXT, 0, 12, 0, 0, "000000"},
        {BINEDIT_PAINT_TEXT, 64, 12, 0, 0, "48"},
        {BINEDIT_PAINT_XOR_OUTLINE, 64, 12, 72, 24,
         nullptr},  // caret byte, active column, no focus
        {BINEDIT_PAINT_TEXT, 88, 12, 0, 0, "65"},
        {BINEDIT_PAINT_TEXT, 112, 12, 0, 0, "6C"},
        {BINEDIT_PAINT_TEXT, 136, 12, 0, 0, "6C"},
        {BINEDIT_PAINT_TEXT, 160, 12, 0, 0, "6F"},
        {BINEDIT_PAINT_TEXT, 456, 12, 0, 0, "H"},
        {BINEDIT_PAINT_XOR_BLOCK, 456, 12, 465, 25, nullptr},  // the other column
        {BINEDIT_PAINT_TEXT, 464, 12, 0, 0, "e"},
        {BINEDIT_PAINT_TEXT, 472, 12, 0, 0, "l"},
        {BINEDIT_PAINT_TEXT, 480, 12, 0, 0, "l"},
        {BINEDIT_PAINT_TEXT, 488, 12, 0, 0, "o"},
    };
    ASSERT_EQ(plan.ops.size(), sizeof(expected) / sizeof(expected[0]));
    for (size_t i = 0; i < plan.ops.size(); i++) {
        const BinEditPaintOp &op = plan.ops[i];
        EXPECT_EQ(op.kind, expected[i].kind) << i;
        EXPECT_EQ(op.left, expected[i].left) << i;
        EXPECT_EQ(op.top, expected[i].top) << i;
        if (op.kind != BINEDIT_PAINT_TEXT) {
            EXPECT_EQ(op.right, expected[i].right) << i;
            EXPECT_EQ(op.bottom, expected[i].bottom) << i;
        } else {
            EXPECT_EQ(std::string(GetBinEditPaintOpText(&op), op.length),
                      std::string(expected[i].text))
                << i;
        }
    }
    EXPECT_EQ(plan.ops[1].length, 65u);
    EXPECT_EQ(plan.caretShown, 0u);
}

TEST(BinEditPaintPlan, RowsOnTheGrid)
{
    struct Case {
        const char *name;
        std::vector<unsigned char> bytes;
        int32_t topRow;
        std::vector<std::string> lines;
    } cases[] = {
        {"5 bytes",
         {'H', 'e', 'l', 'l', 'o'},
         0,
         {Header, "000000  48 65 6C 6C 6F                                   Hello", ""}},
        {"20 bytes",
         Counting(20),
         0,
         {Header, "000000  00 01 02 03 04 05 06 07-08 09 0A 0B 0C 0D 0E 0F  ................",
          "000010  10 11 12 13                                      ....", ""}},
        {"7 bytes: no dash",
         Counting(7),
         0,
         {Header, "000000  00 01 02 03 04 05 06                             .......", ""}},
        {"8 bytes: the dash",
         Counting(8),
         0,
         {Header, "000000  00 01 02 03 04 05 06 07-                         ........", ""}},
        {"printable range",
         {0x1F, 0x20, 0x7E, 0x7F, 0x80, 0x41, 0xFF, 0x00},
         0,
         {Header, "000000  1F 20 7E 7F 80 41 FF 00-                         . ~..A..", ""}},
        {"top row 2",
         Counting(50),
         2,
         {Header, "000020  20 21 22 23 24 25 26 27-28 29 2A 2B 2C 2D 2E 2F   !\"#$%&'()*+,-./",
          "000030  30 31                                            01", ""}},
    };
    for (const Case &c : cases) {
        View view(c.bytes);
        view.topRow = c.topRow;
        view.state.caret = 0xFFFF;  // no marks in the way
        Plan plan = Build(view);
        EXPECT_EQ(Screen(plan, (int)c.lines.size()), c.lines) << c.name;
        EXPECT_TRUE(OpsOfKind(plan, BINEDIT_PAINT_XOR_BLOCK).empty()) << c.name;
    }
    // the dash is the third character of byte 7's text, at column 31
    View eight(Counting(8));
    Plan eightPlan = Build(eight);
    const BinEditPaintOp *seventh = TextAt(eightPlan, 8 + 3 * 7, 1);
    ASSERT_NE(seventh, nullptr);
    EXPECT_EQ(std::string(seventh->chars, seventh->length), "07-");
}

TEST(BinEditPaintPlan, ColoursFollowTheFocus)
{
    for (int focused = 0; focused < 2; focused++) {
        View view(Counting(20));
        view.focused = focused;
        Plan plan = Build(view);
        uint32_t label = focused ? BINEDIT_COLOUR_LIGHT_GREY : BINEDIT_COLOUR_WHITE;
        const BinEditPaintOp *cells[] = {TextAt(plan, 8, 0), TextAt(plan, 0, 1),
                                         TextAt(plan, 0, 2)};
        for (const BinEditPaintOp *op : cells) {
            ASSERT_NE(op, nullptr);
            EXPECT_EQ(op->background, label);
            EXPECT_EQ(op->foreground, BINEDIT_COLOUR_BLACK);
        }
        const BinEditPaintOp *bytes[] = {TextAt(plan, 8, 1), TextAt(plan, 31 + 1, 1),
                                         TextAt(plan, 57, 2)};
        for (const BinEditPaintOp *op : bytes) {
            ASSERT_NE(op, nullptr);
            EXPECT_EQ(op->background, WindowColour);
            EXPECT_EQ(op->foreground, WindowTextColour);
        }
    }
}

TEST(BinEditPaintPlan, CaretMarksByFocusAndColumn)
{
    // caret on 0x13: hex cell 17 and text cell 60 of screen row 2
    const int32_t hexX = 17 * CellWidth, textX = 60 * CellWidth, y = 2 * CellHeight;
    struct Case {
        int32_t focused;
        int32_t column;
        int32_t moveX;
        int32_t outlineX;
        int32_t blockX;
        int32_t show;
    } cases[] = {
        {1, BINEDIT_HEX_COLUMN, hexX, -1, textX, 1},
        {1, BINEDIT_TEXT_COLUMN, textX, -1, hexX, 1},
        {0, BINEDIT_HEX_COLUMN, -1, hexX, textX, 0},
        {0, BINEDIT_TEXT_COLUMN, -1, textX, hexX, 0},
    };
    for (const Case &c : cases) {
        View view(Counting(40));
        view.focused = c.focused;
        view.state.column = c.column;
        view.state.caret = 0x13;
        Plan plan = Build(view);
        std::vector<BinEditPaintOp> moves = OpsOfKind(plan, BINEDIT_PAINT_CARET_MOVE);
        std::vector<BinEditPaintOp> outlines = OpsOfKind(plan, BINEDIT_PAINT_XOR_OUTLINE);
        std::vector<BinEditPaintOp> blocks = OpsOfKind(plan, BINEDIT_PAINT_XOR_BLOCK);
        ASSERT_EQ(moves.size(), c.moveX >= 0 ? 1u : 0u);
        ASSERT_EQ(outlines.size(), c.outlineX >= 0 ? 1u : 0u);
        ASSERT_EQ(blocks.size(), 1u);
        if (c.moveX >= 0) {
            EXPECT_EQ(moves[0].left, c.moveX);
            EXPECT_EQ(moves[0].top, y);
        }
        if (c.outlineX >= 0) {
            EXPECT_EQ(outlines[0].left, c.outlineX);
            EXPECT_EQ(outlines[0].top, y);
            EXPECT_EQ(outlines[0].right, c.outlineX + CellWidth);
            EXPECT_EQ(outlines[0].bottom, y + CellHeight);
        }
        EXPECT_EQ(blocks[0].left, c.blockX);
        EXPECT_EQ(blocks[0].top, y);
        EXPECT_EQ(blocks[0].right, c.blockX + CellWidth + 1);
        EXPECT_EQ(blocks[0].bottom, y + CellHeight + 1);
        EXPECT_EQ(OpsOfKind(plan, BINEDIT_PAINT_CARET_SHOW).size(), (size_t)c.show);
        EXPECT_TRUE(OpsOfKind(plan, BINEDIT_PAINT_CARET_HIDE).empty());
        EXPECT_EQ(plan.caretShown, (uint32_t)c.show);
        // each mark comes right after its cell's text
        for (size_t i = 0; i < plan.ops.size(); i++) {
            int32_t kind = plan.ops[i].kind;
            if (kind == BINEDIT_PAINT_XOR_BLOCK || kind == BINEDIT_PAINT_XOR_OUTLINE ||
                kind == BINEDIT_PAINT_CARET_MOVE) {
                ASSERT_GT(i, 0u);
                EXPECT_EQ(plan.ops[i - 1].kind, BINEDIT_PAINT_TEXT);
                EXPECT_EQ(plan.ops[i - 1].left, plan.ops[i].left);
                EXPECT_EQ(plan.ops[i - 1].top, plan.ops[i].top);
            }
        }
        EXPECT_EQ(plan.ops.back().kind, c.show ? BINEDIT_PAINT_CARET_SHOW : BINEDIT_PAINT_TEXT);
    }
}

TEST(BinEditPaintPlan, ShowAndHideOnlyOnAChange)
{
    // caret on byte 3 (row 0); rows 0 to 9 in view from top row 0
    struct Case {
        const char *name;
        int32_t focused;
        uint32_t caret;
        int32_t topRow;
        uint32_t shownBefore;
        int32_t action;
        uint32_t shownAfter;
    } cases[] = {
        {"comes into view", 1, 3, 0, 0, BINEDIT_PAINT_CARET_SHOW, 1},
        {"stays in view", 1, 3, 0, 1, -1, 1},
        {"scrolled out of view", 1, 3, 1, 1, BINEDIT_PAINT_CARET_HIDE, 0},
        {"stays out of view", 1, 3, 1, 0, -1, 0},
        {"scrolled back", 1, 3, 0, 0, BINEDIT_PAINT_CARET_SHOW, 1},
        {"past the end", 1, 400, 0, 1, BINEDIT_PAINT_CARET_HIDE, 0},
        {"below the rows in view", 1, 0xB0, 0, 1, BINEDIT_PAINT_CARET_HIDE, 0},
        {"no focus", 0, 3, 0, 0, -1, 0},
    };
    for (const Case &c : cases) {
        View view(Counting(300));
        view.focused = c.focused;
        view.state.caret = c.caret;
        view.topRow = c.topRow;
        view.state.caretShown = c.shownBefore;
        Plan plan = Build(view);
        size_t shows = OpsOfKind(plan, BINEDIT_PAINT_CARET_SHOW).size();
        size_t hides = OpsOfKind(plan, BINEDIT_PAINT_CARET_HIDE).size();
        EXPECT_EQ(shows, c.action == BINEDIT_PAINT_CARET_SHOW ? 1u : 0u) << c.name;
        EXPECT_EQ(hides, c.action == BINEDIT_PAINT_CARET_HIDE ? 1u : 0u) << c.name;
        EXPECT_EQ(plan.caretShown, c.shownAfter) << c.name;
    }
    // past the end, neither column is marked
    View past(Counting(40));
    past.state.caret = 50;
    Plan plan = Build(past);
    EXPECT_TRUE(OpsOfKind(plan, BINEDIT_PAINT_XOR_BLOCK).empty());
    EXPECT_TRUE(OpsOfKind(plan, BINEDIT_PAINT_XOR_OUTLINE).empty());
    EXPECT_TRUE(OpsOfKind(plan, BINEDIT_PAINT_CARET_MOVE).empty());
}

TEST(BinEditPaintPlan, NoBytesShowsTheHeaderAndTheCaretOnTheFirstHexCell)
{
    for (int32_t column = 0; column < 2; column++)
        for (int32_t focused = 0; focused < 2; focused++)
            for (uint32_t shownBefore = 0; shownBefore < 2; shownBefore++) {
                if (!focused && shownBefore)
                    continue;  // the caret exists only with the focus
                View view({});
                view.state.column = column;
                view.focused = focused;
                view.state.caretShown = shownBefore;
                Plan plan = Build(view);
                size_t expectedCount = focused && !shownBefore ? 4 : 3;
                ASSERT_EQ(plan.ops.size(), expectedCount);
                EXPECT_EQ(plan.ops[0].kind, BINEDIT_PAINT_FILL);
                EXPECT_EQ(plan.ops[1].kind, BINEDIT_PAINT_TEXT);
                EXPECT_EQ(plan.ops[1].text, BinEditHeaderText);
                EXPECT_EQ(plan.ops[2].kind, BINEDIT_PAINT_CARET_MOVE);
                EXPECT_EQ(plan.ops[2].left, 8 * CellWidth);
                EXPECT_EQ(plan.ops[2].top, CellHeight);
                if (expectedCount == 4) {
                    EXPECT_EQ(plan.ops[3].kind, BINEDIT_PAINT_CARET_SHOW);
                }
                EXPECT_EQ(plan.caretShown, focused ? 1u : 0u);
            }
}

TEST(BinEditPaintPlan, BackgroundOnlyWithoutACellSize)
{
    View view(Counting(40));
    view.state.cellWidth = 0;
    view.state.cellHeight = 0;
    view.focused = 1;
    Plan plan = Build(view);
    ASSERT_EQ(plan.ops.size(), 1u);
    EXPECT_EQ(plan.ops[0].kind, BINEDIT_PAINT_FILL);
    EXPECT_EQ(plan.ops[0].right, 641);
    EXPECT_EQ(plan.ops[0].bottom, 121);
    EXPECT_EQ(plan.caretShown, 0u);
}

TEST(BinEditPaintPlan, OnlyTheRowsInViewAreDrawn)
{
    struct Case {
        int32_t height;
        uint32_t size;
        int32_t topRow;
        size_t rows;
    } cases[] = {
        {120, 1000, 0, 10},  // the tenth row starts at the bottom edge, clipped
        {121, 1000, 0, 11}, {11, 1000, 0, 1}, {0, 1000, 0, 0},
        {-5, 1000, 0, 0},   {120, 40, 0, 3},  // no row past the last byte
        {120, 1000, 62, 1},                   // the last row, 8 bytes
        {120, 40, 3, 0},                      // a top row past the end draws no row
        {120, 40, -1, 0},
    };
    for (const Case &c : cases) {
        View view(Counting(c.size));
        view.clientHeight = c.height;
        view.topRow = c.topRow;
        Plan plan = Build(view);
        size_t offsets = 0;
        for (const BinEditPaintOp &op : plan.ops)
            if (op.kind == BINEDIT_PAINT_TEXT && op.left == 0)
                offsets++;
        EXPECT_EQ(offsets, c.rows) << "height " << c.height << " top " << c.topRow;
    }
}

TEST(BinEditPaintPlan, OffsetsKeepEveryDigit)
{
    struct Case {
        uint32_t offset;
        const char *text;
    } cases[] = {
        {0, "000000"},
        {0x10, "000010"},
        {0xFFFFF0, "FFFFF0"},
        {0x1000000, "1000000"},
        {0xFFFFFF0, "FFFFFF0"},
        {0x10000000, "10000000"},
        {0xFFFFFFF0u, "FFFFFFF0"},
    };
    for (const Case &c : cases) {
        char text[8];
        uint32_t length = FormatBinEditOffset(c.offset, text);
        EXPECT_EQ(std::string(text, length), c.text);
    }
}

TEST(BinEditPaintPlan, SeventhOffsetDigitFromSixteenMebibytes)
{
    View view(std::vector<unsigned char>(0x1000000 + 20, 0x41));
    view.topRow = 0xFFFFF;
    Plan plan = Build(view);
    std::vector<std::string> lines = Screen(plan, 4);
    EXPECT_EQ(lines[1].substr(0, 8), "FFFFF0  ");
    EXPECT_EQ(lines[2].substr(0, 10), "1000000 41");
    EXPECT_EQ(lines[3].substr(0, 14), "1000010 41 41 ");
}

TEST(BinEditPaintPlan, AnAllocationFailurePaintsAnEmptyView)
{
    View view(Counting(300));
    view.focused = 1;
    BinEditPaintInput input = view.Input();
    BinEditPaintPlan plan;
    SetHeapFailureCountdown(0);
    MakeBinEditPaintPlan(&input, &plan);
    SetHeapFailureCountdown(-1);
    ASSERT_EQ(plan.count, 4u);
    EXPECT_EQ(plan.ops[0].kind, BINEDIT_PAINT_FILL);
    EXPECT_EQ(plan.ops[1].text, BinEditHeaderText);
    EXPECT_EQ(plan.ops[2].kind, BINEDIT_PAINT_CARET_MOVE);
    EXPECT_EQ(plan.ops[3].kind, BINEDIT_PAINT_CARET_SHOW);
    FreeBinEditPaintPlan(&plan);

    MakeBinEditPaintPlan(&input, &plan);
    EXPECT_GT(plan.count, 4u + 33u * 9u);
    FreeBinEditPaintPlan(&plan);
}

TEST(BinEditPaintPlan, NeverWritesPastTheCapacity)
{
    View view(Counting(300));
    view.focused = 1;
    view.state.caret = 20;
    BinEditPaintInput input = view.Input();
    uint32_t capacity = GetBinEditPaintPlanCapacity(&input);
    for (uint32_t room = 0; room <= capacity; room += 7) {
        std::vector<BinEditPaintOp> ops(room + 1);
        ops[room].kind = 12345;  // a guard entry just past the room given
        BinEditPaintPlan plan = {};
        plan.ops = ops.data();
        plan.capacity = room;
        BuildBinEditPaintPlan(&input, &plan);
        EXPECT_LE(plan.count, room);
        EXPECT_EQ(ops[room].kind, 12345);
    }
}
