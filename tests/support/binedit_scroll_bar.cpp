#include "tests/support/binedit_scroll_bar.h"

void SetBinEditScrollRange(BinEditScrollBar *bar, int32_t minimum, int32_t maximum)
{
    bar->minimum = minimum;
    bar->maximum = maximum;
    SetBinEditScrollPosition(bar, bar->position);
}

void SetBinEditScrollPosition(BinEditScrollBar *bar, int32_t position)
{
    int32_t highest = bar->maximum < bar->minimum ? bar->minimum : bar->maximum;
    if (position > highest)
        position = highest;
    if (position < bar->minimum)
        position = bar->minimum;
    bar->position = position;
}
