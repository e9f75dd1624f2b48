#pragma once
#include <stddef.h>
#include <stdint.h>

// How a number field is meant to be read. The printers render the same
// value as text or as a JSON number.
enum FieldFormat {
    FIELD_UNSIGNED,
    FIELD_SIGNED,       // two's complement in the 64 bits given
    FIELD_HEX,          // flags and masks: 0x... in text, a plain number in JSON
    FIELD_FIXED_16_16,  // unsigned 16.16 fixed point
    FIELD_FIXED_8_8     // signed 8.8 fixed point
};

// Where the decoders put what a box says, as a small table of callbacks:
// kivra-dump's text and JSON printers, the reference checks and the tests
// each plug in their own. Names are C strings that live only for the call.
// A table holds entries, each a run of fields between beginEntry and
// endEntry; a field of an entry may itself be a table.
struct FieldSink {
    void *context;
    void (*number)(void *context, const char *name, uint64_t value, FieldFormat format);
    // Bytes as the box holds them (not terminated, not necessarily text).
    void (*text)(void *context, const char *name, const char *bytes, size_t length);
    void (*beginTable)(void *context, const char *name);
    void (*beginEntry)(void *context);
    void (*endEntry)(void *context);
    // entriesLeftOut: entries the box holds that were not shown.
    void (*endTable)(void *context, uint64_t entriesLeftOut);
    // The payload is too short or inconsistent for the layout at offset
    // (absolute); the fields before it were whole.
    void (*problem)(void *context, uint64_t offset, const char *text);
};
