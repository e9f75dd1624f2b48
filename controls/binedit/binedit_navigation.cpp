#include "controls/binedit/binedit_navigation.h"

int32_t GetBinEditLastRow(uint32_t size)
{
    // Counted without adding 15 to size, which would wrap for the largest sizes.
    uint32_t rows = (size >> 4) + ((size & 15) != 0 ? 1 : 0);
    return (int32_t)rows - 1;
}

int IsBinEditCtrlFormKey(uint32_t keyCode)
{
    return keyCode == BINEDIT_KEY_PAGE_UP || keyCode == BINEDIT_KEY_PAGE_DOWN ||
        keyCode == BINEDIT_KEY_END || keyCode == BINEDIT_KEY_HOME;
}

static uint32_t ClampToLastByte(uint32_t caret, uint32_t size)
{
    // With no bytes size - 1 is the largest value, and nothing is clamped.
    return size - 1 < caret ? size - 1 : caret;
}

void ApplyBinEditKey(BinEditState *state, uint32_t keyCode, int ctrlHeld)
{
    uint32_t caret = state->caret;
    uint32_t size = state->size;
    switch (keyCode) {
    case BINEDIT_KEY_TAB:
        state->column =
            state->column == BINEDIT_HEX_COLUMN ? BINEDIT_TEXT_COLUMN : BINEDIT_HEX_COLUMN;
        return;
    case BINEDIT_KEY_PAGE_UP:
        caret -= ctrlHeld ? 4096u : 256u;
        if ((int32_t)caret < 0)
            caret = 0;
        break;
    case BINEDIT_KEY_PAGE_DOWN:
        caret = ClampToLastByte(caret + (ctrlHeld ? 4096u : 256u), size);
        break;
    case BINEDIT_KEY_END:
        caret = ctrlHeld ? size - 1 : ClampToLastByte((caret & ~15u) + 15u, size);
        break;
    case BINEDIT_KEY_HOME: caret = ctrlHeld ? 0 : caret & ~15u; break;
    case BINEDIT_KEY_LEFT:
    case BINEDIT_KEY_H:
        if ((int32_t)(caret - 1u) >= 0)
            caret -= 1u;
        break;
    case BINEDIT_KEY_UP:
    case BINEDIT_KEY_K:
        if ((int32_t)(caret - 16u) >= 0)
            caret -= 16u;
        break;
    case BINEDIT_KEY_RIGHT:
    case BINEDIT_KEY_L:
        if (caret + 1u < size)
            caret += 1u;
        break;
    case BINEDIT_KEY_DOWN:
    case BINEDIT_KEY_J:
        if (caret + 16u < size)
            caret += 16u;
        break;
    default: break;
    }
    state->caret = caret;
}

int HitTestBinEdit(const BinEditState *state, int32_t x, int32_t y, int32_t topRow, BinEditHit *hit)
{
    if (!HasBinEditCell(state))
        return 0;
    // Cells counted from the first hex cell: the hex column's three cells
    // per byte, then the text column from its first cell on; the cell
    // between the two columns counts as the text column's first byte.
    const int32_t hexCells = GetBinEditHexCell(BINEDIT_BYTES_PER_ROW) - BINEDIT_HEX_FIRST_CELL;
    const int32_t textStart = BINEDIT_TEXT_FIRST_CELL - BINEDIT_HEX_FIRST_CELL;
    int32_t c = x / state->cellWidth - BINEDIT_HEX_FIRST_CELL;
    if (c < 0)
        c = 0;
    int32_t column;
    if (c >= hexCells) {
        c -= textStart;
        if (c < 0)
            c = 0;
        column = BINEDIT_TEXT_COLUMN;
    } else {
        c /= GetBinEditHexCell(1) - GetBinEditHexCell(0);
        column = BINEDIT_HEX_COLUMN;
    }
    int32_t r = y / state->cellHeight - 1;
    if (r < 0 || c >= 16)
        return 0;
    uint32_t offset = ((uint32_t)r + (uint32_t)topRow) * 16u + (uint32_t)c;
    // Compared unsigned: whatever the size, only an existing byte is taken.
    if (offset >= state->size)
        return 0;
    hit->offset = offset;
    hit->column = column;
    return 1;
}

int32_t GetBinEditPageStep(const BinEditState *state, int32_t clientHeight)
{
    if (!HasBinEditCell(state))
        return 0;
    return (clientHeight / state->cellHeight - 2) / 2;
}

int32_t GetBinEditScrollTarget(const BinEditState *state, int32_t clientHeight, int32_t topRow,
                               uint32_t code, uint32_t thumbPosition)
{
    uint32_t p = (uint32_t)topRow;
    uint32_t step = (uint32_t)GetBinEditPageStep(state, clientHeight);
    switch (code) {
    case BINEDIT_SCROLL_LINE_UP: p -= 1u; break;
    case BINEDIT_SCROLL_LINE_DOWN: p += 1u; break;
    case BINEDIT_SCROLL_PAGE_UP: p -= step; break;
    case BINEDIT_SCROLL_PAGE_DOWN: p += step; break;
    case BINEDIT_SCROLL_THUMB_POSITION:
    case BINEDIT_SCROLL_THUMB_TRACK: p = thumbPosition; break;
    case BINEDIT_SCROLL_TOP: p = 0; break;
    case BINEDIT_SCROLL_BOTTOM: p = state->size >> 4; break;
    default: break;
    }
    if ((int32_t)p < 0)
        p = 0;
    if ((int32_t)(state->size / 16u) < (int32_t)p)
        p = state->size >> 4;
    return (int32_t)p;
}

int32_t GetBinEditWheelTarget(const BinEditState *state, int32_t clientHeight, int32_t topRow,
                              int32_t delta, uint32_t linesPerNotch)
{
    // One screen per notch means one page step, not a multiplication by the
    // largest unsigned value.
    uint32_t lines = linesPerNotch == BINEDIT_WHEEL_PAGE_SCROLL
        ? (uint32_t)GetBinEditPageStep(state, clientHeight)
        : linesPerNotch;
    uint32_t notches = (uint32_t)(delta / 120);
    return (int32_t)((uint32_t)topRow - notches * lines);
}

int GetBinEditCaretScrollRequests(const BinEditState *state, int32_t clientHeight, int32_t topRow,
                                  int32_t requests[2])
{
    if (!HasBinEditCell(state))
        return 0;
    uint32_t top = (uint32_t)topRow;
    int32_t wholeRowsBelowFirst = clientHeight / state->cellHeight - 2;
    uint32_t caret = state->caret;
    int count = 0;
    if (caret < top * 16u)
        requests[count++] = (int32_t)(caret >> 4);
    if (top * 16u + (uint32_t)wholeRowsBelowFirst * 16u < caret)
        requests[count++] = (int32_t)((caret >> 4) - (uint32_t)wholeRowsBelowFirst);
    return count;
}
