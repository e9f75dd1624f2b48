#include "atoms/atom_walk.h"
#include "bytes/big_endian.h"
#include "bytes/byte_text.h"
#include "platform/heap.h"

static const uint32_t atomHeaderSize = 8;

static int IsPrintableType(const unsigned char *type)
{
    for (int i = 0; i < 4; i++) {
        if (!IsPrintableAscii(type[i]))
            return 0;
    }
    return 1;
}

static char *PutText(char *out, const char *text)
{
    while (*text != '\0')
        *out++ = *text++;
    return out;
}

static char *PutHex(char *out, uint32_t value, int minimumDigits)
{
    int count = 8;
    while (count > minimumDigits && count > 1 && (value >> ((count - 1) * 4)) == 0)
        count--;
    for (int i = count - 1; i >= 0; i--)
        *out++ = UpperHexDigits[(value >> (i * 4)) & 0xF];
    return out;
}

static char *PutDecimal(char *out, uint32_t value)
{
    char reversed[10];
    int count = 0;
    do {
        reversed[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        *out++ = reversed[--count];
    return out;
}

uint32_t FormatAtomLabel(char *label, const unsigned char *type, uint32_t offset,
                         uint32_t payloadSize)
{
    char *out = label;
    for (int i = 0; i < 4; i++)
        *out++ = (char)type[i];
    out = PutText(out, " (+0x");
    out = PutHex(out, offset, 8);
    *out++ = ':';
    out = PutDecimal(out, payloadSize);
    out = PutText(out, "[0x");
    out = PutHex(out, payloadSize, 1);
    out = PutText(out, "])");
    *out = '\0';
    return (uint32_t)(out - label);
}

// One range being walked: its atoms become children of parentItem, and it
// ends at the absolute offset end. The walk's position is shared by all
// frames: a child range ends where its atom ends, which is where the parent
// range goes on.
struct WalkFrame {
    void *parentItem;
    uint32_t start;
    uint32_t end;
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

static int PushWalkFrame(WalkStack *stack, void *parentItem, uint32_t start, uint32_t end,
                         int cutShort)
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
    frame->atomsFound = 0;
    frame->cutShort = cutShort;
    return 1;
}

// Leaves the innermost range: the walk goes on after it in the enclosing one.
static void EndRange(WalkStack *stack, uint32_t *pos)
{
    *pos = stack->frames[stack->count - 1].end;
    stack->count--;
}

static void ReportStop(const AtomTree *tree, const WalkStack *stack, AtomWalkStopReason reason,
                       uint32_t pos, uint32_t sizeField)
{
    if (tree->reportStop == 0)
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
    tree->reportStop(tree->stopContext, &stop);
}

// Why a range stops at a header that is no atom. Only at the top level and
// after an atom of the same range is this worth saying: elsewhere it is a
// payload that does not start like an atom, the usual leaf.
static void ReportRangeStop(const AtomTree *tree, const WalkStack *stack, AtomWalkStopReason reason,
                            const unsigned char *base, uint32_t pos)
{
    const WalkFrame *frame = &stack->frames[stack->count - 1];
    if (tree->reportStop == 0 || (stack->count > 1 && frame->atomsFound == 0))
        return;
    const unsigned char *header = base + pos;
    uint32_t sizeField = 0;
    ReadBigEndian32(header, base + frame->end, &sizeField);
    uint32_t left = frame->end - pos;
    if (stack->count > 1) {
        // QuickTime closes some containers with a 32-bit zero.
        if (reason == ATOM_WALK_HEADER_TOO_SHORT && left == 4 && sizeField == 0)
            reason = ATOM_WALK_ZERO_TERMINATOR;
        // iTunes item types such as "\xA9nam", whose size fits.
        if (reason == ATOM_WALK_TYPE_NOT_PRINTABLE && header[4] == 0xA9 &&
            IsPrintableAscii(header[5]) && IsPrintableAscii(header[6]) &&
            IsPrintableAscii(header[7]) && sizeField >= atomHeaderSize && sizeField <= left)
            reason = ATOM_WALK_ITUNES_ITEM_TYPE;
    }
    ReportStop(tree, stack, reason, pos, sizeField);
}

void WalkAtoms(const AtomTree *tree, void *parentItem, unsigned char *base, uint32_t bufferSize,
               uint32_t offset, uint32_t length)
{
    if (length == 0 || offset > bufferSize || length > bufferSize - offset)
        return;
    const unsigned char *bufferEnd = base + bufferSize;
    WalkStack stack = {0, 0, 0};
    if (!PushWalkFrame(&stack, parentItem, offset, offset + length,
                       offset + length == bufferSize)) {
        // Not a single atom could be shown.
        if (tree->reportStop != 0) {
            AtomWalkStop stop = {};
            stop.reason = ATOM_WALK_OUT_OF_MEMORY;
            stop.offset = offset;
            stop.bytesLeft = length;
            stop.rangeOffset = offset;
            stop.parentItem = parentItem;
            ReadBigEndian32(base + offset, bufferEnd, &stop.sizeField);
            tree->reportStop(tree->stopContext, &stop);
        }
        return;
    }
    uint32_t pos = offset;
    while (stack.count > 0) {
        WalkFrame *frame = &stack.frames[stack.count - 1];
        uint32_t left = frame->end - pos;
        const unsigned char *header = base + pos;
        if (left == 0) {
            EndRange(&stack, &pos);
            continue;
        }
        // A range ends where no header can stand.
        if (left < atomHeaderSize) {
            ReportRangeStop(tree, &stack, ATOM_WALK_HEADER_TOO_SHORT, base, pos);
            EndRange(&stack, &pos);
            continue;
        }
        if (!IsPrintableType(header + 4)) {
            ReportRangeStop(tree, &stack, ATOM_WALK_TYPE_NOT_PRINTABLE, base, pos);
            EndRange(&stack, &pos);
            continue;
        }
        uint32_t size = 0;
        ReadBigEndian32(header, bufferEnd, &size);
        uint32_t payloadSize;
        int clamped = 0;
        if (size == 0) {
            payloadSize = left - atomHeaderSize;
        } else if (size < atomHeaderSize) {
            // Sizes 1 to 7 (1 being another writer's 64-bit size) give no
            // range we can trust.
            ReportRangeStop(tree, &stack,
                            size == 1 ? ATOM_WALK_SIZE_64BIT : ATOM_WALK_SIZE_TOO_SMALL, base, pos);
            EndRange(&stack, &pos);
            continue;
        } else if (size > left) {
            // Where the file was cut short this is an atom the cut went
            // through: show what survived. In a complete range it is payload
            // that merely looks like a header.
            if (!frame->cutShort) {
                ReportRangeStop(tree, &stack, ATOM_WALK_SIZE_OVERRUNS, base, pos);
                EndRange(&stack, &pos);
                continue;
            }
            payloadSize = left - atomHeaderSize;
            clamped = 1;
        } else {
            payloadSize = size - atomHeaderSize;
        }

        AtomNodeRecord *record = (AtomNodeRecord *)HeapAllocBlock(sizeof(AtomNodeRecord));
        if (record == 0) {
            ReportStop(tree, &stack, ATOM_WALK_OUT_OF_MEMORY, pos, size);
            break;
        }
        record->ownsBuffer = 0;
        record->base = base;
        record->payloadOffset = pos + atomHeaderSize;
        record->payloadSize = payloadSize;
        char label[ATOM_LABEL_CAPACITY];
        FormatAtomLabel(label, header + 4, pos, payloadSize);
        void *item = tree->insertItem(tree->context, frame->parentItem, label, record);
        uint32_t atomEnd = pos + atomHeaderSize + payloadSize;
        if (item == 0) {
            // Children of an item that does not exist would land elsewhere.
            HeapFreeBlock(record);
            ReportStop(tree, &stack, ATOM_WALK_OUT_OF_MEMORY, pos, size);
            pos = atomEnd;
            continue;
        }
        AddAtomDescriptions(header, size, &tree->descriptions, item, bufferEnd);
        if (clamped)
            ReportStop(tree, &stack, ATOM_WALK_CUT_SHORT, pos, size);
        // Deeper items would be more than the tree view survives. Worth
        // saying only when the payload starts like an atom.
        const int atDepthLimit = size != 0 && stack.count >= ATOM_WALK_DEPTH_LIMIT;
        if (atDepthLimit && payloadSize >= atomHeaderSize && IsPrintableType(header + 12))
            ReportStop(tree, &stack, ATOM_WALK_DEPTH_LIMIT_REACHED, pos, size);
        frame->atomsFound++;
        if (size == 0) {
            EndRange(&stack, &pos);
            continue;
        }
        if (atDepthLimit) {
            pos = atomEnd;
            continue;
        }
        pos += atomHeaderSize;
        if (payloadSize != 0 && !PushWalkFrame(&stack, item, pos, atomEnd, clamped)) {
            ReportStop(tree, &stack, ATOM_WALK_OUT_OF_MEMORY, pos - atomHeaderSize, size);
            break;
        }
    }
    HeapFreeBlock(stack.frames);
}
