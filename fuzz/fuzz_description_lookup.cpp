// The description lookup over an arbitrary definition text and an arbitrary
// atom, with the single-byte and the Shift-JIS character step. Checks the
// inserted items against a plain reference of the section rules, that the
// name comparison never reads past the atom's buffer (it is an exact heap
// block), and that with the heap giving out the items are a prefix of the
// full answer and every line is released.
//
// The definition index (the sections cut once) must give exactly the same
// items, needs no allocation per lookup, and leaves the text as it was.
//
// Input: flags (bit 0: Shift-JIS step, bit 1: heap failure), a failure
// countdown, the atom's length - 8, the atom's bytes, then the text.

#include "defs/atom_descriptions.h"
#include "defs/definition_index.h"
#include "fuzz_lines_reference.h"
#include "fuzz_support.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> ReferenceLookup(const char *text, bool shiftJis, const unsigned char *atom,
                                         size_t atomLength)
{
    std::vector<ReferenceLine> lines = ReferenceLines(text, shiftJis);
    std::vector<std::string> out;
    size_t i = 0;
    while (i < lines.size()) {
        const std::string &header = lines[i++].text;
        if (header.empty() || header[0] != '[')
            continue;
        size_t nameEnd = header.find(']', 1);
        std::string name =
            header.substr(1, nameEnd == std::string::npos ? std::string::npos : nameEnd - 1);
        if (4 + name.size() > atomLength)
            continue;
        if (name.compare(0, name.size(), (const char *)atom + 4, name.size()) != 0)
            continue;
        out.push_back(header);
        while (i < lines.size()) {
            const std::string &body = lines[i].text;
            if (body.empty()) {
                i++;
                break;
            }
            if (body[0] == '[')
                break;
            out.push_back(body);
            i++;
        }
    }
    return out;
}

void CollectText(void *context, void *parentItem, const char *text)
{
    FUZZ_CHECK(parentItem == (void *)0x1234);
    ((std::vector<std::string> *)context)->push_back(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    bool shiftJis = (data[0] & 1) != 0;
    bool failHeap = (data[0] & 2) != 0;
    long countdown = data[1];
    size_t atomLength = 8 + data[2];
    if (size < 3 + atomLength)
        return 0;
    unsigned char *atom = CopyToExactBlock(data + 3, atomLength);
    char *text = CopyToText(data + 3 + atomLength, size - 3 - atomLength);

    std::vector<std::string> expected = ReferenceLookup(text, shiftJis, atom, atomLength);
    std::vector<std::string> items;
    DescriptionTree tree = {&items, CollectText};
    CharStep step = shiftJis ? CharStepShiftJis : CharStepSingleByte;
    if (failHeap)
        SetHeapFailureCountdown(countdown);
    AddAtomDescriptionsFromText(text, step, atom, 0, &tree, (void *)0x1234, atom + atomLength);
    SetHeapFailureCountdown(-1);

    if (failHeap) {
        FUZZ_CHECK(items.size() <= expected.size());
    } else {
        FUZZ_CHECK(items.size() == expected.size());
    }
    for (size_t i = 0; i < items.size(); i++)
        FUZZ_CHECK(items[i] == expected[i]);

    if (failHeap)
        SetHeapFailureCountdown(countdown);
    DefinitionIndex *index = BuildDefinitionIndex(text, step);
    SetHeapFailureCountdown(-1);
    if (index != 0) {
        FUZZ_CHECK(DefinitionIndexText(index) == text);
        std::vector<std::string> indexed;
        DescriptionTree indexTree = {&indexed, CollectText};
        std::string before(text, size - 3 - atomLength + 1);  // with the final NUL
        AddAtomDescriptionsFromIndex(index, atom, &indexTree, (void *)0x1234, atom + atomLength);
        FUZZ_CHECK(indexed == expected);
        // Without a heap only long lines are missed: the lookup stops at the
        // first one, having inserted every item before it.
        size_t firstLong = 0;
        while (firstLong < expected.size() &&
               expected[firstLong].size() < DEFINITION_INDEX_LONG_LINE)
            firstLong++;
        std::vector<std::string> noHeap;
        DescriptionTree noHeapTree = {&noHeap, CollectText};
        SetHeapFailureCountdown(0);
        AddAtomDescriptionsFromIndex(index, atom, &noHeapTree, (void *)0x1234, atom + atomLength);
        SetHeapFailureCountdown(-1);
        FUZZ_CHECK(noHeap ==
                   std::vector<std::string>(expected.begin(), expected.begin() + firstLong));
        FUZZ_CHECK(before.compare(0, before.size(), text, before.size()) == 0);
        FreeDefinitionIndex(index);
    } else {
        FUZZ_CHECK(failHeap);
    }

    HeapFreeBlock(text);
    HeapFreeBlock(atom);
    return 0;
}
