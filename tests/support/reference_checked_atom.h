#pragma once
// An atom of the shared reference reading as the reference checks take it,
// for the tests and the fuzz harness of the checks.

#include "fields/file_references.h"
#include "tests/support/reference_atom_walk.h"

#include <string.h>

inline CheckedAtom CheckedAtomFromReference(const ReferenceAtom &atom)
{
    CheckedAtom checked;
    memcpy(checked.type, atom.type.data(), 4);
    checked.offset = atom.offset;
    checked.sizeField = atom.sizeField;
    checked.payloadOffset = atom.offset + 8;
    checked.payloadSize = atom.payloadSize;
    checked.depth = atom.depth;
    return checked;
}
