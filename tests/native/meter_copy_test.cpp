#include "render/meter_copy.h"

#include <gtest/gtest.h>

#include <climits>

// In the global namespace, beside MeterCopy, so that GoogleTest finds them.
std::ostream &operator<<(std::ostream &out, const MeterCopy &c)
{
    return out << "{dest " << c.destX << ", mask " << c.maskX << ", " << c.width << " x " << c.height << "}";
}

static bool empty(const MeterCopy &c) { return c.width == 0 || c.height == 0; }

// Where an empty copy would have gone does not matter: it is not made.
bool operator==(const MeterCopy &a, const MeterCopy &b)
{
    if (empty(a) || empty(b)) return empty(a) && empty(b);
    return a.destX == b.destX && a.maskX == b.maskX && a.width == b.width && a.height == b.height;
}

namespace {

struct CopyRow {
    const char *name;
    int faceWidth, faceHeight;
    MeterCopy left, right;  // destX, maskX, width, height
};

void PrintTo(const CopyRow &row, std::ostream *out) { *out << row.name; }

class MeterCopies : public ::testing::TestWithParam<CopyRow> {};

TEST_P(MeterCopies, PlaceAndSize)
{
    const CopyRow &row = GetParam();
    EXPECT_EQ(meterCopy(0, row.faceWidth, row.faceHeight), row.left);
    EXPECT_EQ(meterCopy(1, row.faceWidth, row.faceHeight), row.right);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MeterCopies,
    ::testing::Values(
        // The faces the frame is laid out for: the copies tile the frame
        // around column 137.
        CopyRow{"face137x75", 137, 75, {0, 0, 137, 75}, {138, 138, 137, 75}},
        // Window columns 0-99 and 101-200, mask columns 0-99 and 138-237.
        CopyRow{"face100x75", 100, 75, {0, 0, 100, 75}, {101, 138, 100, 75}},
        CopyRow{"face1x1", 1, 1, {0, 0, 1, 1}, {2, 138, 1, 1}},
        // Nothing loaded: both copies cover nothing.
        CopyRow{"noFace", 0, 0, {0, 0, 0, 0}, {1, 138, 0, 0}},
        // Taller than the frame: the mask has 75 rows.
        CopyRow{"face137x100", 137, 100, {0, 0, 137, 75}, {138, 138, 137, 75}},
        CopyRow{"tallest", 137, INT_MAX, {0, 0, 137, 75}, {138, 138, 137, 75}},
        // Top-down files: the rows count by their magnitude.
        CopyRow{"topDown137x75", 137, -75, {0, 0, 137, 75}, {138, 138, 137, 75}},
        CopyRow{"topDown137x40", 137, -40, {0, 0, 137, 40}, {138, 138, 137, 40}},
        CopyRow{"topDown137x100", 137, -100, {0, 0, 137, 75}, {138, 138, 137, 75}},
        CopyRow{"topDownMost", 137, INT_MIN, {0, 0, 137, 75}, {138, 138, 137, 75}},
        // Wider than a meter: the right copy is cut at the frame's edge (and
        // so at mask column 274), the left one at the frame's width.
        CopyRow{"face138", 138, 75, {0, 0, 138, 75}, {139, 138, 136, 75}},
        CopyRow{"face200", 200, 75, {0, 0, 200, 75}, {201, 138, 74, 75}},
        CopyRow{"face273", 273, 75, {0, 0, 273, 75}, {274, 138, 1, 75}},
        CopyRow{"face274", 274, 75, {0, 0, 274, 75}, {275, 138, 0, 75}},
        CopyRow{"face275", 275, 75, {0, 0, 275, 75}, {275, 138, 0, 75}},
        CopyRow{"face300", 300, 75, {0, 0, 275, 75}, {275, 138, 0, 75}},
        CopyRow{"widest", INT_MAX, 75, {0, 0, 275, 75}, {275, 138, 0, 75}},
        // Widths a bitmap file cannot really have.
        CopyRow{"negativeWidth", -5, 75, {0, 0, 0, 0}, {0, 0, 0, 0}},
        CopyRow{"mostNegativeWidth", INT_MIN, 75, {0, 0, 0, 0}, {0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<CopyRow> &param) { return std::string(param.param.name); });

// Over a sweep of sizes, every copy that is made stays inside the 275 x 75
// frame in the window and reads only inside the 275 x 75 mask.
TEST(MeterCopyBounds, NeverLeaveTheFrameOrTheMask)
{
    const int sizes[] = {INT_MIN, -300, -76, -75, -74, -1, 0, 1, 74, 75, 76, 136, 137, 138, 139,
                         200, 273, 274, 275, 276, 1000, INT_MAX};
    for (int w : sizes)
        for (int h : sizes)
            for (int channel = 0; channel < 2; ++channel) {
                const MeterCopy c = meterCopy(channel, w, h);
                ASSERT_GE(c.width, 0) << w << " x " << h;
                ASSERT_GE(c.height, 0) << w << " x " << h;
                if (empty(c)) continue;
                EXPECT_GE(c.destX, 0);
                EXPECT_LE(c.destX + c.width, 275) << w << " x " << h << " channel " << channel;
                EXPECT_GE(c.maskX, 0);
                EXPECT_LE(c.maskX + c.width, 275) << w << " x " << h << " channel " << channel;
                EXPECT_LE(c.height, 75);
                EXPECT_EQ(c.maskX, channel == 0 ? 0 : 138);
                EXPECT_EQ(c.destX, channel == 0 ? 0 : w + 1);
            }
}

}  // namespace
