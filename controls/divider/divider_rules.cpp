#include "controls/divider/divider_rules.h"

// 32-bit arithmetic that wraps around, as the machine's does, instead of
// overflowing (undefined) at the ends of the range.
static int32_t WrapAdd(int32_t a, int32_t b)
{
    return (int32_t)((uint32_t)a + (uint32_t)b);
}

static int32_t WrapSub(int32_t a, int32_t b)
{
    return (int32_t)((uint32_t)a - (uint32_t)b);
}

static PaneRect MakePaneRect(int32_t x, int32_t y, int32_t width, int32_t height)
{
    PaneRect rect;
    rect.x = x;
    rect.y = y;
    rect.width = width;
    rect.height = height;
    return rect;
}

PanePlacement PlaceDividerPanes(uint32_t orientation, int32_t splitPos, int32_t width,
                                int32_t height)
{
    PanePlacement placement;
    placement.placed = 0;
    placement.pane[0] = MakePaneRect(0, 0, 0, 0);
    placement.pane[1] = placement.pane[0];
    int32_t p = splitPos;
    if (orientation == DIVIDER_SIDE_BY_SIDE) {
        if (p > WrapSub(width, DIVIDER_BAR))
            p = WrapSub(width, DIVIDER_BAR);
        placement.pane[0] = MakePaneRect(0, 0, p, height);
        placement.pane[1] = MakePaneRect(WrapAdd(p, DIVIDER_BAR), 0,
                                         WrapSub(WrapSub(width, p), DIVIDER_BAR), height);
        placement.placed = 1;
    } else if (orientation == DIVIDER_STACKED) {
        if (p > WrapSub(height, DIVIDER_BAR))
            p = WrapSub(height, DIVIDER_BAR);
        placement.pane[0] = MakePaneRect(0, 0, width, p);
        placement.pane[1] = MakePaneRect(0, WrapAdd(p, DIVIDER_BAR), width,
                                         WrapSub(WrapSub(height, p), DIVIDER_BAR));
        placement.placed = 1;
    }
    return placement;
}

void PressDivider(uint32_t orientation, int32_t width, int32_t height, int32_t x, int32_t y,
                  int32_t *splitPos, int32_t *dragOffset)
{
    int32_t extent;
    int32_t pointer;
    if (orientation == DIVIDER_SIDE_BY_SIDE) {
        extent = width;
        pointer = x;
    } else if (orientation == DIVIDER_STACKED) {
        extent = height;
        pointer = y;
    } else {
        return;
    }
    if (*splitPos > WrapSub(extent, DIVIDER_BAR))
        *splitPos = WrapSub(extent, DIVIDER_BAR);
    *dragOffset = WrapSub(pointer, *splitPos);
}

int32_t DragDivider(uint32_t orientation, int32_t splitPos, int32_t dragOffset, int32_t width,
                    int32_t height, int32_t x, int32_t y)
{
    int32_t p;
    int32_t extent;
    if (orientation == DIVIDER_SIDE_BY_SIDE) {
        p = WrapSub(x, dragOffset);
        extent = width;
    } else if (orientation == DIVIDER_STACKED) {
        p = WrapSub(y, dragOffset);
        extent = height;
    } else {
        return splitPos;
    }
    if (p < 0)
        p = 0;
    // Tested second so that it wins when the extent is below the bar.
    if (p > WrapSub(extent, DIVIDER_BAR))
        p = WrapSub(extent, DIVIDER_BAR);
    return p;
}
