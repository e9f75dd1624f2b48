#pragma once
#include <stdint.h>

#include "controls/binedit/binedit_state.h"

// Caret navigation, hit-testing and scrolling of the binary view, as
// arithmetic over the state, the client height, the top row and the input.
// All of it is 32-bit with wrap-around; "read as signed" means taking the
// 32-bit result as two's complement.

// The number of the last data row, -1 with no bytes: the scroll range of
// WM_SIZE is 0 to this.
int32_t GetBinEditLastRow(uint32_t size);

// Key codes the view answers (the platform's virtual-key codes).
enum {
    BINEDIT_KEY_TAB = 0x09,
    BINEDIT_KEY_PAGE_UP = 0x21,
    BINEDIT_KEY_PAGE_DOWN = 0x22,
    BINEDIT_KEY_END = 0x23,
    BINEDIT_KEY_HOME = 0x24,
    BINEDIT_KEY_LEFT = 0x25,
    BINEDIT_KEY_UP = 0x26,
    BINEDIT_KEY_RIGHT = 0x27,
    BINEDIT_KEY_DOWN = 0x28,
    BINEDIT_KEY_H = 0x48,
    BINEDIT_KEY_J = 0x4A,
    BINEDIT_KEY_K = 0x4B,
    BINEDIT_KEY_L = 0x4C
};

// 1 for the four keys whose action differs with Ctrl held; only for those
// is the state of Ctrl worth asking.
int IsBinEditCtrlFormKey(uint32_t keyCode);

// Moves the caret (or toggles the column on Tab) for one key press; any
// other key changes nothing.
void ApplyBinEditKey(BinEditState *state, uint32_t keyCode, int ctrlHeld);

// A click at client (x, y), each a signed 16-bit coordinate. Returns 1 and
// fills the clicked byte's offset and column when the click lands on a byte,
// 0 when it is to be ignored (header row, right of the text column, past the
// last byte, or no cell size yet).
struct BinEditHit {
    uint32_t offset;
    int32_t column;
};
int HitTestBinEdit(const BinEditState *state, int32_t x, int32_t y, int32_t topRow,
                   BinEditHit *hit);

// About half the rows in view: (clientHeight / cellHeight - 2) / 2; 0 with
// no cell size.
int32_t GetBinEditPageStep(const BinEditState *state, int32_t clientHeight);

// Scroll bar codes of WM_VSCROLL.
enum {
    BINEDIT_SCROLL_LINE_UP = 0,
    BINEDIT_SCROLL_LINE_DOWN = 1,
    BINEDIT_SCROLL_PAGE_UP = 2,
    BINEDIT_SCROLL_PAGE_DOWN = 3,
    BINEDIT_SCROLL_THUMB_POSITION = 4,
    BINEDIT_SCROLL_THUMB_TRACK = 5,
    BINEDIT_SCROLL_TOP = 6,
    BINEDIT_SCROLL_BOTTOM = 7
};

// The top row a scroll bar action asks for, before the scroll bar clamps it
// to its range. `thumbPosition` is the thumb's position for the two thumb
// codes.
int32_t GetBinEditScrollTarget(const BinEditState *state, int32_t clientHeight, int32_t topRow,
                               uint32_t code, uint32_t thumbPosition);

// The system's "one screen per notch" wheel setting.
#define BINEDIT_WHEEL_PAGE_SCROLL 0xFFFFFFFFu

// The top row a wheel turn of `delta` (120 a notch, positive away from the
// user) asks for, with `linesPerNotch` rows a notch or one page step a notch
// for BINEDIT_WHEEL_PAGE_SCROLL; the scroll bar clamps it.
int32_t GetBinEditWheelTarget(const BinEditState *state, int32_t clientHeight, int32_t topRow,
                              int32_t delta, uint32_t linesPerNotch);

// The scroll positions that bring the caret's row into view, to be set in
// this order; returns how many (0 to 2). A caret above the view puts its
// row at the top, one below the last whole row puts its row there.
int GetBinEditCaretScrollRequests(const BinEditState *state, int32_t clientHeight, int32_t topRow,
                                  int32_t requests[2]);
