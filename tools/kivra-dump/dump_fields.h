#pragma once
// kivra-dump's use of the field decoders and the reference checks: each
// atom's fields printed under it, after its description lines (as text
// lines or as the atom's "fields" member), their problems and the
// references found wrong added to the report.
#include "atoms/atom_walk.h"
#include "fields/box_fields.h"
#include "fields/file_references.h"
#include "tools/kivra-dump/json_tree.h"
#include "tools/kivra-dump/output_writer.h"
#include "tools/kivra-dump/stop_report.h"

#include <stdint.h>

struct DumpFields {
    int show;         // --fields: print them
    int check;        // --check: the file's references to the report
    int checkLayout;  // --fields --check: the boxes' layout problems too
    int json;
    uint64_t tableLimit;  // entries per table (--fields=all: every one)
    DumpOutput *out;
    JsonNesting *nesting;
    StopReport *report;
    // The type of the atom last shown at each level, for the parents of the
    // next ones (level 1: the top level).
    unsigned char types[4 * (ATOM_WALK_DEPTH_LIMIT + 2)];
    // The atom whose fields come once its description lines are out.
    int pending;
    uint32_t pendingLevel;
    FieldBox pendingBox;
    FileReferences references;
};

void InitDumpFields(DumpFields *fields, int show, uint64_t tableLimit, int check, int checkLayout,
                    int json, DumpOutput *out, JsonNesting *nesting, StopReport *report);
void FreeDumpFields(DumpFields *fields);

// Whether any of this is wanted: otherwise the hooks below need not run.
inline int DumpFieldsWanted(const DumpFields *fields)
{
    return fields->show || fields->check;
}

// Before the item of an atom is printed: prints the fields of the atom
// before it, and keeps this one for later. The walk's atom lies in the
// file's bytes, which start at base.
void TakeAtomFields(DumpFields *fields, const unsigned char *base, const AtomWalkAtom *atom);

// After the walk, while the file's bytes are still there: the fields of the
// last atom, then the reference checks into the report.
void FinishDumpFields(DumpFields *fields, const unsigned char *file, uint64_t fileSize);
