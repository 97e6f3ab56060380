#include "render/vu_level.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace {

using Row = std::array<signed char, 576>;

Row filled(int value)
{
    Row row;
    row.fill(static_cast<signed char>(value));
    return row;
}

struct Point {
    int x, y;
    bool operator==(const Point &other) const { return x == other.x && y == other.y; }
};

std::ostream &operator<<(std::ostream &out, const Point &p)
{
    return out << "(" << p.x << ", " << p.y << ")";
}

Point endOf(const NeedleLine &line) { return {line.endX, line.endY}; }

// Worked values: each row is run on both channels from the same stored level.
struct WorkedRow {
    const char *name;
    Row samples;
    double startLevel;
    double newLevel;
    Point left, right;
};

class WorkedTable : public ::testing::TestWithParam<WorkedRow> {};

TEST_P(WorkedTable, LevelAndEndPoints)
{
    const WorkedRow &row = GetParam();
    const NeedleLine left = updateNeedle(0, row.startLevel, row.samples.data());
    const NeedleLine right = updateNeedle(1, row.startLevel, row.samples.data());

    EXPECT_NEAR(left.level, row.newLevel, 5e-5);
    EXPECT_EQ(left.level, right.level) << "the channels differ only in where the needle stands";
    EXPECT_EQ(endOf(left), row.left);
    EXPECT_EQ(endOf(right), row.right);
    EXPECT_EQ(left.pivotX, 68);
    EXPECT_EQ(left.pivotY, 65);
    EXPECT_EQ(right.pivotX, 206);
    EXPECT_EQ(right.pivotY, 65);
}

Row onlyFirstSample()
{
    Row row = filled(0);
    row[0] = 100;
    return row;
}

Row singleSample(int index, int value)
{
    Row row = filled(0);
    row[index] = static_cast<signed char>(value);
    return row;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WorkedTable,
    ::testing::Values(
        WorkedRow{"silence", filled(0), 0.0, -34.925, {16, 45}, {154, 45}},
        WorkedRow{"fullScaleNegative", filled(-128), 0.0, 5.79275, {56, 11}, {194, 11}},
        WorkedRow{"fullScalePositive", filled(127), 0.0, 5.78338, {56, 11}, {194, 11}},
        WorkedRow{"allTen", filled(10), 0.0, 2.74792, {41, 16}, {179, 16}},
        WorkedRow{"allOne", filled(1), 0.0, -0.00208, {29, 25}, {167, 25}},
        // Byte 0xFF is -1, so its magnitude equals that of +1.
        WorkedRow{"allMinusOneBytes", filled(0xFF - 256), 0.0, -0.00208, {29, 25}, {167, 25}},
        WorkedRow{"fullScaleOnUpperStop", filled(-128), 21.0646, 21.0646, {120, 46}, {258, 46}},
        WorkedRow{"allTenSettled", filled(10), 9.99245, 9.99245, {79, 11}, {217, 11}},
        WorkedRow{"onlySampleZeroCountsAsSilence", onlyFirstSample(), 0.0, -34.925, {16, 45}, {154, 45}},
        // One sample of magnitude 1 is a mean of 1/576: 10 log10(1/576) is
        // -27.6042 dB. Starting from that level, the level stays there.
        WorkedRow{"singleOneAtIndexOne", singleSample(1, 1), -27.6042, -27.6042, {16, 45}, {154, 45}},
        WorkedRow{"singleMinusOneAtLastIndex", singleSample(575, -1), -27.6042, -27.6042, {16, 45}, {154, 45}},
        // Silence from a stored 127: -34.925 + 92.075.
        WorkedRow{"storedAboveLimitReadsAs127", filled(0), 500.0, 57.15, {120, 46}, {258, 46}},
        // Silence from a stored -127 stays at -127.
        WorkedRow{"storedNaNReadsAsMinus127", filled(0), std::numeric_limits<double>::quiet_NaN(), -127.0,
                  {16, 45}, {154, 45}}),
    [](const ::testing::TestParamInfo<WorkedRow> &row) { return std::string(row.param.name); });

// Frame-by-frame levels under constant input, with the frame on which the
// needle first reaches the upper stop.
struct Rise {
    const char *name;
    double startLevel;
    int framesOnLowerStop;
    int frameOfUpperStop;
};

class RiseUnderFullScale : public ::testing::TestWithParam<Rise> {};

TEST_P(RiseUnderFullScale, StopsAreReachedOnTheRightFrames)
{
    const Rise &rise = GetParam();
    const Row loud = filled(-128);
    double level = rise.startLevel;
    for (int frame = 1; frame <= rise.frameOfUpperStop; ++frame) {
        const NeedleLine line = updateNeedle(0, level, loud.data());
        level = line.level;
        // The stops are judged by the levels where they begin: one frame
        // before the upper stop the truncated end point can already be the
        // stop's.
        EXPECT_EQ(level <= -4.4643, frame <= rise.framesOnLowerStop) << "frame " << frame << " level " << level;
        EXPECT_EQ(level >= 20.4464, frame == rise.frameOfUpperStop) << "frame " << frame << " level " << level;
        if (frame <= rise.framesOnLowerStop) {
            EXPECT_EQ(endOf(line), (Point{16, 45}));
        }
        if (frame == rise.frameOfUpperStop) {
            EXPECT_EQ(endOf(line), (Point{120, 46}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RiseUnderFullScale,
                         ::testing::Values(Rise{"fromZero", 0.0, 0, 11},
                                           Rise{"afterLongSilence", -127.0, 5, 18}),
                         [](const ::testing::TestParamInfo<Rise> &rise) { return std::string(rise.param.name); });

TEST(VuLevel, RiseFromZeroFollowsTheListedLevels)
{
    const double expected[] = {5.7928, 9.9925, 13.0373, 15.2448, 16.8452, 18.0055,
                               18.8468, 19.4567, 19.8988, 20.2194, 20.4518};
    const Row loud = filled(-128);
    double level = 0.0;
    for (double listed : expected) {
        level = updateNeedle(0, level, loud.data()).level;
        EXPECT_NEAR(level, listed, 5e-5);
    }
}

TEST(VuLevel, LeavingTheLowerStopAfterSilenceIsAt43Degrees)
{
    const Row loud = filled(-128);
    double level = -127.0;
    for (int frame = 1; frame <= 6; ++frame) level = updateNeedle(0, level, loud.data()).level;
    EXPECT_NEAR(needleAngleDegrees(level), 43.05, 0.01);
}

TEST(VuLevel, OneSilentFrameDropsTheNeedleFromTheUpperStop)
{
    const Row silent = filled(0);
    const NeedleLine line = updateNeedle(0, 21.0646, silent.data());
    EXPECT_NEAR(line.level, -19.6532, 5e-5);
    EXPECT_EQ(endOf(line), (Point{16, 45}));
}

TEST(VuLevel, LongSilenceNeverPassesBelowTheLimit)
{
    const Row silent = filled(0);
    double level = 0.0;
    for (int frame = 0; frame < 2000; ++frame) {
        const NeedleLine line = updateNeedle(0, level, silent.data());
        level = line.level;
        ASSERT_GE(level, -127.0);
        ASSERT_EQ(endOf(line), (Point{16, 45}));
    }
    EXPECT_NEAR(level, -127.0, 1e-9);
}

// Any row whose magnitudes from sample 1 on add up to 5,750, whatever their
// signs, order and sample 0, reads as the worked row of all 10.
TEST(VuLevel, MixedRowsWithTheSameMagnitudesReadAsTheWorkedRow)
{
    unsigned state = 12345;
    auto next = [&state](unsigned range) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % range);
    };
    for (int trial = 0; trial < 200; ++trial) {
        int magnitudes[576];
        for (int &m : magnitudes) m = 10;
        for (int move = 0; move < 300; ++move) {
            const int from = 1 + next(575), to = 1 + next(575), amount = next(11);
            if (magnitudes[from] < amount || magnitudes[to] + amount > 127) continue;
            magnitudes[from] -= amount;
            magnitudes[to] += amount;
        }
        Row row;
        row[0] = static_cast<signed char>(next(256) - 128);
        for (int j = 1; j < 576; ++j) row[j] = static_cast<signed char>(next(2) ? magnitudes[j] : -magnitudes[j]);
        EXPECT_NEAR(updateNeedle(0, 0.0, row.data()).level, 2.74792, 5e-6) << "trial " << trial;
    }
}

TEST(VuLevel, NinetyDegreesUsesTheMetersPi)
{
    // The needle stands upright at 7.9464 dB. 3.14/2 instead of pi/2 leaves
    // cos at about 0.0008, so x is 68.456, not 68.5.
    EXPECT_EQ(endOf(needleLineForLevel(0, 7.9464)), (Point{68, 10}));
    EXPECT_EQ(endOf(needleLineForLevel(1, 7.9464)), (Point{206, 10}));
}

TEST(VuLevel, EveryEndPointStaysInItsOwnMeter)
{
    for (double level = -130.0; level <= 130.0; level += 0.01) {
        const NeedleLine left = needleLineForLevel(0, level);
        const NeedleLine right = needleLineForLevel(1, level);
        ASSERT_GE(left.endX, 16);
        ASSERT_LE(left.endX, 120);
        ASSERT_GE(right.endX, 154);
        ASSERT_LE(right.endX, 258);
        ASSERT_GE(left.endY, 10);
        ASSERT_LE(left.endY, 46);
        ASSERT_EQ(left.endY, right.endY);
    }
}

}  // namespace
