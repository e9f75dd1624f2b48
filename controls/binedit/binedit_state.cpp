#include "controls/binedit/binedit_state.h"

#include "platform/heap.h"

void FreeBinEditData(BinEditState *state)
{
    if (state->data)
        HeapFreeBlock(state->data);
    state->data = 0;
    state->size = 0;
}

int ReplaceBinEditData(BinEditState *state, uint32_t count, const unsigned char *bytes)
{
    FreeBinEditData(state);
    state->caret = 0;
    if (count == 0 || !bytes)
        return 1;
    unsigned char *copy = (unsigned char *)HeapAllocBlock(count);
    if (!copy)
        return 0;
    for (uint32_t i = 0; i < count; i++)
        copy[i] = bytes[i];
    state->data = copy;
    state->size = count;
    return 1;
}
