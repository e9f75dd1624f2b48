#pragma once
#include <stdint.h>

// The divider's orientations (its creation parameter) and the bar's
// thickness in pixels.
#define DIVIDER_SIDE_BY_SIDE 0
#define DIVIDER_STACKED 1
#define DIVIDER_BAR 4

// A pane's place in the divider's client coordinates. Sizes may come out
// zero or negative when the control is smaller than the bar; they are
// passed on as computed.
struct PaneRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// Where the two panes go; `placed` is 0 for an orientation the control does
// not know, and then neither rectangle means anything.
struct PanePlacement {
    int placed;
    PaneRect pane[2];
};

// The placement rule: pane 0 before the bar, pane 1 after it. splitPos is
// limited to extent - DIVIDER_BAR for this placement only.
PanePlacement PlaceDividerPanes(uint32_t orientation, int32_t splitPos, int32_t width,
                                int32_t height);

// The press rule: stores the limited split position and the distance that
// a drag keeps between the pointer and the bar. Unknown orientations
// change nothing.
void PressDivider(uint32_t orientation, int32_t width, int32_t height, int32_t x, int32_t y,
                  int32_t *splitPos, int32_t *dragOffset);

// The drag rule: the split position for a pointer at (x, y), raised to 0
// and then lowered to extent - DIVIDER_BAR. Unknown orientations return
// splitPos unchanged.
int32_t DragDivider(uint32_t orientation, int32_t splitPos, int32_t dragOffset, int32_t width,
                    int32_t height, int32_t x, int32_t y);
