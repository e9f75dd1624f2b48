#pragma once
#include <stdint.h>

// One per binary view window, its address in the window's slot 0. Every
// field is zero when the window is created.
struct BinEditState {
    unsigned char *data;  // private copy of the bytes shown, or null
    uint32_t size;        // bytes in data; 0 exactly when data is null
    uint32_t caret;       // offset of the caret byte from data[0]
    int32_t column;       // active column: 0 hex, 1 text
    void *font;           // font handle given by WM_SETFONT, not owned
    int32_t cellWidth;    // one character cell, measured from the font
    int32_t cellHeight;
    uint32_t caretShown;  // 1 while one ShowCaret of ours is in force
};

// The character grid. Cell column k starts at x = k * cellWidth; the header
// is screen row 0 and the data row in screen position r starts at
// y = (r + 1) * cellHeight. Data row R holds the bytes 16R to 16R + 15.
enum {
    BINEDIT_BYTES_PER_ROW = 16,
    BINEDIT_OFFSET_CELL = 0,       // six hex digits (up to eight from 16 MiB on)
    BINEDIT_HEX_FIRST_CELL = 8,    // byte i at 8 + 3i and 9 + 3i
    BINEDIT_HEX_DASH_CELL = 31,    // "-" after byte 7
    BINEDIT_TEXT_FIRST_CELL = 57,  // byte i at 57 + i
    BINEDIT_HEADER_CELL = 8,
    BINEDIT_HEX_COLUMN = 0,
    BINEDIT_TEXT_COLUMN = 1
};

static inline uint32_t GetBinEditRowOfOffset(uint32_t offset)
{
    return offset >> 4;
}
static inline int32_t GetBinEditHexCell(uint32_t byteInRow)
{
    return BINEDIT_HEX_FIRST_CELL + 3 * (int32_t)byteInRow;
}
static inline int32_t GetBinEditTextCell(uint32_t byteInRow)
{
    return BINEDIT_TEXT_FIRST_CELL + (int32_t)byteInRow;
}

// Before the first WM_SETFONT the cell is 0 x 0, and nothing may divide by it.
static inline int HasBinEditCell(const BinEditState *state)
{
    return state->cellWidth > 0 && state->cellHeight > 0;
}

// Replaces the bytes with a private copy of `count` bytes from `bytes` and
// puts the caret on byte 0; `column` is kept. A zero count, a null pointer
// or a copy that cannot be allocated leaves the view empty (data null, size
// 0). Returns 1 when the view holds the new bytes or was asked to be empty.
int ReplaceBinEditData(BinEditState *state, uint32_t count, const unsigned char *bytes);

// Frees the copy of the bytes, if any, leaving the view empty.
void FreeBinEditData(BinEditState *state);
