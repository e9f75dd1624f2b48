#pragma once
// An atom of the shared reference reading as the reference checks and the
// field decoders take it, for the tests and the fuzz harness of fields/.

#include "fields/box_fields.h"
#include "fields/file_references.h"
#include "tests/support/reference_atom_walk.h"

#include <string.h>
#include <string>

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

// The box of atom in the file's bytes; parents holds the types of the atoms
// around it, four bytes each, outermost first (atom.depth - 1 of them).
inline FieldBox FieldBoxFromReference(const unsigned char *file, const ReferenceAtom &atom,
                                      const std::string &parents)
{
    FieldBox box;
    memcpy(box.type, atom.type.data(), 4);
    box.payload = file + atom.offset + 8;
    box.payloadSize = atom.payloadSize;
    box.payloadOffset = atom.offset + 8;
    box.parentTypes = (const unsigned char *)parents.data();
    box.parentCount = atom.depth - 1;
    return box;
}
