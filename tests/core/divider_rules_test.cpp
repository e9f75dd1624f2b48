#include "controls/divider/divider_rules.h"

#include <gtest/gtest.h>
#include <stdint.h>

namespace {

struct PlacementCase {
    const char *situation;
    uint32_t orientation;
    int32_t splitPos, width, height;
    PaneRect pane0, pane1;
};

void ExpectRect(const PaneRect &actual, const PaneRect &expected, const char *what)
{
    EXPECT_EQ(actual.x, expected.x) << what;
    EXPECT_EQ(actual.y, expected.y) << what;
    EXPECT_EQ(actual.width, expected.width) << what;
    EXPECT_EQ(actual.height, expected.height) << what;
}

}  // namespace

TEST(DividerPlacement, WorkedExamples)
{
    const PlacementCase cases[] = {
        {"stacked 200", DIVIDER_STACKED, 200, 640, 480, {0, 0, 640, 200}, {0, 204, 640, 276}},
        {"side by side 200",
         DIVIDER_SIDE_BY_SIDE,
         200,
         640,
         480,
         {0, 0, 200, 480},
         {204, 0, 436, 480}},
        {"stacked, 150 high", DIVIDER_STACKED, 200, 640, 150, {0, 0, 640, 146}, {0, 150, 640, 0}},
        {"stacked, 2 high", DIVIDER_STACKED, 200, 640, 2, {0, 0, 640, -2}, {0, 2, 640, 0}},
        {"stacked, 0 x 0", DIVIDER_STACKED, 200, 0, 0, {0, 0, 0, -4}, {0, 0, 0, 0}},
        {"side by side, 150 wide",
         DIVIDER_SIDE_BY_SIDE,
         200,
         150,
         480,
         {0, 0, 146, 480},
         {150, 0, 0, 480}},
        {"stacked, bar at the top", DIVIDER_STACKED, 0, 640, 480, {0, 0, 640, 0}, {0, 4, 640, 476}},
        {"stacked, bar at the bottom",
         DIVIDER_STACKED,
         476,
         640,
         480,
         {0, 0, 640, 476},
         {0, 480, 640, 0}},
        // At the ends of the 32-bit range the arithmetic wraps around as
        // machine arithmetic does, with no undefined behaviour (the sanitizer
        // build aborts on a signed overflow). width - 4 wraps to
        // INT32_MAX - 3, which does not limit a split of 0; pane 1's width,
        // width - 0 - 4, wraps the same way.
        {"side by side, INT32_MIN wide",
         DIVIDER_SIDE_BY_SIDE,
         0,
         INT32_MIN,
         10,
         {0, 0, 0, 10},
         {4, 0, INT32_MAX - 3, 10}},
        // The split is limited to INT32_MAX - 4: the bar ends at the far edge.
        {"stacked, INT32_MAX high, split INT32_MAX",
         DIVIDER_STACKED,
         INT32_MAX,
         10,
         INT32_MAX,
         {0, 0, 10, INT32_MAX - 4},
         {0, INT32_MAX, 10, 0}},
        // Pane 1's height, 10 - INT32_MIN - 4, wraps to INT32_MIN + 6.
        {"stacked, split INT32_MIN",
         DIVIDER_STACKED,
         INT32_MIN,
         10,
         10,
         {0, 0, 10, INT32_MIN},
         {0, INT32_MIN + 4, 10, INT32_MIN + 6}},
    };
    for (const PlacementCase &c : cases) {
        PanePlacement placement = PlaceDividerPanes(c.orientation, c.splitPos, c.width, c.height);
        EXPECT_TRUE(placement.placed) << c.situation;
        ExpectRect(placement.pane[0], c.pane0, c.situation);
        ExpectRect(placement.pane[1], c.pane1, c.situation);
    }
}

TEST(DividerPlacement, UnknownOrientationPlacesNothing)
{
    const uint32_t orientations[] = {2, 3, 0xFFFFFFFFu};
    for (uint32_t orientation : orientations)
        EXPECT_FALSE(PlaceDividerPanes(orientation, 200, 640, 480).placed) << orientation;
}

TEST(DividerDrag, StackedPressThenMovesFollowTheWorkedExample)
{
    int32_t splitPos = 200;
    int32_t dragOffset = -12345;
    PressDivider(DIVIDER_STACKED, 640, 480, 50, 202, &splitPos, &dragOffset);
    EXPECT_EQ(splitPos, 200);
    EXPECT_EQ(dragOffset, 2);

    struct Step {
        int32_t y;
        int32_t splitPos;
    } steps[] = {
        {100, 98},  {-30, 0},  // above the control: -32 is raised to 0
        {900, 476},            // 898 is lowered to the limit
        {3, 1},     {2, 0},
    };
    for (const Step &step : steps) {
        // x must not matter when stacked.
        splitPos = DragDivider(DIVIDER_STACKED, splitPos, dragOffset, 640, 480, 9999, step.y);
        EXPECT_EQ(splitPos, step.splitPos) << "y " << step.y;
    }
    PanePlacement placement = PlaceDividerPanes(DIVIDER_STACKED, splitPos, 640, 480);
    ExpectRect(placement.pane[0], {0, 0, 640, 0}, "pane 0 after the drag");
    placement = PlaceDividerPanes(DIVIDER_STACKED, 476, 640, 480);
    ExpectRect(placement.pane[1], {0, 480, 640, 0}, "pane 1 at the bottom");
}

TEST(DividerDrag, SideBySidePressStoresTheLimitedPosition)
{
    int32_t splitPos = 200;
    int32_t dragOffset = 0;
    PressDivider(DIVIDER_SIDE_BY_SIDE, 150, 480, 148, 7, &splitPos, &dragOffset);
    EXPECT_EQ(splitPos, 146);
    EXPECT_EQ(dragOffset, 2);
    // A press inside the limit stores nothing new but the offset.
    PressDivider(DIVIDER_SIDE_BY_SIDE, 640, 480, 140, 7, &splitPos, &dragOffset);
    EXPECT_EQ(splitPos, 146);
    EXPECT_EQ(dragOffset, -6);
    EXPECT_EQ(DragDivider(DIVIDER_SIDE_BY_SIDE, splitPos, dragOffset, 640, 480, 300, -500), 306);
    EXPECT_EQ(DragDivider(DIVIDER_SIDE_BY_SIDE, splitPos, dragOffset, 640, 480, -100, 0), 0);
    EXPECT_EQ(DragDivider(DIVIDER_SIDE_BY_SIDE, splitPos, dragOffset, 640, 480, 32767, 0), 636);
}

TEST(DividerDrag, BelowTheBarTheUpperLimitWins)
{
    // With an extent under 4 the limit is negative and is tested last.
    EXPECT_EQ(DragDivider(DIVIDER_STACKED, 200, 0, 640, 2, 0, 50), -2);
    EXPECT_EQ(DragDivider(DIVIDER_STACKED, 200, 0, 640, 0, 0, -50), -4);
    int32_t splitPos = 200;
    int32_t dragOffset = 0;
    PressDivider(DIVIDER_STACKED, 0, 0, 0, 1, &splitPos, &dragOffset);
    EXPECT_EQ(splitPos, -4);
    EXPECT_EQ(dragOffset, 5);
}

TEST(DividerDrag, PressAndDragWrapAtTheEndsOfTheRange)
{
    int32_t splitPos = INT32_MAX;
    int32_t dragOffset = 0;
    PressDivider(DIVIDER_SIDE_BY_SIDE, INT32_MIN, 0, INT32_MIN, 0, &splitPos, &dragOffset);
    // INT32_MIN - 4 wraps to INT32_MAX - 3, which limits INT32_MAX.
    EXPECT_EQ(splitPos, INT32_MAX - 3);
    // INT32_MIN - (INT32_MAX - 3) wraps to 4.
    EXPECT_EQ(dragOffset, 4);

    struct DragCase {
        const char *situation;
        uint32_t orientation;
        int32_t dragOffset, width, height, x, y;
        int32_t splitPos;
    } cases[] = {
        {"INT32_MIN - 1 wraps to INT32_MAX, which the far end limits", DIVIDER_STACKED, 1, 0, 100,
         0, INT32_MIN, 96},
        {"INT32_MAX - (-1) wraps to INT32_MIN, which is raised to 0", DIVIDER_SIDE_BY_SIDE, -1, 100,
         0, INT32_MAX, 0, 0},
    };
    for (const DragCase &c : cases) {
        EXPECT_EQ(DragDivider(c.orientation, 0, c.dragOffset, c.width, c.height, c.x, c.y),
                  c.splitPos)
            << c.situation;
    }
}

TEST(DividerDrag, UnknownOrientationChangesNothing)
{
    int32_t splitPos = 200;
    int32_t dragOffset = 77;
    PressDivider(2, 640, 480, 10, 10, &splitPos, &dragOffset);
    EXPECT_EQ(splitPos, 200);
    EXPECT_EQ(dragOffset, 77);
    EXPECT_EQ(DragDivider(2, 200, 77, 640, 480, -10, 900), 200);
}
