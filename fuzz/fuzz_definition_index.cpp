// The definition index against the line-by-line lookup over an arbitrary
// definition text and an arbitrary atom, with the single-byte and the
// Shift-JIS step: both must insert the same texts in the same order, and
// neither may read past the atom's buffer (an exact heap block) or the text.
//
// Input: flags (bit 0: Shift-JIS step), the atom's length, the atom's
// bytes, then the text. The atom may be shorter than a header.

#include "defs/atom_descriptions.h"
#include "defs/definition_index.h"
#include "fuzz_support.h"

#include <string>
#include <vector>

namespace {

void CollectText(void *context, void *parentItem, const char *text)
{
    FUZZ_CHECK(parentItem == (void *)0x1234);
    ((std::vector<std::string> *)context)->push_back(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    bool shiftJis = (data[0] & 1) != 0;
    size_t atomLength = data[1] % 24;
    if (size < 2 + atomLength)
        return 0;
    unsigned char *atom = CopyToExactBlock(data + 2, atomLength);
    char *text = CopyToText(data + 2 + atomLength, size - 2 - atomLength);
    CharStep step = shiftJis ? CharStepShiftJis : CharStepSingleByte;

    std::vector<std::string> expected;
    DescriptionTree literal = {&expected, CollectText};
    AddAtomDescriptionsFromText(text, step, atom, 0, &literal, (void *)0x1234, atom + atomLength);

    DefinitionIndex *index = BuildDefinitionIndex(text, step);
    FUZZ_CHECK(index != 0);
    std::vector<std::string> items;
    DescriptionTree indexed = {&items, CollectText};
    AddAtomDescriptionsFromIndex(index, atom, &indexed, (void *)0x1234, atom + atomLength);
    FUZZ_CHECK(items == expected);

    FreeDefinitionIndex(index);
    HeapFreeBlock(text);
    HeapFreeBlock(atom);
    return 0;
}
