#include "controls/divider/divider_rules.h"

static PaneRect MakePaneRect(int32_t x, int32_t y, int32_t width, int32_t height)
{
    PaneRect rect;
    rect.x = x;
    rect.y = y;
    rect.width = width;
    rect.height = height;
    return rect;
}

PanePlacement PlaceDividerPanes(uint32_t orientation, int32_t splitPos,
                                int32_t width, int32_t height)
{
    PanePlacement placement;
    placement.placed = 0;
    placement.pane[0] = MakePaneRect(0, 0, 0, 0);
    placement.pane[1] = placement.pane[0];
    int32_t p = splitPos;
    if (orientation == DIVIDER_SIDE_BY_SIDE) {
        if (p > width - DIVIDER_BAR)
            p = width - DIVIDER_BAR;
        placement.pane[0] = MakePaneRect(0, 0, p, height);
        placement.pane[1] = MakePaneRect(p + DIVIDER_BAR, 0, width - p - DIVIDER_BAR, height);
        placement.placed = 1;
    } else if (orientation == DIVIDER_STACKED) {
        if (p > height - DIVIDER_BAR)
            p = height - DIVIDER_BAR;
        placement.pane[0] = MakePaneRect(0, 0, width, p);
        placement.pane[1] = MakePaneRect(0, p + DIVIDER_BAR, width, height - p - DIVIDER_BAR);
        placement.placed = 1;
    }
    return placement;
}

void PressDivider(uint32_t orientation, int32_t width, int32_t height,
                  int32_t x, int32_t y, int32_t *splitPos, int32_t *dragOffset)
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
    if (*splitPos > extent - DIVIDER_BAR)
        *splitPos = extent - DIVIDER_BAR;
    *dragOffset = pointer - *splitPos;
}

int32_t DragDivider(uint32_t orientation, int32_t splitPos, int32_t dragOffset,
                    int32_t width, int32_t height, int32_t x, int32_t y)
{
    int32_t p;
    int32_t extent;
    if (orientation == DIVIDER_SIDE_BY_SIDE) {
        p = x - dragOffset;
        extent = width;
    } else if (orientation == DIVIDER_STACKED) {
        p = y - dragOffset;
        extent = height;
    } else {
        return splitPos;
    }
    if (p < 0)
        p = 0;
    // Tested second so that it wins when the extent is below the bar.
    if (p > extent - DIVIDER_BAR)
        p = extent - DIVIDER_BAR;
    return p;
}
