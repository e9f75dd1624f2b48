#include "defs/definition_index.h"
#include "bytes/big_endian.h"
#include "defs/definition_line.h"
#include "platform/heap.h"

// A line the lookup inserts. A short line is copied into the index, NUL-
// terminated, and inserted as it stands. A long line is only found in the
// definition text, so that a huge line costs no copy while nobody looks it
// up; the lookup copies it into a block of its own to insert it.
struct IndexedLine {
    const char *text;
    uint32_t longLength;  // 0 for a copied line, else the length in the text
};

// A section as the lookup inserts it: its header line, then its body lines.
struct IndexedSection {
    const unsigned char *name;  // the bytes after the header's "["
    const IndexedLine *lines;   // lineCount lines, the header line first
    uint32_t nameLength;        // up to the first "]" or the end of the line
    uint32_t lineCount;
};

// The sections whose names start with one type: bucketSections[first] on,
// count of them, in file order. A type of 0 marks an empty slot: a name
// holds no NUL byte, so no name's first four bytes read as 0.
struct TypeBucket {
    uint32_t type;
    uint32_t first;
    uint32_t count;
};

struct DefinitionIndex {
    const char *text;
    IndexedSection *sections;  // every section, in file order
    IndexedLine *lines;
    uint32_t *shortNameSections;  // names of 0 to 3 bytes, in file order
    TypeBucket *buckets;          // open addressing, bucketMask + 1 slots
    uint32_t *bucketSections;
    uint32_t sectionCount;
    uint32_t shortNameCount;
    uint32_t bucketMask;
};

struct IndexCounts {
    uint64_t sections;
    uint64_t lines;
    uint64_t textBytes;
    uint64_t shortNames;
    uint64_t longNames;
};

// The four type bytes at bytes as one number; end bounds the bytes.
static uint32_t TypeKey(const unsigned char *bytes, const unsigned char *end)
{
    uint32_t key = 0;
    ReadBigEndian32(bytes, end, &key);
    return key;
}

static uint32_t TypeSlot(uint32_t type, uint32_t mask)
{
    uint32_t h = type * 0x9E3779B1u;
    return (h ^ (h >> 15)) & mask;
}

// Cuts the text into lines exactly as ReadDefinitionLine does and keeps the
// lines the lookup can show: each header line and the body lines after it,
// up to an empty line or the next header. Counts them; with index set, also
// stores them, the texts of short lines going to textOut.
static void ScanSections(const char *text, CharStep step, IndexCounts *counts,
                         DefinitionIndex *index, char *textOut)
{
    *counts = {};
    int inBody = 0;
    const char *p = text;
    while (*p != '\0') {
        const char *start = p;
        const char *end = FindDefinitionLineEnd(p, step);
        p = SkipDefinitionLineTerminator(end);
        uint32_t length = (uint32_t)(end - start);
        if (length > 0 && start[0] == '[') {
            uint32_t nameLength = 0;
            while (nameLength + 1 < length && start[1 + nameLength] != ']')
                nameLength++;
            if (index != 0) {
                IndexedSection *section = &index->sections[counts->sections];
                const char *kept = length < DEFINITION_INDEX_LONG_LINE ? textOut : start;
                section->name = (const unsigned char *)kept + 1;
                section->lines = &index->lines[counts->lines];
                section->nameLength = nameLength;
                section->lineCount = 0;
            }
            counts->sections++;
            if (nameLength < 4)
                counts->shortNames++;
            else
                counts->longNames++;
            inBody = 1;
        } else if (!inBody) {
            continue;
        } else if (length == 0) {
            inBody = 0;
            continue;
        }
        if (length >= DEFINITION_INDEX_LONG_LINE) {
            if (index != 0) {
                index->lines[counts->lines].text = start;
                index->lines[counts->lines].longLength = length;
            }
        } else {
            if (index != 0) {
                for (uint32_t i = 0; i < length; i++)
                    textOut[i] = start[i];
                textOut[length] = '\0';
                index->lines[counts->lines].text = textOut;
                index->lines[counts->lines].longLength = 0;
                textOut += length + 1;
            }
            counts->textBytes += (uint64_t)length + 1;
        }
        if (index != 0)
            index->sections[counts->sections - 1].lineCount++;
        counts->lines++;
    }
}

static uint64_t AlignedSize(uint64_t bytes)
{
    return (bytes + sizeof(void *) - 1) / sizeof(void *) * sizeof(void *);
}

static void FillTypeBuckets(DefinitionIndex *index)
{
    uint32_t mask = index->bucketMask;
    for (uint32_t slot = 0; slot <= mask; slot++)
        index->buckets[slot].type = 0;
    // Count the sections of each type, then give each type its run and fill
    // the runs in file order.
    for (int fill = 0; fill < 2; fill++) {
        for (uint32_t s = 0; s < index->sectionCount; s++) {
            const IndexedSection *section = &index->sections[s];
            if (section->nameLength < 4)
                continue;
            uint32_t type = TypeKey(section->name, section->name + section->nameLength);
            uint32_t slot = TypeSlot(type, mask);
            while (index->buckets[slot].type != 0 && index->buckets[slot].type != type)
                slot = (slot + 1) & mask;
            TypeBucket *bucket = &index->buckets[slot];
            if (bucket->type == 0) {
                bucket->type = type;
                bucket->count = 0;
            }
            if (fill)
                index->bucketSections[bucket->first + bucket->count] = s;
            bucket->count++;
        }
        if (fill)
            break;
        uint32_t next = 0;
        for (uint32_t slot = 0; slot <= mask; slot++) {
            if (index->buckets[slot].type == 0)
                continue;
            index->buckets[slot].first = next;
            next += index->buckets[slot].count;
            index->buckets[slot].count = 0;
        }
    }
    uint32_t shortNames = 0;
    for (uint32_t s = 0; s < index->sectionCount; s++) {
        if (index->sections[s].nameLength < 4)
            index->shortNameSections[shortNames++] = s;
    }
}

DefinitionIndex *BuildDefinitionIndex(const char *text, CharStep step)
{
    if (text == 0)
        return 0;
    IndexCounts counts;
    ScanSections(text, step, &counts, 0, 0);
    if (counts.lines > 0xFFFFFFFFu || counts.sections > 0x3FFFFFFFu)
        return 0;
    uint64_t slots = 1;
    while (slots < 2 * counts.longNames)
        slots *= 2;
    // One block: the record, then the parts that hold pointers, then the
    // 32-bit tables, then the texts.
    uint64_t headerBytes = AlignedSize(sizeof(DefinitionIndex));
    uint64_t sectionBytes = AlignedSize(counts.sections * sizeof(IndexedSection));
    uint64_t lineBytes = AlignedSize(counts.lines * sizeof(IndexedLine));
    uint64_t bucketBytes = AlignedSize(slots * sizeof(TypeBucket));
    uint64_t bucketSectionBytes = AlignedSize(counts.longNames * sizeof(uint32_t));
    uint64_t shortNameBytes = AlignedSize(counts.shortNames * sizeof(uint32_t));
    uint64_t total = headerBytes + sectionBytes + lineBytes + bucketBytes + bucketSectionBytes +
        shortNameBytes + counts.textBytes;
    // A 32-bit process cannot hold what a huge text would need.
    if (total != (uint64_t)(size_t)total)
        return 0;
    unsigned char *block = (unsigned char *)HeapAllocBlock((size_t)total);
    if (block == 0)
        return 0;
    DefinitionIndex *index = (DefinitionIndex *)block;
    unsigned char *part = block + headerBytes;
    index->text = text;
    index->sections = (IndexedSection *)part;
    part += sectionBytes;
    index->lines = (IndexedLine *)part;
    part += lineBytes;
    index->buckets = (TypeBucket *)part;
    part += bucketBytes;
    index->bucketSections = (uint32_t *)part;
    part += bucketSectionBytes;
    index->shortNameSections = (uint32_t *)part;
    part += shortNameBytes;
    index->sectionCount = (uint32_t)counts.sections;
    index->shortNameCount = (uint32_t)counts.shortNames;
    index->bucketMask = (uint32_t)(slots - 1);
    ScanSections(text, step, &counts, index, (char *)part);
    FillTypeBuckets(index);
    return index;
}

void FreeDefinitionIndex(DefinitionIndex *index)
{
    if (index != 0)
        HeapFreeBlock(index);
}

const char *DefinitionIndexText(const DefinitionIndex *index)
{
    return index->text;
}

// The name compared with the atom's bytes from its type field on, as the
// line-by-line lookup does: an empty name matches every atom, and a name
// that would reach the buffer's end (available bytes from the atom's start)
// matches none.
static int SectionMatchesAtom(const IndexedSection *section, const unsigned char *atom,
                              size_t available)
{
    uint32_t length = section->nameLength;
    if (length == 0)
        return 1;
    if (available < 4 || length > available - 4)
        return 0;
    for (uint32_t i = 0; i < length; i++) {
        if (section->name[i] != atom[4 + i])
            return 0;
    }
    return 1;
}

// Inserts a long line through a copy of its own. Returns 0 when the copy
// cannot be allocated.
static int InsertLongLine(const IndexedLine *line, const DescriptionTree *tree, void *item)
{
    char *copy = (char *)HeapAllocBlock((size_t)line->longLength + 1);
    if (copy == 0)
        return 0;
    for (uint32_t i = 0; i < line->longLength; i++)
        copy[i] = line->text[i];
    copy[line->longLength] = '\0';
    tree->insertChildText(tree->context, item, copy);
    HeapFreeBlock(copy);
    return 1;
}

// Returns 0 when a long line could not be inserted: the lookup stops there.
static int InsertSectionLines(const IndexedSection *section, const DescriptionTree *tree,
                              void *item)
{
    for (uint32_t i = 0; i < section->lineCount; i++) {
        const IndexedLine *line = &section->lines[i];
        if (line->longLength == 0)
            tree->insertChildText(tree->context, item, line->text);
        else if (!InsertLongLine(line, tree, item))
            return 0;
    }
    return 1;
}

static const TypeBucket *FindTypeBucket(const DefinitionIndex *index, uint32_t type)
{
    uint32_t slot = TypeSlot(type, index->bucketMask);
    for (;;) {
        const TypeBucket *bucket = &index->buckets[slot];
        if (bucket->type == type)
            return bucket;
        if (bucket->type == 0)
            return 0;
        slot = (slot + 1) & index->bucketMask;
    }
}

void AddAtomDescriptionsFromIndex(const DefinitionIndex *index, const unsigned char *atom,
                                  const DescriptionTree *tree, void *item,
                                  const unsigned char *bufferEnd)
{
    size_t available = bufferEnd > atom ? (size_t)(bufferEnd - atom) : 0;
    if (available < 8) {
        // No whole type field to look up: every section in turn.
        for (uint32_t s = 0; s < index->sectionCount; s++) {
            if (SectionMatchesAtom(&index->sections[s], atom, available) &&
                !InsertSectionLines(&index->sections[s], tree, item))
                return;
        }
        return;
    }
    const uint32_t type = TypeKey(atom + 4, bufferEnd);
    const TypeBucket *bucket = type != 0 ? FindTypeBucket(index, type) : 0;
    const uint32_t *typed = bucket ? index->bucketSections + bucket->first : 0;
    const uint32_t typedCount = bucket ? bucket->count : 0;
    const uint32_t *shortNames = index->shortNameSections;
    const uint32_t shortCount = index->shortNameCount;
    // Both lists are in file order: merge them to keep it.
    uint32_t i = 0, j = 0;
    while (i < shortCount || j < typedCount) {
        uint32_t s;
        if (j == typedCount || (i < shortCount && shortNames[i] < typed[j]))
            s = shortNames[i++];
        else
            s = typed[j++];
        if (SectionMatchesAtom(&index->sections[s], atom, available) &&
            !InsertSectionLines(&index->sections[s], tree, item))
            return;
    }
}
