#pragma once
// Numbers of fields as the text and JSON printers write them.
#include "fields/field_sink.h"

#include <stddef.h>
#include <stdint.h>

#define FIELD_NUMBER_CAPACITY 32

// value in format as text: decimal, signed decimal, 0x hex, or a fixed-point
// value in decimal ("1920", "-0.5", "1.25"). With json, hex is written in
// decimal (a JSON number). Returns the length; text is terminated.
size_t FormatFieldNumber(char *text, uint64_t value, FieldFormat format, int json);
