#include "run/frame_stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Nearest-rank percentile, computed the plain way over the sorted list.
long long sortedPercentile(std::vector<long long> values, int percent)
{
    std::sort(values.begin(), values.end());
    size_t rank = (values.size() * static_cast<size_t>(percent) + 99) / 100;
    if (rank < 1) rank = 1;
    return values[rank - 1];
}

struct Series {
    const char *name;
    std::vector<long long> intervals;  // microseconds, multiples of the 10 us bin
};

class FrameStatsSeries : public ::testing::TestWithParam<Series> {};

TEST_P(FrameStatsSeries, RateMedianAndP99MatchTheSortedList)
{
    const Series &row = GetParam();
    auto stats = std::make_unique<FrameStats>();
    resetFrameStats(*stats);
    long long time = 123456789;
    recordFrame(*stats, time);
    long long total = 0;
    for (long long interval : row.intervals) {
        time += interval;
        total += interval;
        recordFrame(*stats, time);
    }
    EXPECT_EQ(stats->frames, static_cast<long long>(row.intervals.size()) + 1);
    EXPECT_DOUBLE_EQ(framesPerSecond(*stats), static_cast<double>(row.intervals.size()) * 1e6 / static_cast<double>(total));
    EXPECT_EQ(intervalPercentile(*stats, 50), sortedPercentile(row.intervals, 50));
    EXPECT_EQ(intervalPercentile(*stats, 99), sortedPercentile(row.intervals, 99));
    EXPECT_EQ(intervalPercentile(*stats, 100), *std::max_element(row.intervals.begin(), row.intervals.end()));
}

std::vector<long long> steadyWithOneLate()
{
    std::vector<long long> intervals(200, 25000);
    intervals[100] = 40000;
    intervals[101] = 10000;
    return intervals;
}

std::vector<long long> jittered()
{
    std::vector<long long> intervals;
    for (int i = 0; i < 1000; ++i) intervals.push_back(24000 + (i * 7919 % 201) * 10);
    return intervals;
}

std::vector<long long> tailOfThreePercent()
{
    std::vector<long long> intervals(97, 25000);
    intervals.insert(intervals.end(), 3, 31000);
    return intervals;
}

INSTANTIATE_TEST_SUITE_P(Runs, FrameStatsSeries,
                         ::testing::Values(Series{"single", {25000}}, Series{"steadyWithOneLate", steadyWithOneLate()},
                                           Series{"jittered", jittered()},
                                           Series{"tailOfThreePercent", tailOfThreePercent()},
                                           Series{"evenCountTakesLowerMiddle", {10000, 20000, 30000, 40000}}),
                         [](const ::testing::TestParamInfo<Series> &row) { return std::string(row.param.name); });

TEST(FrameStats, EmptyAndSingleFrameReportZero)
{
    auto stats = std::make_unique<FrameStats>();
    resetFrameStats(*stats);
    EXPECT_EQ(framesPerSecond(*stats), 0.0);
    EXPECT_EQ(intervalPercentile(*stats, 50), 0);
    recordFrame(*stats, 1000);
    EXPECT_EQ(stats->frames, 1);
    EXPECT_EQ(framesPerSecond(*stats), 0.0);
    EXPECT_EQ(intervalPercentile(*stats, 99), 0);
}

TEST(FrameStats, IntervalsRoundDownToTheirBinAndLongOnesLandInTheLast)
{
    auto stats = std::make_unique<FrameStats>();
    resetFrameStats(*stats);
    recordFrame(*stats, 0);
    recordFrame(*stats, 25009);            // 25.009 ms reads as 25.000
    recordFrame(*stats, 25009 + 5000000);  // a 5 s stall
    EXPECT_EQ(intervalPercentile(*stats, 50), 25000);
    EXPECT_EQ(intervalPercentile(*stats, 100), 999990);
}

TEST(FrameStats, ClockGoingBackCountsAsZero)
{
    auto stats = std::make_unique<FrameStats>();
    resetFrameStats(*stats);
    recordFrame(*stats, 5000);
    recordFrame(*stats, 4000);
    EXPECT_EQ(intervalPercentile(*stats, 50), 0);
}

}  // namespace
