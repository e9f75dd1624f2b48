#pragma once
#include <stdint.h>

// The top row is the position of the window's vertical scroll bar, which
// clamps every position set to the range last given to it. This record
// stands for that scroll bar wherever the window system is not at hand:
// in the tests and fuzz harnesses of the binary view.
struct BinEditScrollBar {
    int32_t minimum;
    int32_t maximum;
    int32_t position;
};

// A range whose maximum is below its minimum (no bytes: 0 to -1) holds the
// position at the minimum.
void SetBinEditScrollRange(BinEditScrollBar *bar, int32_t minimum, int32_t maximum);
void SetBinEditScrollPosition(BinEditScrollBar *bar, int32_t position);
