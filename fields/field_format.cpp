#include "fields/field_format.h"

#include <stdio.h>

// A fixed-point value with fractionBits bits after the point, in decimal
// with at most four digits after the point and no trailing zeros.
static size_t FormatFixed(char *text, uint64_t magnitude, int negative, unsigned fractionBits)
{
    uint64_t whole = magnitude >> fractionBits;
    uint64_t fraction = magnitude & ((1u << fractionBits) - 1);
    // Rounded to four decimals.
    uint64_t decimals = (fraction * 10000 + (1u << (fractionBits - 1))) >> fractionBits;
    if (decimals == 10000) {
        whole++;
        decimals = 0;
    }
    int n;
    if (decimals == 0) {
        n = snprintf(text, FIELD_NUMBER_CAPACITY, "%s%llu", negative ? "-" : "",
                     (unsigned long long)whole);
    } else {
        unsigned digits = 4;
        while (decimals % 10 == 0) {
            decimals /= 10;
            digits--;
        }
        n = snprintf(text, FIELD_NUMBER_CAPACITY, "%s%llu.%0*llu", negative ? "-" : "",
                     (unsigned long long)whole, (int)digits, (unsigned long long)decimals);
    }
    return n < 0 ? 0 : (size_t)n;
}

size_t FormatFieldNumber(char *text, uint64_t value, FieldFormat format, int json)
{
    int n = 0;
    switch (format) {
    case FIELD_SIGNED: n = snprintf(text, FIELD_NUMBER_CAPACITY, "%lld", (long long)value); break;
    case FIELD_HEX:
        n = snprintf(text, FIELD_NUMBER_CAPACITY, json ? "%llu" : "0x%llX",
                     (unsigned long long)value);
        break;
    case FIELD_FIXED_16_16: return FormatFixed(text, value, 0, 16);
    case FIELD_FIXED_8_8: {
        int negative = (int64_t)value < 0;
        return FormatFixed(text, negative ? (uint64_t)0 - value : value, negative, 8);
    }
    case FIELD_UNSIGNED:
        n = snprintf(text, FIELD_NUMBER_CAPACITY, "%llu", (unsigned long long)value);
        break;
    }
    return n < 0 ? 0 : (size_t)n;
}
