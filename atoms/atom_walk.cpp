#include "atoms/atom_walk.h"
#include "platform/heap.h"

static const uint32_t atomHeaderSize = 8;

static uint32_t ReadBigEndian32(const unsigned char *bytes)
{
    return ((uint32_t)bytes[0] << 24) | ((uint32_t)bytes[1] << 16) |
           ((uint32_t)bytes[2] << 8) | (uint32_t)bytes[3];
}

static int IsPrintableType(const unsigned char *type)
{
    for (int i = 0; i < 4; i++) {
        if (type[i] < 0x20 || type[i] > 0x7E)
            return 0;
    }
    return 1;
}

static char *AppendText(char *out, const char *text)
{
    while (*text != '\0')
        *out++ = *text++;
    return out;
}

static char *AppendHex(char *out, uint32_t value, int minimumDigits)
{
    static const char digits[] = "0123456789ABCDEF";
    int count = 8;
    while (count > minimumDigits && count > 1 && (value >> ((count - 1) * 4)) == 0)
        count--;
    for (int i = count - 1; i >= 0; i--)
        *out++ = digits[(value >> (i * 4)) & 0xF];
    return out;
}

static char *AppendDecimal(char *out, uint32_t value)
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
    out = AppendText(out, " (+0x");
    out = AppendHex(out, offset, 8);
    *out++ = ':';
    out = AppendDecimal(out, payloadSize);
    out = AppendText(out, "[0x");
    out = AppendHex(out, payloadSize, 1);
    out = AppendText(out, "])");
    *out = '\0';
    return (uint32_t)(out - label);
}

// One range being walked: its atoms become children of parentItem, and it
// ends at the absolute offset end. The walk's position is shared by all
// frames: a child range ends where its atom ends, which is where the parent
// range goes on.
struct WalkFrame {
    void *parentItem;
    uint32_t end;
};

struct WalkStack {
    WalkFrame *frames;
    uint32_t count;
    uint32_t capacity;
};

static int PushWalkFrame(WalkStack *stack, void *parentItem, uint32_t end)
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
    stack->frames[stack->count].parentItem = parentItem;
    stack->frames[stack->count].end = end;
    stack->count++;
    return 1;
}

void WalkAtoms(const AtomTree *tree, void *parentItem, unsigned char *base,
               uint32_t bufferSize, uint32_t offset, uint32_t length)
{
    if (length == 0 || offset > bufferSize || length > bufferSize - offset)
        return;
    const unsigned char *bufferEnd = base + bufferSize;
    WalkStack stack = {0, 0, 0};
    if (!PushWalkFrame(&stack, parentItem, offset + length))
        return;
    uint32_t pos = offset;
    while (stack.count > 0) {
        WalkFrame frame = stack.frames[stack.count - 1];
        uint32_t left = frame.end - pos;
        const unsigned char *header = base + pos;
        // A range ends where it is used up or where no header can stand.
        if (left < atomHeaderSize || !IsPrintableType(header + 4)) {
            pos = frame.end;
            stack.count--;
            continue;
        }
        uint32_t size = ReadBigEndian32(header);
        uint32_t payloadSize;
        if (size == 0) {
            payloadSize = left - atomHeaderSize;
        } else if (size < atomHeaderSize) {
            // Sizes 1 to 7 (1 being another writer's 64-bit size) give no
            // range we can trust.
            pos = frame.end;
            stack.count--;
            continue;
        } else if (size > left) {
            // At the end of the file this is a file cut short: show what
            // survived. Inside an enclosing atom it is payload that merely
            // looks like a header.
            if (frame.end != bufferSize) {
                pos = frame.end;
                stack.count--;
                continue;
            }
            payloadSize = left - atomHeaderSize;
        } else {
            payloadSize = size - atomHeaderSize;
        }

        AtomNodeRecord *record = (AtomNodeRecord *)HeapAllocBlock(sizeof(AtomNodeRecord));
        if (record == 0)
            break;
        record->ownsBuffer = 0;
        record->base = base;
        record->payloadOffset = pos + atomHeaderSize;
        record->payloadSize = payloadSize;
        char label[ATOM_LABEL_CAPACITY];
        FormatAtomLabel(label, header + 4, pos, payloadSize);
        void *item = tree->insertItem(tree->context, frame.parentItem, label, record);
        uint32_t atomEnd = pos + atomHeaderSize + payloadSize;
        if (item == 0) {
            // Children of an item that does not exist would land elsewhere.
            HeapFreeBlock(record);
            pos = atomEnd;
            continue;
        }
        AddAtomDescriptions(header, size, &tree->descriptions, item, bufferEnd);
        if (size == 0) {
            pos = frame.end;
            stack.count--;
            continue;
        }
        if (stack.count >= ATOM_WALK_DEPTH_LIMIT) {
            // Deeper items would be more than the tree view survives.
            pos = atomEnd;
            continue;
        }
        pos += atomHeaderSize;
        if (payloadSize != 0 && !PushWalkFrame(&stack, item, atomEnd))
            break;
    }
    HeapFreeBlock(stack.frames);
}
