// The box field decoders, their printers and the reference checks over
// arbitrary file bytes. Every atom the reading finds is decoded with every
// table shown, as text and as JSON, and the atoms go to the reference
// checks. The bytes are copied into a block of exactly their size, so the
// sanitizers catch any read past them; the harness checks that the printers
// close every table they open and that the JSON stays balanced.

#include "fields/box_fields.h"
#include "fields/field_printers.h"
#include "fields/file_references.h"
#include "atoms/atom_walk.h"
#include "fuzz_support.h"
#include "tests/support/reference_atom_walk.h"
#include "tests/support/reference_checked_atom.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

void Discard(void *context, const char *, size_t count)
{
    *(size_t *)context += count;
}

// Brackets and braces outside strings must balance.
void CountBalance(void *context, const char *bytes, size_t count)
{
    long *state = (long *)context;  // [0] depth, [1] in a string, [2] escaped
    for (size_t i = 0; i < count; i++) {
        char c = bytes[i];
        if (state[1]) {
            if (state[2])
                state[2] = 0;
            else if (c == '\\')
                state[2] = 1;
            else if (c == '"')
                state[1] = 0;
        } else if (c == '"') {
            state[1] = 1;
        } else if (c == '{' || c == '[') {
            state[0]++;
        } else if (c == '}' || c == ']') {
            state[0]--;
        }
    }
}

void IgnoreFinding(void *, uint64_t, int, const char *, const char *) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    unsigned char *file = CopyToExactBlock(data, size);
    data = file;
    ReferenceReading reading = ReadAtomsForReference(data, (uint32_t)size, 64);
    FileReferences references;
    InitFileReferences(&references);
    std::string chain;
    for (const ReferenceAtom &atom : reading.atoms) {
        chain.resize(4 * (atom.depth - 1));
        FieldBox box = FieldBoxFromReference(data, atom, chain);

        size_t written = 0;
        FieldTextPrinter text;
        InitFieldTextPrinter(&text, Discard, &written, 2);
        DecodeBoxFields(&box, FIELD_TABLE_ALL, &text.sink);
        FUZZ_CHECK(text.depth == 0);

        long balance[3] = {0, 0, 0};
        FieldJsonPrinter json;
        InitFieldJsonPrinter(&json, CountBalance, balance);
        DecodeBoxFields(&box, FIELD_TABLE_DEFAULT, &json.sink);
        FinishFieldJsonPrinter(&json);
        FUZZ_CHECK(balance[0] == 0 && balance[1] == 0);

        const CheckedAtom checked = CheckedAtomFromReference(atom);
        AddCheckedAtom(&references, &checked);
        chain += atom.type;
    }
    ReferenceReportSink sink = {0, IgnoreFinding};
    FinishFileReferences(&references, data, size, &sink);
    FreeFileReferences(&references);
    HeapFreeBlock(file);
    return 0;
}
