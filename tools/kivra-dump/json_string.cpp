#include "tools/kivra-dump/json_string.h"
#include "bytes/byte_text.h"

#include <stdint.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <string.h>

// Whether any of the 8 bytes in word is 0x00 (the classic bit trick: the
// subtraction borrows into the top bit only from a zero byte).
static inline uint64_t HasZeroByte(uint64_t word)
{
    return (word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull;
}

// Whether any of the 8 bytes needs an escape: below 0x20, 0x7F and above,
// a quote or a backslash.
static inline uint64_t NeedsEscape(uint64_t word)
{
    const uint64_t ones = 0x0101010101010101ull;
    return (word & 0x8080808080808080ull) | HasZeroByte(word & ~(ones * 0x1F)) |
        HasZeroByte(word ^ (ones * 0x7F)) | HasZeroByte(word ^ (ones * '"')) |
        HasZeroByte(word ^ (ones * '\\'));
}

// Copies length (8 or more) bytes from text to out when none of them needs
// an escape; returns 0 when one does (out may then hold some of them). The
// last step overlaps the one before it when length is no multiple of the
// step, so nothing past either end is touched.
static int CopyPlainJsonText(char *out, const char *text, size_t length)
{
#ifdef __SSE2__
    // Sixteen bytes a step where the processor has SSE2 (every x86-64): a
    // signed compare with 0x20 also catches 0x80 and above.
    if (length >= 16) {
        const __m128i space = _mm_set1_epi8(0x20);
        const __m128i del = _mm_set1_epi8(0x7F);
        const __m128i quote = _mm_set1_epi8('"');
        const __m128i backslash = _mm_set1_epi8('\\');
        for (size_t i = 0;; i += 16) {
            if (length - i < 16)
                i = length - 16;
            __m128i v = _mm_loadu_si128((const __m128i *)(text + i));
            __m128i bad =
                _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(v, space), _mm_cmpeq_epi8(v, del)),
                             _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
            if (_mm_movemask_epi8(bad) != 0)
                return 0;
            _mm_storeu_si128((__m128i *)(out + i), v);
            if (i + 16 == length)
                return 1;
        }
    }
#endif
    uint64_t word;
    for (size_t i = 0;; i += 8) {
        if (length - i < 8)
            i = length - 8;
        memcpy(&word, text + i, 8);
        if (NeedsEscape(word))
            return 0;
        memcpy(out + i, &word, 8);
        if (i + 8 == length)
            return 1;
    }
}

char *PutJsonString(char *out, const char *text, size_t length)
{
    *out++ = '"';
    if (length >= 8 && CopyPlainJsonText(out, text, length)) {
        out[length] = '"';
        return out + length + 1;
    }
    size_t i = 0;
    while (i < length) {
        // Descriptions are plain text: eight bytes at a time where none
        // needs an escape.
        uint64_t word;
        if (length - i >= 8) {
            memcpy(&word, text + i, 8);
            if (!NeedsEscape(word)) {
                memcpy(out, &word, 8);
                out += 8;
                i += 8;
                continue;
            }
        }
        unsigned char c = (unsigned char)text[i++];
        if (IsPrintableAscii(c) && c != '"' && c != '\\') {
            *out++ = (char)c;
        } else if (c == '"' || c == '\\') {
            *out++ = '\\';
            *out++ = (char)c;
        } else {
            out[0] = '\\';
            out[1] = 'u';
            out[2] = '0';
            out[3] = '0';
            out[4] = UpperHexDigits[c >> 4];
            out[5] = UpperHexDigits[c & 0xF];
            out += 6;
        }
    }
    *out++ = '"';
    return out;
}

void OutputJsonString(DumpOutput *out, const char *text, size_t length)
{
    // Straight into the buffer when the worst case fits; a longer text goes
    // through a small buffer a piece at a time.
    if (length <= (out->capacity - 2) / 6 && MakeOutputRoom(out, 6 * length + 2)) {
        out->used = (size_t)(PutJsonString(out->data + out->used, text, length) - out->data);
        return;
    }
    OutputBytes(out, "\"", 1);
    char piece[6 * 256 + 2];
    for (size_t done = 0; done < length;) {
        size_t n = length - done < 256 ? length - done : 256;
        char *end = PutJsonString(piece, text + done, n);
        // Without the quotes of the piece.
        OutputBytes(out, piece + 1, (size_t)(end - piece) - 2);
        done += n;
    }
    OutputBytes(out, "\"", 1);
}
