#include "defs/definition_line.h"
#include "defs/definition_text.h"
#include "platform/char_step.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Reads every line of text (length bytes, then the reader's own NUL) with
// the given step; "<NULL>" marks the reader's first NULL result.
std::vector<std::string> ReadAllLines(const std::string &text, CharStep step)
{
    // An exact copy with the final NUL, so that any read past it is caught.
    char *block = (char *)HeapAllocBlock(text.size() + 1);
    for (size_t i = 0; i < text.size(); i++)
        block[i] = text[i];
    block[text.size()] = '\0';
    std::vector<std::string> lines;
    const char *cursor = block;
    for (int guard = 0; guard < 64; guard++) {
        char *line = ReadDefinitionLineWithStep(&cursor, step);
        if (line == nullptr) {
            lines.push_back("<NULL>");
            break;
        }
        lines.push_back(line);
        HeapFreeBlock(line);
    }
    // Used up: the cursor rests on the final NUL and every further read is NULL.
    EXPECT_EQ(*cursor, '\0');
    EXPECT_EQ(ReadDefinitionLineWithStep(&cursor, step), nullptr);
    HeapFreeBlock(block);
    return lines;
}

struct LineCase {
    const char *name;
    std::string text;
    CharStep step;
    std::vector<std::string> lines;
};

TEST(DefinitionLineReader, SplitsLinesAsTheTerminatorsSay)
{
    const LineCase cases[] = {
        {"empty text", std::string(""), CharStepSingleByte, {"<NULL>"}},
        {"CR LF", std::string("A\r\nB"), CharStepSingleByte, {"A", "B", "<NULL>"}},
        {"LF LF", std::string("A\n\nB"), CharStepSingleByte, {"A", "", "B", "<NULL>"}},
        {"LF CR is two ends", std::string("A\n\rB"), CharStepSingleByte, {"A", "", "B", "<NULL>"}},
        {"CR CR LF", std::string("A\r\r\nB"), CharStepSingleByte, {"A", "", "B", "<NULL>"}},
        {"leading CR LF", std::string("\r\nA"), CharStepSingleByte, {"", "A", "<NULL>"}},
        {"lone CR", std::string("A\rB\r"), CharStepSingleByte, {"A", "B", "<NULL>"}},
        {"only a LF", std::string("\n"), CharStepSingleByte, {"", "<NULL>"}},
        {"blanks are a line", std::string("  \nx"), CharStepSingleByte, {"  ", "x", "<NULL>"}},
        {"inner NUL ends the text",
         std::string("A\nB\0C\nD", 7),
         CharStepSingleByte,
         {"A", "B", "<NULL>"}},
        // Shift-JIS: a lead byte takes the CR or LF after it into its character.
        {"lead byte before CR",
         std::string("\x82\rX\nY"),
         CharStepShiftJis,
         {"\x82\rX", "Y", "<NULL>"}},
        {"lead byte before LF",
         std::string("A\x82\nB\r\nC"),
         CharStepShiftJis,
         {"A\x82\nB", "C", "<NULL>"}},
        {"lead byte before the final NUL",
         std::string("A\nB\x82"),
         CharStepShiftJis,
         {"A", "B\x82", "<NULL>"}},
        {"trail byte 0x0A is no LF",
         std::string("\x83\x0A\x41\nZ"),
         CharStepShiftJis,
         {"\x83\x0A\x41", "Z", "<NULL>"}},
        {"single-byte step ends the line at the CR",
         std::string("\x82\rX"),
         CharStepSingleByte,
         {"\x82", "X", "<NULL>"}},
    };
    for (const LineCase &c : cases)
        EXPECT_EQ(ReadAllLines(c.text, c.step), c.lines) << c.name;
}

TEST(DefinitionLineReader, NullCursorsAndAnEndedTextGiveNull)
{
    EXPECT_EQ(ReadDefinitionLine(nullptr), nullptr);
    const char *cursor = nullptr;
    EXPECT_EQ(ReadDefinitionLine(&cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);
    char empty[] = "";
    cursor = empty;
    EXPECT_EQ(ReadDefinitionLine(&cursor), nullptr);
    EXPECT_EQ(cursor, empty);
}

TEST(DefinitionLineReader, AllocationFailureKeepsTheCursorOnTheLine)
{
    char text[] = "first\nsecond";
    const char *cursor = text;
    SetHeapFailureCountdown(0);
    char *failed = ReadDefinitionLine(&cursor);
    SetHeapFailureCountdown(-1);
    EXPECT_EQ(failed, nullptr);
    EXPECT_EQ(cursor, text);
    char *line = ReadDefinitionLine(&cursor);
    ASSERT_NE(line, nullptr);
    EXPECT_STREQ(line, "first");
    EXPECT_EQ(cursor, text + 6);
    HeapFreeBlock(line);
}

}  // namespace
