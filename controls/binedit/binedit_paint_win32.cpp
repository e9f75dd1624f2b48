#include "controls/binedit/binedit_paint_win32.h"

static void DrawXorRectangle(HDC dc, const BinEditPaintOp *op, int penObject, int brushObject)
{
    int previous = SetROP2(dc, R2_XORPEN);
    SelectObject(dc, GetStockObject(penObject));
    SelectObject(dc, GetStockObject(brushObject));
    Rectangle(dc, op->left, op->top, op->right, op->bottom);
    SetROP2(dc, previous);
}

void ReplayBinEditPaintPlan(HWND window, HDC dc, HFONT font, const BinEditPaintPlan *plan)
{
    for (uint32_t i = 0; i < plan->count; i++) {
        const BinEditPaintOp *op = &plan->ops[i];
        switch (op->kind) {
        case BINEDIT_PAINT_FILL:
            SelectObject(dc, GetSysColorBrush(COLOR_WINDOW));
            SelectObject(dc, GetStockObject(NULL_PEN));
            if (font)
                SelectObject(dc, font);
            Rectangle(dc, op->left, op->top, op->right, op->bottom);
            break;
        case BINEDIT_PAINT_TEXT:
            SetBkColor(dc, (COLORREF)op->background);
            SetTextColor(dc, (COLORREF)op->foreground);
            TextOutA(dc, op->left, op->top, GetBinEditPaintOpText(op), (int)op->length);
            break;
        case BINEDIT_PAINT_XOR_OUTLINE: DrawXorRectangle(dc, op, WHITE_PEN, NULL_BRUSH); break;
        case BINEDIT_PAINT_XOR_BLOCK: DrawXorRectangle(dc, op, NULL_PEN, WHITE_BRUSH); break;
        case BINEDIT_PAINT_CARET_MOVE: SetCaretPos(op->left, op->top); break;
        case BINEDIT_PAINT_CARET_SHOW: ShowCaret(window); break;
        case BINEDIT_PAINT_CARET_HIDE: HideCaret(window); break;
        }
    }
}

void PaintBinEdit(HWND window, BinEditState *state, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    BinEditPaintInput input;
    input.state = state;
    input.clientWidth = client.right;
    input.clientHeight = client.bottom;
    input.focused = GetFocus() == window;
    input.topRow = GetScrollPos(window, SB_VERT);
    input.windowColour = GetSysColor(COLOR_WINDOW);
    input.windowTextColour = GetSysColor(COLOR_WINDOWTEXT);

    BinEditPaintPlan plan;
    MakeBinEditPaintPlan(&input, &plan);
    ReplayBinEditPaintPlan(window, dc, (HFONT)state->font, &plan);
    state->caretShown = plan.caretShown;
    FreeBinEditPaintPlan(&plan);
}
