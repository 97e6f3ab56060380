// Keeping a loaded window position on screen: each coordinate alone.
#include "settings/position_clamp.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct ClampCase {
    int x, y;
    int clampedX, clampedY;
};

class PositionClamp : public ::testing::TestWithParam<ClampCase> {};

TEST_P(PositionClamp, OutsideHundredToTwoThousandBecomesHundred)
{
    const ClampCase &row = GetParam();
    const WindowPosition clamped = clampedPosition({row.x, row.y});
    EXPECT_EQ(clamped.x, row.clampedX) << row.x << ", " << row.y;
    EXPECT_EQ(clamped.y, row.clampedY) << row.x << ", " << row.y;
}

INSTANTIATE_TEST_SUITE_P(Table, PositionClamp,
                         ::testing::Values(ClampCase{2001, 500, 100, 500}, ClampCase{99, 500, 100, 500},
                                           ClampCase{2000, 500, 2000, 500}, ClampCase{100, 500, 100, 500},
                                           ClampCase{500, 2001, 500, 100}, ClampCase{500, 99, 500, 100},
                                           ClampCase{500, 2000, 500, 2000}, ClampCase{500, 100, 500, 100},
                                           ClampCase{50, 500, 100, 500}, ClampCase{1500, 30, 1500, 100},
                                           ClampCase{50, 50, 100, 100}, ClampCase{0, 0, 100, 100},
                                           ClampCase{-5, 3000, 100, 100}, ClampCase{INT_MIN, INT_MAX, 100, 100},
                                           ClampCase{101, 1999, 101, 1999}));

}  // namespace
