#pragma once
#include <windows.h>

#include "controls/binedit/binedit_paint_plan.h"
#include "controls/binedit/binedit_state.h"

// Draws the whole client area of the binary view into `dc` and shows, moves
// or hides the system caret; writes only state->caretShown.
void PaintBinEdit(HWND window, BinEditState *state, HDC dc);

// Carries out a plan on `dc` (caret actions on `window`'s caret) with the
// state's font selected.
void ReplayBinEditPaintPlan(HWND window, HDC dc, HFONT font, const BinEditPaintPlan *plan);
