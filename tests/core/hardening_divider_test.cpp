// The divider's rules at the ends of the 32-bit range: the arithmetic wraps
// around as 32-bit machine arithmetic does, with no undefined behaviour
// (the sanitizer build aborts on a signed overflow).

#include "controls/divider/divider_rules.h"

#include <gtest/gtest.h>
#include <stdint.h>

namespace {

TEST(HardeningDivider, PlacementWrapsAtTheEndsOfTheRange)
{
    // width - 4 wraps to INT32_MAX - 3, which does not limit a split of 0;
    // pane 1's width, width - 0 - 4, wraps the same way.
    PanePlacement side = PlaceDividerPanes(DIVIDER_SIDE_BY_SIDE, 0, INT32_MIN, 10);
    ASSERT_EQ(side.placed, 1);
    EXPECT_EQ(side.pane[0].width, 0);
    EXPECT_EQ(side.pane[1].x, 4);
    EXPECT_EQ(side.pane[1].width, INT32_MAX - 3);

    // A split of INT32_MAX in a control of INT32_MAX pixels is limited to
    // INT32_MAX - 4, and the bar then ends exactly at the far edge.
    PanePlacement stacked = PlaceDividerPanes(DIVIDER_STACKED, INT32_MAX, 10, INT32_MAX);
    EXPECT_EQ(stacked.pane[0].height, INT32_MAX - 4);
    EXPECT_EQ(stacked.pane[1].y, INT32_MAX);
    EXPECT_EQ(stacked.pane[1].height, 0);

    // A split of INT32_MIN: pane 1 starts at INT32_MIN + 4 and its height,
    // 10 - INT32_MIN - 4, wraps to INT32_MIN + 6.
    PanePlacement negative = PlaceDividerPanes(DIVIDER_STACKED, INT32_MIN, 10, 10);
    EXPECT_EQ(negative.pane[0].height, INT32_MIN);
    EXPECT_EQ(negative.pane[1].y, INT32_MIN + 4);
    EXPECT_EQ(negative.pane[1].height, INT32_MIN + 6);
}

TEST(HardeningDivider, PressAndDragWrapAtTheEndsOfTheRange)
{
    int32_t splitPos = INT32_MAX;
    int32_t dragOffset = 0;
    PressDivider(DIVIDER_SIDE_BY_SIDE, INT32_MIN, 0, INT32_MIN, 0, &splitPos, &dragOffset);
    // INT32_MIN - 4 wraps to INT32_MAX - 3, which limits INT32_MAX.
    EXPECT_EQ(splitPos, INT32_MAX - 3);
    // INT32_MIN - (INT32_MAX - 3) wraps to 4.
    EXPECT_EQ(dragOffset, 4);

    // INT32_MIN - 1 wraps to INT32_MAX, which the far end then limits.
    EXPECT_EQ(DragDivider(DIVIDER_STACKED, 0, 1, 0, 100, 0, INT32_MIN), 96);
    // INT32_MAX - (-1) wraps to INT32_MIN, which is raised to 0.
    EXPECT_EQ(DragDivider(DIVIDER_SIDE_BY_SIDE, 0, -1, 100, 0, INT32_MAX, 0), 0);
}

}  // namespace
