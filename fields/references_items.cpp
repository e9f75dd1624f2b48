// Item locations (iloc) against the file and the idat.
#include "fields/references_internal.h"

#include <string.h>

// The item locations of a meta box, read from its decoded fields: the
// fields arrive as boxes[ {box, offset, size, ... items[ {item_ID, ...
// extents[ {extent_offset, extent_length} ] } ] } ].
struct ItemLocations {
    const Checking *checking;
    unsigned depth;
    char box[5];
    uint64_t boxOffset, boxSize;
    uint64_t idatOffset, idatSize;  // the idat's payload, when found
    int hasIdat;
    uint64_t ilocOffset;
    // The item and extent being read.
    uint64_t itemId, method, dataReference, baseOffset, extentOffset, extentLength;
    // Extents of construction method 1, checked once the idat is known.
    uint64_t idatNeeded;
    uint64_t idatItem;
    int reported;
};

static void ItemNumber(void *context, const char *name, uint64_t value, FieldFormat)
{
    ItemLocations *items = (ItemLocations *)context;
    if (items->depth == 2 && strcmp(name, "offset") == 0)
        items->boxOffset = value;
    else if (items->depth == 2 && strcmp(name, "size") == 0)
        items->boxSize = value;
    if (memcmp(items->box, "iloc", 4) != 0)
        return;
    if (items->depth == 4) {
        if (strcmp(name, "item_ID") == 0) {
            items->itemId = value;
            items->method = items->dataReference = items->baseOffset = 0;
        } else if (strcmp(name, "construction_method") == 0) {
            items->method = value;
        } else if (strcmp(name, "data_reference_index") == 0) {
            items->dataReference = value;
        } else if (strcmp(name, "base_offset") == 0) {
            items->baseOffset = value;
        }
    } else if (items->depth == 6) {
        if (strcmp(name, "extent_offset") == 0)
            items->extentOffset = value;
        else if (strcmp(name, "extent_length") == 0)
            items->extentLength = value;
    }
}

static void ItemText(void *context, const char *name, const char *bytes, size_t length)
{
    ItemLocations *items = (ItemLocations *)context;
    if (items->depth == 2 && strcmp(name, "box") == 0 && length == 4) {
        memcpy(items->box, bytes, 4);
        items->boxOffset = items->boxSize = 0;
    }
}

static void ItemBegin(void *context, const char *)
{
    ((ItemLocations *)context)->depth++;
}

static void ItemBeginEntry(void *context)
{
    ItemLocations *items = (ItemLocations *)context;
    items->depth++;
    if (items->depth == 6)
        items->extentOffset = items->extentLength = 0;
}

static void ItemEndEntry(void *context)
{
    ItemLocations *items = (ItemLocations *)context;
    if (items->depth == 2 && memcmp(items->box, "idat", 4) == 0 && items->boxSize >= 8) {
        items->hasIdat = 1;
        items->idatOffset = items->boxOffset + 8;
        items->idatSize = items->boxSize - 8;
    }
    if (items->depth == 2 && memcmp(items->box, "iloc", 4) == 0)
        items->ilocOffset = items->boxOffset;
    if (items->depth == 6 && memcmp(items->box, "iloc", 4) == 0 && items->dataReference == 0 &&
        !items->reported) {
        uint64_t start = items->baseOffset + items->extentOffset;
        uint64_t end = start + items->extentLength;
        if (end < start || start < items->baseOffset) {
            end = UINT64_MAX;
        }
        const Checking *checking = items->checking;
        if (items->method == 0 && (end > checking->fileSize || start > checking->fileSize)) {
            Report(checking, items->boxOffset, 0, "iloc-extent",
                   "item %llu: its extent at 0x%08llX of %llu bytes lies past the end of the "
                   "file (%llu bytes)",
                   (unsigned long long)items->itemId, (unsigned long long)start,
                   (unsigned long long)items->extentLength, (unsigned long long)checking->fileSize);
            items->reported = 1;
        } else if (items->method == 1 && end > items->idatNeeded) {
            items->idatNeeded = end;
            items->idatItem = items->itemId;
        }
    }
    items->depth--;
}

static void ItemEndTable(void *context, uint64_t)
{
    ((ItemLocations *)context)->depth--;
}

static void ItemProblem(void *, uint64_t, const char *) {}

void CheckItemLocations(const Checking *checking, const FileReferences *references)
{
    for (uint32_t i = 0; i < references->metas.count; i++) {
        const KeptBox *meta = At<KeptBox>(&references->metas, i);
        ItemLocations items = {};
        items.checking = checking;
        FieldSink sink = {&items,         ItemNumber,   ItemText,     ItemBegin,
                          ItemBeginEntry, ItemEndEntry, ItemEndTable, ItemProblem};
        FieldBox box;
        memcpy(box.type, "meta", 4);
        box.payload = Payload(checking, meta);
        box.payloadSize = meta->size;
        box.payloadOffset = meta->offset;
        box.parentTypes = 0;
        box.parentCount = 0;
        DecodeBoxFields(&box, FIELD_TABLE_ALL, &sink);
        if (items.idatNeeded != 0 && (!items.hasIdat || items.idatNeeded > items.idatSize))
            Report(checking, items.ilocOffset, 0, "iloc-extent",
                   "item %llu: its extent runs to byte %llu of the idat, which holds %llu",
                   (unsigned long long)items.idatItem, (unsigned long long)items.idatNeeded,
                   (unsigned long long)(items.hasIdat ? items.idatSize : 0));
    }
}
