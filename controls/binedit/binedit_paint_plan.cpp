#include "controls/binedit/binedit_paint_plan.h"

#include "bytes/byte_text.h"
#include "platform/heap.h"

const char BinEditHeaderText[] =
    "+0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F  0123456789ABCDEF";

// Most a plan holds besides the rows: fill, header, two caret marks, one
// show or hide.
enum { FIXED_OPS = 5, OPS_PER_ROW = 1 + 16 + 16, MOST_OPS = 0x00FFFFFF };

static BinEditPaintOp *NextOp(BinEditPaintPlan *plan, int32_t kind, int32_t left, int32_t top)
{
    if (plan->count >= plan->capacity)
        return 0;
    BinEditPaintOp *op = &plan->ops[plan->count++];
    op->kind = kind;
    op->left = left;
    op->top = top;
    op->right = 0;
    op->bottom = 0;
    op->background = 0;
    op->foreground = 0;
    op->length = 0;
    op->text = 0;
    for (int i = 0; i < 8; i++)
        op->chars[i] = 0;
    return op;
}

static BinEditPaintOp *AddText(BinEditPaintPlan *plan, int32_t left, int32_t top,
                               uint32_t background, uint32_t foreground)
{
    BinEditPaintOp *op = NextOp(plan, BINEDIT_PAINT_TEXT, left, top);
    if (op) {
        op->background = background;
        op->foreground = foreground;
    }
    return op;
}

static void AddRectangle(BinEditPaintPlan *plan, int32_t kind, int32_t left, int32_t top,
                         int32_t right, int32_t bottom)
{
    BinEditPaintOp *op = NextOp(plan, kind, left, top);
    if (op) {
        op->right = right;
        op->bottom = bottom;
    }
}

uint32_t FormatBinEditOffset(uint32_t offset, char out[8])
{
    uint32_t digits = 6;
    while (digits < 8 && (offset >> (4 * digits)) != 0)
        digits++;
    for (uint32_t i = 0; i < digits; i++)
        out[i] = UpperHexDigits[(offset >> (4 * (digits - 1 - i))) & 15];
    return digits;
}

// Marks the caret byte's cell at (x, y) in `cellColumn` (0 hex, 1 text).
// Returns 1 when the system caret was placed there.
static int MarkCaretCell(const BinEditPaintInput *input, BinEditPaintPlan *plan, int32_t cellColumn,
                         int32_t x, int32_t y)
{
    const BinEditState *state = input->state;
    if (cellColumn != state->column) {
        AddRectangle(plan, BINEDIT_PAINT_XOR_BLOCK, x, y, x + state->cellWidth + 1,
                     y + state->cellHeight + 1);
        return 0;
    }
    if (input->focused) {
        NextOp(plan, BINEDIT_PAINT_CARET_MOVE, x, y);
        return 1;
    }
    AddRectangle(plan, BINEDIT_PAINT_XOR_OUTLINE, x, y, x + state->cellWidth,
                 y + state->cellHeight);
    return 0;
}

static int32_t RowsInView(const BinEditPaintInput *input)
{
    int32_t cellHeight = input->state->cellHeight;
    if (input->clientHeight <= 0)
        return 0;
    // Written to round up without overflowing near the largest heights.
    return input->clientHeight / cellHeight + (input->clientHeight % cellHeight != 0 ? 1 : 0);
}

// The offset of the first byte shown and how many bytes follow it; none
// when the top row lies past the last byte.
static uint32_t RemainingFromTop(const BinEditPaintInput *input, uint32_t *first)
{
    uint32_t size = input->state->size;
    uint32_t topRow = (uint32_t)input->topRow;
    if (input->topRow < 0 || topRow > (size >> 4) || topRow * 16u >= size) {
        *first = 0;
        return 0;
    }
    *first = topRow * 16u;
    return size - *first;
}

uint32_t GetBinEditPaintPlanCapacity(const BinEditPaintInput *input)
{
    const BinEditState *state = input->state;
    if (!HasBinEditCell(state))
        return 1;
    if (!state->data)
        return BINEDIT_PAINT_RESERVE_OPS;
    uint32_t first;
    uint32_t remaining = RemainingFromTop(input, &first);
    uint32_t rowsWithBytes = (remaining >> 4) + ((remaining & 15) != 0 ? 1 : 0);
    uint32_t rows = (uint32_t)RowsInView(input);
    if (rows > rowsWithBytes)
        rows = rowsWithBytes;
    if (rows > (MOST_OPS - FIXED_OPS) / OPS_PER_ROW)
        return 0;
    return FIXED_OPS + rows * OPS_PER_ROW;
}

void BuildBinEditPaintPlan(const BinEditPaintInput *input, BinEditPaintPlan *plan)
{
    const BinEditState *state = input->state;
    plan->count = 0;
    plan->caretShown = state->caretShown;

    AddRectangle(plan, BINEDIT_PAINT_FILL, 0, 0, input->clientWidth + 1, input->clientHeight + 1);
    // Without a cell size there is no grid to draw on: background only.
    if (!HasBinEditCell(state))
        return;

    int32_t cellWidth = state->cellWidth;
    int32_t cellHeight = state->cellHeight;
    uint32_t labelBackground = input->focused ? BINEDIT_COLOUR_LIGHT_GREY : BINEDIT_COLOUR_WHITE;

    BinEditPaintOp *header =
        AddText(plan, BINEDIT_HEADER_CELL * cellWidth, 0, labelBackground, BINEDIT_COLOUR_BLACK);
    if (header) {
        header->text = BinEditHeaderText;
        header->length = BINEDIT_HEADER_LENGTH;
    }

    if (!state->data) {
        NextOp(plan, BINEDIT_PAINT_CARET_MOVE, BINEDIT_HEX_FIRST_CELL * cellWidth, cellHeight);
        if (input->focused && state->caretShown == 0) {
            NextOp(plan, BINEDIT_PAINT_CARET_SHOW, 0, 0);
            plan->caretShown = 1;
        }
        return;
    }

    int placed = 0;
    uint32_t first;
    uint32_t remaining = RemainingFromTop(input, &first);
    int32_t rows = RowsInView(input);
    for (int32_t r = 0; r < rows && remaining > 0; r++) {
        int32_t y = (r + 1) * cellHeight;
        uint32_t rowOffset = first + 16u * (uint32_t)r;
        uint32_t inRow = remaining < 16u ? remaining : 16u;

        BinEditPaintOp *offset = AddText(plan, BINEDIT_OFFSET_CELL * cellWidth, y, labelBackground,
                                         BINEDIT_COLOUR_BLACK);
        if (offset)
            offset->length = FormatBinEditOffset(rowOffset, offset->chars);

        for (uint32_t i = 0; i < inRow; i++) {
            unsigned char byte = state->data[rowOffset + i];
            int32_t x = GetBinEditHexCell(i) * cellWidth;
            BinEditPaintOp *hex = AddText(plan, x, y, input->windowColour, input->windowTextColour);
            if (hex) {
                hex->chars[0] = UpperHexDigits[byte >> 4];
                hex->chars[1] = UpperHexDigits[byte & 15];
                hex->length = 2;
                if (i == 7) {
                    hex->chars[2] = '-';
                    hex->length = 3;
                }
            }
            if (rowOffset + i == state->caret)
                placed |= MarkCaretCell(input, plan, BINEDIT_HEX_COLUMN, x, y);
        }
        for (uint32_t i = 0; i < inRow; i++) {
            unsigned char byte = state->data[rowOffset + i];
            int32_t x = GetBinEditTextCell(i) * cellWidth;
            BinEditPaintOp *text =
                AddText(plan, x, y, input->windowColour, input->windowTextColour);
            if (text) {
                text->chars[0] = IsPrintableAscii(byte) ? (char)byte : '.';
                text->length = 1;
            }
            if (rowOffset + i == state->caret)
                placed |= MarkCaretCell(input, plan, BINEDIT_TEXT_COLUMN, x, y);
        }
        remaining -= inRow;
    }

    if ((uint32_t)placed != state->caretShown) {
        NextOp(plan, placed ? BINEDIT_PAINT_CARET_SHOW : BINEDIT_PAINT_CARET_HIDE, 0, 0);
        plan->caretShown = (uint32_t)placed;
    }
}

void MakeBinEditPaintPlan(const BinEditPaintInput *input, BinEditPaintPlan *plan)
{
    uint32_t capacity = GetBinEditPaintPlanCapacity(input);
    BinEditPaintOp *ops = 0;
    if (capacity > BINEDIT_PAINT_RESERVE_OPS)
        ops = (BinEditPaintOp *)HeapAllocBlock(capacity * sizeof(BinEditPaintOp));
    if (ops) {
        plan->ops = ops;
        plan->capacity = capacity;
        BuildBinEditPaintPlan(input, plan);
        return;
    }
    plan->ops = plan->reserve;
    plan->capacity = BINEDIT_PAINT_RESERVE_OPS;
    if (capacity > BINEDIT_PAINT_RESERVE_OPS || capacity == 0) {
        // No room for the rows: paint as an empty view rather than not at all.
        BinEditState empty = *input->state;
        empty.data = 0;
        empty.size = 0;
        BinEditPaintInput emptyInput = *input;
        emptyInput.state = &empty;
        BuildBinEditPaintPlan(&emptyInput, plan);
        return;
    }
    BuildBinEditPaintPlan(input, plan);
}

void FreeBinEditPaintPlan(BinEditPaintPlan *plan)
{
    if (plan->ops && plan->ops != plan->reserve)
        HeapFreeBlock(plan->ops);
    plan->ops = 0;
    plan->count = 0;
    plan->capacity = 0;
}
