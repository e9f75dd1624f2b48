// The line reader over arbitrary text with the single-byte and the
// Shift-JIS step. Checks each line against a plain reference, that the
// cursor only moves forward and stays on the text, that lines and their
// terminators cover the text up to its NUL exactly, that no line holds a CR
// or LF at the start of a character, that a failed allocation returns NULL
// with the cursor unchanged, and that the end gives NULL again and again.
//
// Input: flags (bit 0: Shift-JIS step, bit 1: fail one allocation), the
// number of the read whose allocation fails, then the text.

#include "defs/definition_line.h"
#include "defs/definition_text.h"
#include "fuzz_lines_reference.h"
#include "fuzz_support.h"

#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    bool shiftJis = (data[0] & 1) != 0;
    bool failOne = (data[0] & 2) != 0;
    size_t failingRead = data[1];
    char *text = CopyToText(data + 2, size - 2);
    size_t textLength = strlen(text);
    CharStep step = shiftJis ? CharStepShiftJis : CharStepSingleByte;

    std::vector<ReferenceLine> expected = ReferenceLines(text, shiftJis);
    const char *cursor = text;
    size_t read = 0;
    for (size_t n = 0;; n++) {
        const char *before = cursor;
        if (failOne && n == failingRead) {
            SetHeapFailureCountdown(0);
            char *line = ReadDefinitionLineWithStep(&cursor, step);
            SetHeapFailureCountdown(-1);
            FUZZ_CHECK(line == 0 && cursor == before);
            continue;
        }
        char *line = ReadDefinitionLineWithStep(&cursor, step);
        if (line == 0) {
            FUZZ_CHECK(read == expected.size());
            FUZZ_CHECK(cursor == text + textLength);
            break;
        }
        FUZZ_CHECK(read < expected.size());
        const ReferenceLine &want = expected[read++];
        FUZZ_CHECK((size_t)(before - text) == want.start);
        FUZZ_CHECK(cursor > before && cursor <= text + textLength);
        FUZZ_CHECK((size_t)(cursor - text) == want.next);
        size_t length = strlen(line);
        FUZZ_CHECK(length == want.text.size() && memcmp(line, want.text.data(), length) == 0);
        FUZZ_CHECK(memcmp(line, before, length) == 0);
        // What lies between the line and the cursor is its terminator.
        size_t terminator = (size_t)(cursor - before) - length;
        const char *t = before + length;
        FUZZ_CHECK(terminator <= 2);
        FUZZ_CHECK(terminator == 0       ? *t == '\0'
                       : terminator == 1 ? (*t == '\r' || *t == '\n')
                                         : (t[0] == '\r' && t[1] == '\n'));
        for (const char *p = line; *p != '\0'; p = step(p))
            FUZZ_CHECK(*p != '\r' && *p != '\n');
        HeapFreeBlock(line);
    }
    // Used up: every further read gives NULL and leaves the cursor alone.
    const char *end = cursor;
    FUZZ_CHECK(ReadDefinitionLineWithStep(&cursor, step) == 0 && cursor == end);
    FUZZ_CHECK(ReadDefinitionLineWithStep(0, step) == 0);
    const char *none = 0;
    FUZZ_CHECK(ReadDefinitionLineWithStep(&none, step) == 0 && none == 0);
    HeapFreeBlock(text);
    return 0;
}
