#include "atoms/atom_walk.h"
#include "bytes/big_endian.h"
#include "bytes/byte_text.h"
#include "platform/heap.h"

static const uint32_t atomHeaderSize = 8;
// With size field 1: the 64-bit size follows the type.
static const uint32_t largeHeaderSize = 16;

static int IsPrintableType(const unsigned char *type)
{
    for (int i = 0; i < 4; i++) {
        if (!IsPrintableAscii(type[i]))
            return 0;
    }
    return 1;
}

// value in upper-case hex, at least minimumDigits (1 to 16) digits.
static char *AppendHex(char *out, uint64_t value, uint32_t minimumDigits)
{
    uint32_t count = value == 0 ? 1 : (uint32_t)(67 - __builtin_clzll(value)) / 4;
    if (count < minimumDigits)
        count = minimumDigits;
    for (uint32_t i = count; i > 0; i--) {
        out[i - 1] = UpperHexDigits[value & 0xF];
        value >>= 4;
    }
    return out + count;
}

static char *AppendDecimal(char *out, uint64_t value)
{
    static const char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233"
        "343536373839404142434445464748495051525354555657585960616263646566"
        "676869707172737475767778798081828384858687888990919293949596979899";
    char reversed[20];
    uint32_t count = 0;
    // 32-bit division where it is enough, as it nearly always is.
    while (value > 0xFFFFFFFFu) {
        reversed[count++] = (char)('0' + value % 10);
        value /= 10;
    }
    uint32_t low = (uint32_t)value;
    while (low >= 100) {
        const uint32_t pair = (low % 100) * 2;
        low /= 100;
        reversed[count++] = pairs[pair + 1];
        reversed[count++] = pairs[pair];
    }
    if (low >= 10) {
        reversed[count++] = pairs[low * 2 + 1];
        reversed[count++] = pairs[low * 2];
    } else {
        reversed[count++] = (char)('0' + low);
    }
    while (count > 0)
        *out++ = reversed[--count];
    return out;
}

uint32_t FormatWideAtomLabel(char *label, const unsigned char *type, uint64_t offset,
                             uint64_t payloadSize)
{
    char *out = label;
    for (int i = 0; i < 4; i++)
        *out++ = (char)type[i];
    out[0] = ' ';
    out[1] = '(';
    out[2] = '+';
    out[3] = '0';
    out[4] = 'x';
    out = AppendHex(out + 5, offset, 8);
    *out++ = ':';
    out = AppendDecimal(out, payloadSize);
    out[0] = '[';
    out[1] = '0';
    out[2] = 'x';
    out = AppendHex(out + 3, payloadSize, 1);
    out[0] = ']';
    out[1] = ')';
    out[2] = '\0';
    out += 2;
    return (uint32_t)(out - label);
}

uint32_t FormatAtomLabel(char *label, const unsigned char *type, uint32_t offset,
                         uint32_t payloadSize)
{
    return FormatWideAtomLabel(label, type, offset, payloadSize);
}

// One range being walked: its atoms become children of parentItem, and it
// ends at the absolute offset end. The walk's position is shared by all
// frames: a child range ends where its atom ends, which is where the parent
// range goes on.
struct WalkFrame {
    void *parentItem;
    uint64_t start;
    uint64_t end;
    uint64_t parentOffset;  // the header of the atom whose payload this is
    uint32_t atomsFound;
    // The range was cut short by the end of the file (the first range when
    // it reaches the end of the bytes, or the payload of a clamped atom): a
    // size past its end means the cut, and the atom is shown clamped.
    // Anywhere else such a size is payload that only looks like a header.
    int cutShort;
};

struct WalkStack {
    WalkFrame *frames;
    uint32_t count;
    uint32_t capacity;
};

static int PushWalkFrame(WalkStack *stack, void *parentItem, uint64_t start, uint64_t end,
                         uint64_t parentOffset, int cutShort)
{
    if (stack->count == stack->capacity) {
        uint32_t capacity = stack->capacity ? stack->capacity * 2 : 64;
        // On the 32-bit target the byte count could wrap around.
        if (capacity <= stack->capacity || capacity > (size_t)-1 / sizeof(WalkFrame))
            return 0;
        WalkFrame *frames = (WalkFrame *)HeapAllocBlock(capacity * sizeof(WalkFrame));
        if (frames == 0)
            return 0;
        for (uint32_t i = 0; i < stack->count; i++)
            frames[i] = stack->frames[i];
        HeapFreeBlock(stack->frames);
        stack->frames = frames;
        stack->capacity = capacity;
    }
    WalkFrame *frame = &stack->frames[stack->count++];
    frame->parentItem = parentItem;
    frame->start = start;
    frame->end = end;
    frame->parentOffset = parentOffset;
    frame->atomsFound = 0;
    frame->cutShort = cutShort;
    return 1;
}

// Leaves the innermost range: the walk goes on after it in the enclosing one.
static void EndRange(WalkStack *stack, uint64_t *pos)
{
    *pos = stack->frames[stack->count - 1].end;
    stack->count--;
}

static void ReportStop(const AtomWalkSink *sink, const WalkStack *stack, AtomWalkStopReason reason,
                       uint64_t pos, uint64_t sizeField, uint32_t headerSize)
{
    if (sink->reportStop == 0)
        return;
    const WalkFrame *frame = &stack->frames[stack->count - 1];
    AtomWalkStop stop;
    stop.reason = reason;
    stop.offset = pos;
    stop.sizeField = sizeField;
    stop.bytesLeft = frame->end - pos;
    stop.rangeOffset = frame->start;
    stop.depth = stack->count - 1;
    stop.atomsBefore = frame->atomsFound;
    stop.parentItem = frame->parentItem;
    stop.headerSize = headerSize;
    stop.parentOffset = frame->parentOffset;
    sink->reportStop(sink->stopContext, &stop);
}

// Why a range stops at a header that is no atom. Only at the top level and
// after an atom of the same range is this worth saying: elsewhere it is a
// payload that does not start like an atom, the usual leaf. sizeField is
// the 64-bit size when headerSize is 16; else it is read here.
static void ReportRangeStop(const AtomWalkSink *sink, const WalkStack *stack,
                            AtomWalkStopReason reason, const unsigned char *base, uint64_t pos,
                            uint64_t sizeField = 0, uint32_t headerSize = atomHeaderSize)
{
    const WalkFrame *frame = &stack->frames[stack->count - 1];
    if (sink->reportStop == 0 || (stack->count > 1 && frame->atomsFound == 0))
        return;
    const unsigned char *header = base + (size_t)pos;
    uint64_t left = frame->end - pos;
    if (headerSize == atomHeaderSize) {
        uint32_t size32 = 0;
        ReadBigEndian32(header, header + (left < 4 ? (size_t)left : 4), &size32);
        sizeField = size32;
    }
    if (stack->count > 1 && headerSize == atomHeaderSize) {
        // QuickTime closes some containers with a 32-bit zero.
        if (reason == ATOM_WALK_HEADER_TOO_SHORT && left == 4 && sizeField == 0)
            reason = ATOM_WALK_ZERO_TERMINATOR;
        // iTunes item types such as "\xA9nam", whose size fits.
        if (reason == ATOM_WALK_TYPE_NOT_PRINTABLE && header[4] == 0xA9 &&
            IsPrintableAscii(header[5]) && IsPrintableAscii(header[6]) &&
            IsPrintableAscii(header[7]) && sizeField >= atomHeaderSize && sizeField <= left)
            reason = ATOM_WALK_ITUNES_ITEM_TYPE;
    }
    ReportStop(sink, stack, reason, pos, sizeField, headerSize);
}

// The description lookup compares names longer than a type with the bytes
// after the type, as in an 8-byte header. An atom with a 64-bit size has
// its size between them, so the lookup is given its type and the first
// bytes of its payload side by side; names that reach further do not match.
static void AddDescriptionsOfLargeAtom(const AtomWalkSink *sink, const AtomWalkAtom *atom,
                                       void *item, const unsigned char *bufferEnd)
{
    unsigned char joined[256];
    uint64_t payloadKept = atom->payloadSize;
    if (payloadKept > sizeof joined - atomHeaderSize)
        payloadKept = sizeof joined - atomHeaderSize;
    const unsigned char *payload = atom->header + largeHeaderSize;
    if (payload > bufferEnd || (uint64_t)(bufferEnd - payload) < payloadKept)
        return;
    for (uint32_t i = 0; i < atomHeaderSize; i++)
        joined[i] = atom->header[i];
    for (uint32_t i = 0; i < (uint32_t)payloadKept; i++)
        joined[atomHeaderSize + i] = payload[i];
    AddAtomDescriptions(joined, 1, &sink->descriptions, item,
                        joined + atomHeaderSize + (size_t)payloadKept);
}

void WalkAtomsWith(const AtomWalkSink *sink, AtomWalkSizes sizes, void *parentItem,
                   const unsigned char *base, uint64_t bufferSize, uint64_t offset, uint64_t length)
{
    if (length == 0 || offset > bufferSize || length > bufferSize - offset)
        return;
    const unsigned char *bufferEnd = base + (size_t)bufferSize;
    WalkStack stack = {0, 0, 0};
    if (!PushWalkFrame(&stack, parentItem, offset, offset + length, 0,
                       offset + length == bufferSize)) {
        // Not a single atom could be shown.
        if (sink->reportStop != 0) {
            AtomWalkStop stop = {};
            stop.reason = ATOM_WALK_OUT_OF_MEMORY;
            stop.offset = offset;
            stop.bytesLeft = length;
            stop.rangeOffset = offset;
            stop.parentItem = parentItem;
            stop.headerSize = atomHeaderSize;
            uint32_t sizeField = 0;
            ReadBigEndian32(base + (size_t)offset, bufferEnd, &sizeField);
            stop.sizeField = sizeField;
            sink->reportStop(sink->stopContext, &stop);
        }
        return;
    }
    const int followLargeSizes = sizes == ATOM_WALK_64BIT_SIZES;
    uint64_t pos = offset;
    while (stack.count > 0) {
        WalkFrame *frame = &stack.frames[stack.count - 1];
        const uint64_t left = frame->end - pos;
        const unsigned char *header = base + (size_t)pos;
        if (left == 0) {
            EndRange(&stack, &pos);
            continue;
        }
        // A range ends where no header can stand.
        if (left < atomHeaderSize) {
            ReportRangeStop(sink, &stack, ATOM_WALK_HEADER_TOO_SHORT, base, pos);
            EndRange(&stack, &pos);
            continue;
        }
        if (!IsPrintableType(header + 4)) {
            ReportRangeStop(sink, &stack, ATOM_WALK_TYPE_NOT_PRINTABLE, base, pos);
            EndRange(&stack, &pos);
            continue;
        }
        uint32_t size32 = 0;
        ReadBigEndian32(header, bufferEnd, &size32);
        uint64_t size = size32;
        uint32_t headerSize = atomHeaderSize;
        if (size32 == 1 && followLargeSizes) {
            // The 64-bit size after the type; the payload follows it.
            if (left < largeHeaderSize) {
                ReportRangeStop(sink, &stack, ATOM_WALK_HEADER_TOO_SHORT, base, pos, 1,
                                largeHeaderSize);
                EndRange(&stack, &pos);
                continue;
            }
            uint32_t high = 0;
            uint32_t low = 0;
            ReadBigEndian32(header + 8, bufferEnd, &high);
            ReadBigEndian32(header + 12, bufferEnd, &low);
            size = ((uint64_t)high << 32) | low;
            headerSize = largeHeaderSize;
            if (size < largeHeaderSize) {
                ReportRangeStop(sink, &stack, ATOM_WALK_SIZE_TOO_SMALL, base, pos, size,
                                largeHeaderSize);
                EndRange(&stack, &pos);
                continue;
            }
        }
        uint64_t payloadSize;
        int clamped = 0;
        if (size == 0) {
            payloadSize = left - atomHeaderSize;
        } else if (size < atomHeaderSize) {
            // Sizes 1 to 7 (1 being the 64-bit size the window's tree does
            // not follow) give no range we can trust.
            ReportRangeStop(sink, &stack,
                            size == 1 ? ATOM_WALK_SIZE_64BIT : ATOM_WALK_SIZE_TOO_SMALL, base, pos);
            EndRange(&stack, &pos);
            continue;
        } else if (size > left) {
            // Where the file was cut short this is an atom the cut went
            // through: show what survived. In a complete range it is payload
            // that merely looks like a header.
            if (!frame->cutShort) {
                ReportRangeStop(sink, &stack, ATOM_WALK_SIZE_OVERRUNS, base, pos, size, headerSize);
                EndRange(&stack, &pos);
                continue;
            }
            payloadSize = left - headerSize;
            clamped = 1;
        } else {
            payloadSize = size - headerSize;
        }

        AtomWalkAtom atom;
        atom.header = header;
        atom.offset = pos;
        atom.size = size;
        atom.payloadSize = payloadSize;
        atom.headerSize = headerSize;
        atom.depth = stack.count;
        void *item = 0;
        if (!sink->insertAtom(sink->context, frame->parentItem, &atom, &item)) {
            ReportStop(sink, &stack, ATOM_WALK_OUT_OF_MEMORY, pos, size, headerSize);
            break;
        }
        const uint64_t payloadOffset = pos + headerSize;
        const uint64_t atomEnd = payloadOffset + payloadSize;
        if (item == 0) {
            // Children of an item that does not exist would land elsewhere.
            ReportStop(sink, &stack, ATOM_WALK_OUT_OF_MEMORY, pos, size, headerSize);
            pos = atomEnd;
            continue;
        }
        if (headerSize == atomHeaderSize)
            AddAtomDescriptions(header, size32, &sink->descriptions, item, bufferEnd);
        else
            AddDescriptionsOfLargeAtom(sink, &atom, item, bufferEnd);
        if (clamped)
            ReportStop(sink, &stack, ATOM_WALK_CUT_SHORT, pos, size, headerSize);
        // Deeper items would be more than the tree view survives. Worth
        // saying only when the payload starts like an atom.
        const int atDepthLimit = size != 0 && stack.count >= ATOM_WALK_DEPTH_LIMIT;
        if (atDepthLimit && payloadSize >= atomHeaderSize &&
            IsPrintableType(header + headerSize + 4))
            ReportStop(sink, &stack, ATOM_WALK_DEPTH_LIMIT_REACHED, pos, size, headerSize);
        frame->atomsFound++;
        if (size == 0) {
            EndRange(&stack, &pos);
            continue;
        }
        if (atDepthLimit) {
            pos = atomEnd;
            continue;
        }
        pos = payloadOffset;
        if (payloadSize != 0 && !PushWalkFrame(&stack, item, pos, atomEnd, atom.offset, clamped)) {
            ReportStop(sink, &stack, ATOM_WALK_OUT_OF_MEMORY, atom.offset, size, headerSize);
            break;
        }
    }
    HeapFreeBlock(stack.frames);
}

struct WindowItems {
    const AtomTree *tree;
    unsigned char *base;
};

// The window's items: a record of the payload's place and the label.
static int InsertWindowItem(void *context, void *parentItem, const AtomWalkAtom *atom, void **item)
{
    const WindowItems *items = (const WindowItems *)context;
    const AtomTree *tree = items->tree;
    AtomNodeRecord *record = (AtomNodeRecord *)HeapAllocBlock(sizeof(AtomNodeRecord));
    if (record == 0)
        return 0;
    // In the 32-bit mode every offset lies in a buffer of at most 4 GiB.
    record->ownsBuffer = 0;
    record->base = items->base;
    record->payloadOffset = (uint32_t)atom->offset + atomHeaderSize;
    record->payloadSize = (uint32_t)atom->payloadSize;
    char label[ATOM_LABEL_CAPACITY];
    FormatAtomLabel(label, atom->header + 4, (uint32_t)atom->offset, record->payloadSize);
    *item = tree->insertItem(tree->context, parentItem, label, record);
    if (*item == 0)
        HeapFreeBlock(record);
    return 1;
}

void WalkAtoms(const AtomTree *tree, void *parentItem, unsigned char *base, uint32_t bufferSize,
               uint32_t offset, uint32_t length)
{
    WindowItems items = {tree, base};
    AtomWalkSink sink;
    sink.context = &items;
    sink.insertAtom = InsertWindowItem;
    sink.descriptions = tree->descriptions;
    sink.reportStop = tree->reportStop;
    sink.stopContext = tree->stopContext;
    WalkAtomsWith(&sink, ATOM_WALK_32BIT_SIZES, parentItem, base, bufferSize, offset, length);
}
