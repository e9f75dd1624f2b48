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

// Decimal digits without the C library's formatting: every field of every
// atom goes through here.
static size_t PutDecimal(char *text, uint64_t value)
{
    char reversed[20];
    size_t count = 0;
    do {
        reversed[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (size_t i = 0; i < count; i++)
        text[i] = reversed[count - 1 - i];
    text[count] = '\0';
    return count;
}

static size_t PutHex(char *text, uint64_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    size_t count = 1;
    while (count < 16 && (value >> (4 * count)) != 0)
        count++;
    text[0] = '0';
    text[1] = 'x';
    for (size_t i = 0; i < count; i++)
        text[2 + i] = digits[(value >> (4 * (count - 1 - i))) & 0xF];
    text[2 + count] = '\0';
    return 2 + count;
}

size_t FormatFieldNumber(char *text, uint64_t value, FieldFormat format, int json)
{
    switch (format) {
    case FIELD_SIGNED:
        if ((int64_t)value >= 0)
            return PutDecimal(text, value);
        text[0] = '-';
        return 1 + PutDecimal(text + 1, (uint64_t)0 - value);
    case FIELD_HEX: return json ? PutDecimal(text, value) : PutHex(text, value);
    case FIELD_FIXED_16_16: return FormatFixed(text, value, 0, 16);
    case FIELD_FIXED_8_8: {
        int negative = (int64_t)value < 0;
        return FormatFixed(text, negative ? (uint64_t)0 - value : value, negative, 8);
    }
    case FIELD_UNSIGNED: break;
    }
    return PutDecimal(text, value);
}
