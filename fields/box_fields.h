#pragma once
#include "fields/field_sink.h"

#include <stdint.h>

// One atom as the field decoders see it. Offsets are absolute and 64-bit.
struct FieldBox {
    unsigned char type[4];
    const unsigned char *payload;
    uint64_t payloadSize;
    uint64_t payloadOffset;
    // The types of the enclosing atoms, four bytes each, outermost first
    // (may be NULL when parentCount is 0).
    const unsigned char *parentTypes;
    uint32_t parentCount;
};

// Entries shown per table; FIELD_TABLE_ALL shows every one.
#define FIELD_TABLE_ALL UINT64_MAX
#define FIELD_TABLE_DEFAULT 5u

// Whether the fields of atoms of this type (under these parents) are known.
int HasBoxFields(const FieldBox *box);

// Sends the fields of box to sink, tables cut to tableLimit entries each.
// Returns 0 when its type is not known, else 1 (also when the payload is too
// short: the whole fields come first, then a problem). Every read stays
// inside the payload; nothing is allocated; the time taken grows with the
// entries shown, never with a count the payload claims.
int DecodeBoxFields(const FieldBox *box, uint64_t tableLimit, const FieldSink *sink);
