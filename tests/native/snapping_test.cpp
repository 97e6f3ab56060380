// Snapping a released vis window to the host window: the verdict, the move
// the test itself makes and the final placement, with positions worked out
// by hand from the edge distances.
#include "window/snapping.h"

#include <gtest/gtest.h>

namespace {

// A player window of 275 x 116 at (100, 300): left 100, top 300, bottom 416.
constexpr ScreenRect host = {100, 300, 375, 416};

struct SnapCase {
    const char *name;
    ScreenRect vis;
    ScreenRect host;
    int state;
    bool testMoves;
    int testX, testY;
    bool placed;
    int placedX, placedY;
};

void PrintTo(const SnapCase &row, std::ostream *out) { *out << row.name; }

class Snapping : public ::testing::TestWithParam<SnapCase> {};

TEST_P(Snapping, VerdictAndPlacement)
{
    const SnapCase &row = GetParam();
    const int width = row.vis.right - row.vis.left;
    const int height = row.vis.bottom - row.vis.top;

    const SnapVerdict verdict = snapVerdict(row.vis, row.host);
    EXPECT_EQ(verdict.snapState, row.state);
    EXPECT_EQ(verdict.moves, row.testMoves);
    if (row.testMoves) {
        EXPECT_EQ(verdict.placement.x, row.testX);
        EXPECT_EQ(verdict.placement.y, row.testY);
        EXPECT_EQ(verdict.placement.width, width);
        EXPECT_EQ(verdict.placement.height, height);
    }

    WindowPlacement placement = {-1, -1, -1, -1};
    EXPECT_EQ(snapPlacement(verdict.snapState, row.vis, row.host, &placement), row.placed ? 1 : 0);
    if (row.placed) {
        EXPECT_EQ(placement.x, row.placedX);
        EXPECT_EQ(placement.y, row.placedY);
        EXPECT_EQ(placement.width, width);
        EXPECT_EQ(placement.height, height);
    } else {
        EXPECT_EQ(placement.x, -1) << "nothing placed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Snapping,
    ::testing::Values(
        // Left edges 9 apart, bottom 9 above the host's top: above, the test
        // at host.top - 75 = 225, the placement one pixel lower.
        SnapCase{"AboveFromOutside", {109, 216, 384, 291}, host, 5, true, 100, 225, true, 100, 226},
        SnapCase{"AboveLeftEdgeNineLeft", {91, 216, 366, 291}, host, 5, true, 100, 225, true, 100, 226},
        // Bottom 9 below the host's top, overlapping it, left edges 3 apart.
        SnapCase{"AboveOverlapping", {97, 234, 372, 309}, host, 5, true, 100, 225, true, 100, 226},
        // Left edges exactly 10 apart: nothing, whatever the vertical edges.
        SnapCase{"LeftTenRightOfHost", {110, 225, 385, 300}, host, 10, false, 0, 0, false, 0, 0},
        SnapCase{"LeftTenLeftOfHost", {90, 416, 365, 491}, host, 10, false, 0, 0, false, 0, 0},
        // Top 3 below the host's bottom: below, at (host.left, host.bottom).
        SnapCase{"BelowOutside", {105, 419, 380, 494}, host, 6, false, 0, 0, true, 100, 416},
        SnapCase{"BelowOverlapping", {92, 407, 367, 482}, host, 6, false, 0, 0, true, 100, 416},
        // Both vertical distances 10 or more: the top's distance is the state.
        SnapCase{"FarBelow", {95, 500, 370, 575}, host, 84, false, 0, 0, false, 0, 0},
        SnapCase{"BottomTenAbove", {100, 215, 375, 290}, host, 201, false, 0, 0, false, 0, 0},
        SnapCase{"TopTenBelowBottom", {100, 426, 375, 501}, host, 10, false, 0, 0, false, 0, 0},
        // Already snapped above (bottom 1 below the host's top): snapped again
        // to the same place.
        SnapCase{"AgainAbove", {100, 226, 375, 301}, host, 5, true, 100, 225, true, 100, 226},
        // Already snapped below: stays.
        SnapCase{"AgainBelow", {100, 416, 375, 491}, host, 6, false, 0, 0, true, 100, 416},
        // Heights adding up to less than 20: both vertical tests hold and
        // above wins; placement at 300 - 5 + 1.
        SnapCase{"BothHoldAboveWins", {100, 302, 375, 307}, {100, 300, 375, 310}, 5, true, 100, 295, true, 100,
                 296},
        // Right edges and widths play no part.
        SnapCase{"NarrowWindow", {104, 420, 124, 440}, host, 6, false, 0, 0, true, 100, 416},
        // Negative coordinates are ordinary coordinates.
        SnapCase{"NegativeHost", {-195, -130, 80, -55}, {-200, -60, 75, 56}, 5, true, -200, -135, true, -200,
                 -134}),
    [](const ::testing::TestParamInfo<SnapCase> &param) { return std::string(param.param.name); });

TEST(SnapPlacement, AnyOtherStateMovesNothing)
{
    const ScreenRect vis = {100, 225, 375, 300};
    for (int state : {0, 1, 4, 7, 9, 10, 11, 1000, -5}) {
        WindowPlacement placement = {-1, -1, -1, -1};
        EXPECT_EQ(snapPlacement(state, vis, host, &placement), 0) << state;
        EXPECT_EQ(placement.x, -1) << state;
    }
}

TEST(SnapVerdict, ExtremeCoordinatesGiveTheLargestDistance)
{
    const ScreenRect vis = {-2147483647 - 1, 0, -2147483647 - 1 + 275, 75};
    const ScreenRect far = {2147483647, 0, 2147483647, 10};
    EXPECT_EQ(snapVerdict(vis, far).snapState, 2147483647);
}

}  // namespace
