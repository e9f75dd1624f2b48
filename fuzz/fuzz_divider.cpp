// The divider's placement, press and drag rules over arbitrary integers, as
// its window procedure strings them together: sizes, presses, drag steps
// and releases in any order, for any orientation value. Checks that the
// placement follows the rule (pane 0 before the bar, pane 1 after it, the
// bar 4 pixels, the split limited to extent - 4 for this placement only),
// that a drag keeps the bar at 0 to extent - 4 (or at extent - 4 when the
// extent is below 4) and the pointer's distance to the bar, and that only a
// press or a drag step changes the stored split position.

#include "controls/divider/divider_rules.h"
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

void CheckPlacement(uint32_t orientation, int32_t splitPos, int32_t width, int32_t height)
{
    PanePlacement placement = PlaceDividerPanes(orientation, splitPos, width, height);
    if (orientation != DIVIDER_SIDE_BY_SIDE && orientation != DIVIDER_STACKED) {
        FUZZ_CHECK(placement.placed == 0);
        return;
    }
    FUZZ_CHECK(placement.placed == 1);
    bool across = orientation == DIVIDER_SIDE_BY_SIDE;
    int64_t extent = across ? width : height;
    int64_t other = across ? height : width;
    int64_t p = splitPos > extent - DIVIDER_BAR ? extent - DIVIDER_BAR : splitPos;
    const PaneRect &first = placement.pane[0];
    const PaneRect &second = placement.pane[1];
    FUZZ_CHECK(first.x == 0 && first.y == 0);
    int64_t firstAlong = across ? first.width : first.height;
    int64_t firstOther = across ? first.height : first.width;
    int64_t secondStart = across ? second.x : second.y;
    int64_t secondOtherStart = across ? second.y : second.x;
    int64_t secondAlong = across ? second.width : second.height;
    int64_t secondOther = across ? second.height : second.width;
    FUZZ_CHECK(firstAlong == p && firstOther == other);
    FUZZ_CHECK(secondStart == p + DIVIDER_BAR && secondOtherStart == 0);
    FUZZ_CHECK(secondAlong == extent - p - DIVIDER_BAR && secondOther == other);
    // The two panes and the bar fill the extent exactly.
    FUZZ_CHECK(firstAlong + DIVIDER_BAR + secondAlong == extent);
    if (extent >= DIVIDER_BAR && splitPos >= 0)
        FUZZ_CHECK(firstAlong >= 0 && secondAlong >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    uint32_t orientation = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 1)
                                            : in.ConsumeIntegral<uint32_t>();
    bool known = orientation == DIVIDER_SIDE_BY_SIDE || orientation == DIVIDER_STACKED;
    // Client sizes as GetClientRect gives them, pointers as mouse messages
    // carry them (signed 16-bit).
    int32_t width = 640, height = 480;
    int32_t splitPos = 200;
    int32_t dragOffset = 0;
    bool dragging = false;
    int steps = 0;
    while (in.remaining_bytes() > 0 && steps++ < 64) {
        int32_t before = splitPos;
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:  // WM_SIZE
            width = in.ConsumeIntegralInRange<int32_t>(0, 0x7FFF);
            height = in.ConsumeIntegralInRange<int32_t>(0, 0x7FFF);
            FUZZ_CHECK(splitPos == before);
            break;
        case 1: {  // WM_LBUTTONDOWN
            int32_t x = in.ConsumeIntegral<int16_t>();
            int32_t y = in.ConsumeIntegral<int16_t>();
            PressDivider(orientation, width, height, x, y, &splitPos, &dragOffset);
            if (known) {
                int32_t extent = orientation == DIVIDER_SIDE_BY_SIDE ? width : height;
                int32_t pointer = orientation == DIVIDER_SIDE_BY_SIDE ? x : y;
                FUZZ_CHECK(splitPos == (before > extent - 4 ? extent - 4 : before));
                FUZZ_CHECK(dragOffset == pointer - splitPos);
            } else {
                FUZZ_CHECK(splitPos == before);
            }
            dragging = true;
            break;
        }
        case 2: {  // WM_MOUSEMOVE
            int32_t x = in.ConsumeIntegral<int16_t>();
            int32_t y = in.ConsumeIntegral<int16_t>();
            if (!dragging)
                break;
            splitPos = DragDivider(orientation, splitPos, dragOffset, width, height, x, y);
            if (known) {
                int32_t extent = orientation == DIVIDER_SIDE_BY_SIDE ? width : height;
                int32_t pointer = orientation == DIVIDER_SIDE_BY_SIDE ? x : y;
                FUZZ_CHECK(splitPos <= extent - 4);
                if (extent >= 4)
                    FUZZ_CHECK(splitPos >= 0);
                else
                    FUZZ_CHECK(splitPos == extent - 4);
                // Inside the limits the bar keeps its distance to the pointer.
                if (pointer - dragOffset >= 0 && pointer - dragOffset <= extent - 4)
                    FUZZ_CHECK(splitPos == pointer - dragOffset);
            } else {
                FUZZ_CHECK(splitPos == before);
            }
            break;
        }
        case 3:  // WM_LBUTTONUP
            dragging = false;
            break;
        }
        CheckPlacement(orientation, splitPos, width, height);
    }

    // The rules on their own, with any 32-bit values at all.
    int32_t anySplit = in.ConsumeIntegral<int32_t>();
    int32_t anyWidth = in.ConsumeIntegral<int32_t>();
    int32_t anyHeight = in.ConsumeIntegral<int32_t>();
    int32_t anyX = in.ConsumeIntegral<int32_t>();
    int32_t anyY = in.ConsumeIntegral<int32_t>();
    int32_t anyOffset = in.ConsumeIntegral<int32_t>();
    PanePlacement placement = PlaceDividerPanes(orientation, anySplit, anyWidth, anyHeight);
    FUZZ_CHECK(placement.placed == (known ? 1 : 0));
    int32_t pressed = anySplit;
    int32_t offset = anyOffset;
    PressDivider(orientation, anyWidth, anyHeight, anyX, anyY, &pressed, &offset);
    int32_t dragged =
        DragDivider(orientation, anySplit, anyOffset, anyWidth, anyHeight, anyX, anyY);
    if (!known)
        FUZZ_CHECK(pressed == anySplit && offset == anyOffset && dragged == anySplit);
    return 0;
}
