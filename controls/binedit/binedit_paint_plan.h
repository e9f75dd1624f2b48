#pragma once
#include <stdint.h>

#include "controls/binedit/binedit_state.h"

// What one paint of the binary view draws, in order, as plain records: the
// GDI layer only replays them. Colours are COLORREF values (0x00BBGGRR).

#define BINEDIT_COLOUR_BLACK 0x00000000u
#define BINEDIT_COLOUR_WHITE 0x00FFFFFFu
#define BINEDIT_COLOUR_LIGHT_GREY 0x00C0C0C0u

// The header row, drawn from cell 8: "+0" to "+F" over the hex digits, two
// blanks, then the sixteen digits over the text column (cells 57 to 72).
extern const char BinEditHeaderText[];
enum { BINEDIT_HEADER_LENGTH = 65 };

enum BinEditPaintOpKind {
    // Rectangle(left, top, right, bottom) with the window colour's system
    // brush and no pen: fills the client area.
    BINEDIT_PAINT_FILL,
    // Background, text colour, then TextOut of `length` characters at
    // (left, top), in the opaque background mode.
    BINEDIT_PAINT_TEXT,
    // Exclusive-or Rectangle with the white pen and no brush: inverts the
    // one-pixel frame of a cell.
    BINEDIT_PAINT_XOR_OUTLINE,
    // Exclusive-or Rectangle with no pen and the white brush: inverts the
    // whole cell (the rectangle is one pixel larger, as no pen draws).
    BINEDIT_PAINT_XOR_BLOCK,
    // The system caret: move to (left, top), show, hide.
    BINEDIT_PAINT_CARET_MOVE,
    BINEDIT_PAINT_CARET_SHOW,
    BINEDIT_PAINT_CARET_HIDE
};

struct BinEditPaintOp {
    int32_t kind;
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    uint32_t background;
    uint32_t foreground;
    uint32_t length;
    const char *text;  // the header, or null when the characters are in `chars`
    char chars[8];
};

// The characters of a text operation.
static inline const char *GetBinEditPaintOpText(const BinEditPaintOp *op)
{
    return op->text ? op->text : op->chars;
}

// Writes the offset column's text for a row starting at `offset`: "%06X",
// widened to seven or eight digits from 16 MiB on so that the offset stays
// whole (eight digits fill cells 0 to 7). Returns the number of characters.
uint32_t FormatBinEditOffset(uint32_t offset, char out[8]);

// Everything a paint depends on.
struct BinEditPaintInput {
    const BinEditState *state;
    int32_t clientWidth;
    int32_t clientHeight;
    int32_t focused;
    int32_t topRow;
    uint32_t windowColour;      // COLOR_WINDOW
    uint32_t windowTextColour;  // COLOR_WINDOWTEXT
};

// The plan of a view without bytes or without a cell size fits in the
// plan's own reserve of this many operations, without an allocation.
#define BINEDIT_PAINT_RESERVE_OPS 4

// A plan: `ops` holds `count` operations (room for `capacity`), and
// `caretShown` is the state's caretShown after they have been carried out.
struct BinEditPaintPlan {
    BinEditPaintOp *ops;
    uint32_t count;
    uint32_t capacity;
    uint32_t caretShown;
    BinEditPaintOp reserve[BINEDIT_PAINT_RESERVE_OPS];  // when a larger block cannot be had
};

// How many operations the plan of `input` can take at most; 0 when that is
// too many to be worth allocating (a client area of millions of rows).
uint32_t GetBinEditPaintPlanCapacity(const BinEditPaintInput *input);

// Fills plan->ops (plan->capacity entries) with the paint of `input`;
// never writes past the capacity.
void BuildBinEditPaintPlan(const BinEditPaintInput *input, BinEditPaintPlan *plan);

// Allocates and builds the plan. If the block cannot be allocated the plan
// is that of an empty view (background, header, caret on the first hex
// cell), built in the plan's own reserve. Free with FreeBinEditPaintPlan.
void MakeBinEditPaintPlan(const BinEditPaintInput *input, BinEditPaintPlan *plan);
void FreeBinEditPaintPlan(BinEditPaintPlan *plan);
