#include "tools/kivra-dump/dump_output.h"
#include "atoms/big_endian.h"
#include "tools/kivra-dump/stop_report.h"

#include <stdio.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <string.h>

void FlushDumpOutput(DumpOutput *out)
{
    if (out->used != 0 && fwrite(out->data, 1, out->used, stdout) != out->used)
        out->failed = 1;
    out->used = 0;
}

void AppendBytes(DumpOutput *out, const char *bytes, size_t count)
{
    while (count > 0) {
        if (out->used == out->capacity)
            FlushDumpOutput(out);
        size_t room = out->capacity - out->used;
        size_t n = count < room ? count : room;
        memcpy(out->data + out->used, bytes, n);
        out->used += n;
        bytes += n;
        count -= n;
    }
}

void AppendText(DumpOutput *out, const char *text)
{
    AppendBytes(out, text, strlen(text));
}

// Writes value's decimal digits at out; returns the end. Two digits a step:
// every atom has four numbers.
static char *PutDecimal(char *out, uint32_t value)
{
    static const char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char reversed[10];
    char *at = reversed + sizeof reversed;
    while (value >= 100) {
        uint32_t pair = value % 100;
        value /= 100;
        at -= 2;
        at[0] = pairs[2 * pair];
        at[1] = pairs[2 * pair + 1];
    }
    if (value >= 10) {
        at -= 2;
        at[0] = pairs[2 * value];
        at[1] = pairs[2 * value + 1];
    } else {
        *--at = (char)('0' + value);
    }
    size_t count = (size_t)(reversed + sizeof reversed - at);
    memcpy(out, at, count);
    return out + count;
}

// Room for count more bytes in the buffer; 0 when even an empty buffer
// lacks it.
static int MakeRoom(DumpOutput *out, size_t count)
{
    if (out->capacity - out->used < count)
        FlushDumpOutput(out);
    return out->capacity - out->used >= count;
}

void AppendDecimal(DumpOutput *out, uint32_t value)
{
    char digits[10];
    AppendBytes(out, digits, (size_t)(PutDecimal(digits, value) - digits));
}

static void AppendSpaces(DumpOutput *out, size_t count)
{
    static const char spaces[] = "                                                                ";
    while (count > 0) {
        size_t n = count < sizeof spaces - 1 ? count : sizeof spaces - 1;
        AppendBytes(out, spaces, n);
        count -= n;
    }
}

void AppendTextLine(DumpOutput *out, size_t indent, const char *text)
{
    AppendSpaces(out, indent);
    AppendText(out, text);
    AppendBytes(out, "\n", 1);
}

// Writes bytes as a JSON string, quotes included, at out (room for 6 bytes
// per byte and the quotes); returns the end.
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

static char *PutJsonString(char *out, const char *text, size_t length)
{
    static const char hex[] = "0123456789ABCDEF";
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
        if (c >= 0x20 && c <= 0x7E && c != '"' && c != '\\') {
            *out++ = (char)c;
        } else if (c == '"' || c == '\\') {
            *out++ = '\\';
            *out++ = (char)c;
        } else {
            out[0] = '\\';
            out[1] = 'u';
            out[2] = '0';
            out[3] = '0';
            out[4] = hex[c >> 4];
            out[5] = hex[c & 0xF];
            out += 6;
        }
    }
    *out++ = '"';
    return out;
}

void AppendJsonString(DumpOutput *out, const char *text, size_t length)
{
    // Straight into the buffer when the worst case fits; a longer text goes
    // through a small buffer a piece at a time.
    if (length <= (out->capacity - 2) / 6 && MakeRoom(out, 6 * length + 2)) {
        out->used = (size_t)(PutJsonString(out->data + out->used, text, length) - out->data);
        return;
    }
    AppendBytes(out, "\"", 1);
    char piece[6 * 256 + 2];
    for (size_t done = 0; done < length;) {
        size_t n = length - done < 256 ? length - done : 256;
        char *end = PutJsonString(piece, text + done, n);
        // Without the quotes of the piece.
        AppendBytes(out, piece + 1, (size_t)(end - piece) - 2);
        done += n;
    }
    AppendBytes(out, "\"", 1);
}

enum JsonListState {
    JSON_DESCRIPTIONS_EMPTY,
    JSON_DESCRIPTIONS,
    JSON_CHILDREN_EMPTY,
    JSON_CHILDREN,
    // The descriptions are closed and the fields written; no child yet.
    JSON_FIELDS
};

static const uint32_t jsonLevels = sizeof(((JsonNesting *)0)->state);

void InitJsonNesting(JsonNesting *nesting)
{
    nesting->open = 0;
}

// Closes the items deeper than level, the last one open at each level.
static void CloseJsonLevels(DumpOutput *out, JsonNesting *nesting, uint32_t level)
{
    while (nesting->open > level + 1) {
        nesting->open--;
        if (nesting->state[nesting->open] <= JSON_DESCRIPTIONS)
            AppendText(out, "],\"children\":[]}");
        else if (nesting->state[nesting->open] == JSON_FIELDS)
            AppendText(out, ",\"children\":[]}");
        else
            AppendText(out, "]}");
    }
}

// Makes room for one more element in the list level has open, in the list
// wanted (descriptions or children).
static void StartJsonElement(DumpOutput *out, JsonNesting *nesting, uint32_t level,
                             int wantChildren)
{
    unsigned char *state = &nesting->state[level];
    if (wantChildren && *state <= JSON_DESCRIPTIONS) {
        AppendText(out, "],\"children\":[");
        *state = JSON_CHILDREN_EMPTY;
    } else if (wantChildren && *state == JSON_FIELDS) {
        AppendText(out, ",\"children\":[");
        *state = JSON_CHILDREN_EMPTY;
    }
    if (*state == JSON_DESCRIPTIONS || *state == JSON_CHILDREN)
        AppendBytes(out, ",", 1);
    else
        *state = *state == JSON_DESCRIPTIONS_EMPTY ? JSON_DESCRIPTIONS : JSON_CHILDREN;
}

void BeginJsonFile(DumpOutput *out, JsonNesting *nesting, const char *path, uint32_t size)
{
    AppendText(out, "{\"path\":");
    AppendJsonString(out, path, strlen(path));
    AppendText(out, ",\"size\":");
    AppendDecimal(out, size);
    AppendText(out, ",\"atoms\":[");
    nesting->state[0] = JSON_CHILDREN_EMPTY;
    nesting->open = 1;
}

void AppendJsonAtom(DumpOutput *out, JsonNesting *nesting, uint32_t depth,
                    const unsigned char *header, uint32_t offset, uint32_t payloadSize)
{
    // The walk never goes deeper than the levels kept; an item beyond them
    // would have no parent open.
    if (depth == 0 || depth >= jsonLevels || depth > nesting->open)
        return;
    CloseJsonLevels(out, nesting, depth - 1);
    StartJsonElement(out, nesting, depth - 1, 1);
    uint32_t sizeField = 0;
    ReadBigEndian32(header, header + 8, &sizeField);
    // The whole object head in one piece: the type takes at most 26 bytes,
    // each number 10.
    char item[192];
    char *at = item;
    static const char typeKey[] = "\n{\"type\":";
    static const char offsetKey[] = ",\"offset\":";
    static const char sizeKey[] = ",\"size\":";
    static const char payloadOffsetKey[] = ",\"payloadOffset\":";
    static const char payloadSizeKey[] = ",\"payloadSize\":";
    static const char descriptionsKey[] = ",\"descriptions\":[";
    memcpy(at, typeKey, sizeof typeKey - 1);
    at = PutJsonString(at + sizeof typeKey - 1, (const char *)header + 4, 4);
    memcpy(at, offsetKey, sizeof offsetKey - 1);
    at = PutDecimal(at + sizeof offsetKey - 1, offset);
    memcpy(at, sizeKey, sizeof sizeKey - 1);
    at = PutDecimal(at + sizeof sizeKey - 1, sizeField);
    memcpy(at, payloadOffsetKey, sizeof payloadOffsetKey - 1);
    at = PutDecimal(at + sizeof payloadOffsetKey - 1, offset + 8);
    memcpy(at, payloadSizeKey, sizeof payloadSizeKey - 1);
    at = PutDecimal(at + sizeof payloadSizeKey - 1, payloadSize);
    memcpy(at, descriptionsKey, sizeof descriptionsKey - 1);
    at += sizeof descriptionsKey - 1;
    AppendBytes(out, item, (size_t)(at - item));
    nesting->state[depth] = JSON_DESCRIPTIONS_EMPTY;
    nesting->open = depth + 1;
}

void AppendJsonDescription(DumpOutput *out, JsonNesting *nesting, uint32_t parentDepth,
                           const char *text)
{
    // Descriptions come right after their atom, before any child of it.
    if (parentDepth == 0 || parentDepth + 1 != nesting->open ||
        nesting->state[parentDepth] > JSON_DESCRIPTIONS)
        return;
    StartJsonElement(out, nesting, parentDepth, 0);
    AppendJsonString(out, text, strlen(text));
}

int BeginJsonFields(DumpOutput *out, JsonNesting *nesting, uint32_t depth)
{
    // Only the atom open last, before any child of it.
    if (depth == 0 || depth + 1 != nesting->open || nesting->state[depth] > JSON_DESCRIPTIONS)
        return 0;
    AppendText(out, "],\"fields\":");
    nesting->state[depth] = JSON_FIELDS;
    return 1;
}

void EndJsonFile(DumpOutput *out, JsonNesting *nesting, const StopReport *report, const char *error)
{
    CloseJsonLevels(out, nesting, 0);
    AppendText(out, "],\n\"report\":[");
    AppendBytes(out, report->data, report->used);
    AppendText(out, "],\"problems\":");
    AppendDecimal(out, report->problems);
    AppendText(out, ",\"notes\":");
    AppendDecimal(out, report->notes);
    if (error != 0) {
        AppendText(out, ",\"error\":");
        AppendJsonString(out, error, strlen(error));
    }
    AppendText(out, "}");
    nesting->open = 0;
}
